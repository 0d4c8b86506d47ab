#include "DataControl.h"
#include "FormMain.h"
#include "SettingsControl.h"
#include "TestSupport.h"

#include <QDate>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QTimer>

#include <memory>

namespace {
QStringList logLines(const TestWorkDir &dir)
{
    QFile file(dir.path("cache/log/" + QDate::currentDate().toString("yyyyMMdd") + ".log"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

QList<QLabel *> noticeLabels()
{
    QList<QLabel *> labels;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->inherits("MsgBox") && widget->isVisible())
            labels << widget->findChild<QLabel *>();
    return labels;
}

// Runs the event loop until something quits it, or gives up after timeout ms with -1.
int runLoop(int timeout)
{
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    guard.start(timeout);
    return QCoreApplication::exec();
}
} // namespace

// The settings store is one per process and binds to the working directory it first sees, so
// every case here shares one tree.
class TestFormMain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void shouldPrepareTreeAndLogOnStart();
    void shouldSaveGeometryAndLogCleanExit();
    void shouldQuitOnCloseOnlyWhenAsked();
    void shouldEndWithoutTouchingUnreadableCatalogue();

private:
    std::unique_ptr<TestWorkDir> m_dir;
};

void TestFormMain::initTestCase()
{
    m_dir = std::make_unique<TestWorkDir>();
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

void TestFormMain::cleanupTestCase()
{
    m_dir.reset();
}

void TestFormMain::shouldPrepareTreeAndLogOnStart()
{
    FormMain window;
    for (const char *folder : {"data", "skins", "cache/log", "cache/caches"})
        QVERIFY2(QFileInfo(m_dir->path(folder)).isDir(), folder);
    QVERIFY(QFile::exists(m_dir->path("data/data.db")));
    QVERIFY(QFile::exists(m_dir->path("cache/cache.db")));
    QCOMPARE(window.windowTitle(), QCoreApplication::applicationName());

    const QStringList lines = logLines(*m_dir);
    QVERIFY(lines.size() >= 2);
    QVERIFY2(
        QRegularExpression("^\\d\\d:\\d\\d:\\d\\d \\| INFO \\| Quiver version:" QUIVER_VERSION "$")
            .match(lines.at(0))
            .hasMatch(),
        qPrintable(lines.at(0)));
    QVERIFY(lines.at(1).endsWith(" | INFO | Mode:Release"));
    QVERIFY(lines.filter("Create/Check Tables [Types]").size() == 1);
}

void TestFormMain::shouldSaveGeometryAndLogCleanExit()
{
    {
        FormMain window;
        window.setGeometry(120, 90, 640, 480);
    }
    QVERIFY(logLines(*m_dir).last().endsWith(" | INFO | 正常退出"));
    QSettings file(m_dir->path("data/config.ini"), QSettings::IniFormat);
    QVERIFY(!file.value("Form/Geometry").toByteArray().isEmpty());

    FormMain restored;
    QCOMPARE(restored.size(), QSize(640, 480));
}

void TestFormMain::shouldQuitOnCloseOnlyWhenAsked()
{
    SettingsControl &settings = SettingsControl::instance();
    settings.setCloseThenQuit(false);
    {
        FormMain window;
        window.show();
        QTimer::singleShot(0, &window, &QWidget::close);
        // Closing only hides: the loop keeps running until the guard ends it.
        QCOMPARE(runLoop(300), -1);
        QVERIFY(window.isHidden());
    }
    settings.setCloseThenQuit(true);
    {
        FormMain window;
        window.show();
        QTimer::singleShot(0, &window, &QWidget::close);
        QCOMPARE(runLoop(5000), 0);
    }
    settings.setCloseThenQuit(false);
}

void TestFormMain::shouldEndWithoutTouchingUnreadableCatalogue()
{
    const QString catalogue = m_dir->path("data/data.db");
    QFile::remove(catalogue);
    QFile file(catalogue);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray garbage(5000, '\x5a');
    file.write(garbage);
    file.close();

    {
        FormMain window;
        window.show();
        const QList<QLabel *> labels = noticeLabels();
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels.first()->text(), QStringLiteral("数据库打开失败！"));
        QVERIFY(labels.first()->styleSheet().contains("rgba(255, 78, 78, 255)"));
        QCOMPARE(runLoop(10000), 1);
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), garbage);
    QVERIFY(
        logLines(*m_dir).filter("主要数据库打开失败，错误原因：file is not a database").size() ==
        1);
}

QUIVER_TEST_MAIN(TestFormMain)
#include "tst_formmain.moc"
