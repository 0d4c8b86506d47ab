#include "Core/DataControl.h"
#include "App/Program.h"
#include "Window/FormMain.h"
#include "Catalogue/ItemsModel.h"
#include "Core/SettingsControl.h"
#include "Catalogue/GroupsListView.h"
#include "Catalogue/ItemsListView.h"
#include "Catalogue/ResultsListView.h"
#include "App/SessionEnd.h"
#include "CatalogueSupport.h"
#include "TestSupport.h"
#include "Catalogue/TypesListView.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPointer>
#include <QMenu>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QSystemTrayIcon>
#include <QToolButton>

#include <QDate>
#include <QFile>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QTimer>

#include <memory>

namespace {
QList<QLabel *> noticeLabels()
{
    QList<QLabel *> labels;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->inherits("MsgBox") && widget->isVisible())
            labels << widget->findChild<QLabel *>("labelNotice");
    return labels;
}

QStringList texts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts << action->text();
    return texts;
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
    void shouldKeepTheUsersFilesToThemselves();
    void shouldSaveGeometryAndLogCleanExit();
    void shouldLogOnlyWarningsAndErrorsWhenTurnedOff();
    void shouldQuitOnCloseOnlyWhenAsked();
    void shouldNameWidgetsForSkins();
    void shouldOrderMenus();
    void shouldReturnFromResultsByEscapeAndBack();
    void shouldRestoreLayoutTo120();
    void shouldMinimiseWhenNothingCouldBringItBack();
    void shouldShowClearOnlyWithText();
    void shouldOpenOneDebuggerThatSwitchesAndResets();
    // Last: it replaces the catalogue with garbage.
    void shouldEndWithoutTouchingUnreadableCatalogue_data();
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
    Program program;
    FormMain &window = program.window();
    for (const char *folder : {"data", "skins", "cache/log", "cache/caches"})
        QVERIFY2(QFileInfo(m_dir->path(folder)).isDir(), folder);
    QVERIFY(QFile::exists(m_dir->path("data/data.db")));
    QVERIFY(QFile::exists(m_dir->path("cache/cache.db")));
    QCOMPARE(window.windowTitle(), QCoreApplication::applicationName());

    const QStringList lines = m_dir->logLines();
    QVERIFY(lines.size() >= 2);
    QVERIFY2(
        QRegularExpression("^\\d\\d:\\d\\d:\\d\\d \\| INFO \\| Quiver version:" QUIVER_VERSION "$")
            .match(lines.at(0))
            .hasMatch(),
        qPrintable(lines.at(0)));
    QVERIFY(lines.at(1).endsWith(" | INFO | Mode:Release"));
    QVERIFY(lines.filter("Create/Check Tables [Types]").size() == 1);
}

// As the first case made them, and as older versions left them: the user's alone.
void TestFormMain::shouldKeepTheUsersFilesToThemselves()
{
    const QString log = "cache/log/" + QDate::currentDate().toString("yyyyMMdd") + ".log";
    const QStringList folders{"data", "cache", "cache/log", "cache/caches"};
    QStringList files{"data/data.db", "cache/cache.db", log, "data/config.ini"};
    // The first folder or file another user could read, if any.
    const auto firstOpen = [this, &folders, &files] {
        for (const QString &folder : folders)
            if (fileMode(m_dir->path(folder)) != 0700)
                return folder;
        for (const QString &file : qAsConst(files))
            if (fileMode(m_dir->path(file)) != 0600)
                return file;
        return QString();
    };
    QCOMPARE(firstOpen(), QString());
    // The files of another day and another time, beside the skins, which are no secret.
    QDir(m_dir->path("skins")).mkpath("open");
    files << "cache/log/20200101.log"
          << "cache/caches/0000000000000000000000000000000000000000.o";
    for (const QString &file : files + QStringList{"skins/open.json"}) {
        QFile out(m_dir->path(file));
        QVERIFY(out.open(QIODevice::Append));
        QVERIFY(out.setPermissions(QFileDevice::Permissions(0x6644)));
    }
    for (const QString &folder : folders + QStringList{"skins", "skins/open"})
        QVERIFY(QFile::setPermissions(m_dir->path(folder), QFileDevice::Permissions(0x7755)));
    {
        Program program;
        // An icon added since; the settings file is written as the window closes.
        QVERIFY(DataControl::instance().cache_addData("an icon", {{"Name", "icon"}}));
    }
    files << DataControl::cacheFileName(DataControl::hashName("an icon")).mid(3);
    QCOMPARE(firstOpen(), QString());
    QCOMPARE(fileMode(m_dir->path("skins/open")), 0755);
    QCOMPARE(fileMode(m_dir->path("skins/open.json")), 0644);
}

void TestFormMain::shouldSaveGeometryAndLogCleanExit()
{
    {
        Program program;
        FormMain &window = program.window();
        window.setGeometry(120, 90, 640, 480);
    }
    QVERIFY(m_dir->logLines().last().endsWith(" | INFO | 正常退出"));
    QSettings file(m_dir->path("data/config.ini"), QSettings::IniFormat);
    QVERIFY(!file.value("Form/Geometry").toByteArray().isEmpty());

    Program restart;
    FormMain &restored = restart.window();
    QCOMPARE(restored.size(), QSize(640, 480));
}

void TestFormMain::shouldLogOnlyWarningsAndErrorsWhenTurnedOff()
{
    SettingsControl &settings = SettingsControl::instance();
    settings.setLogEnabled(false);
    const int before = m_dir->logLines().size();
    {
        Program program;
        // The start's two lines, and the warning that nothing could bring the window back.
        const QStringList run = m_dir->logLines().mid(before);
        QCOMPARE(run.filter(" | INFO | ").size(), 2);
        QCOMPARE(run.filter(" | WARNING | 没有托盘图标").size(), 1);
        // Turned on, every line is written again at once; its end is told either way.
        settings.setLogEnabled(true);
        DataControl::instance().database_create();
        settings.setLogEnabled(false);
    }
    const QStringList run = m_dir->logLines().mid(before);
    QCOMPARE(run.filter(" | INFO | Create/Check Tables [cache]").size(), 1);
    QVERIFY(run.last().endsWith(" | INFO | 正常退出"));
    settings.setLogEnabled(true);
}

void TestFormMain::shouldQuitOnCloseOnlyWhenAsked()
{
    SettingsControl &settings = SettingsControl::instance();
    settings.setCloseThenQuit(false);
    {
        Program program;
        FormMain &window = program.window();
        window.show();
        QTimer::singleShot(0, &window, &QWidget::close);
        // Closing does not end the process: the loop keeps running until the guard ends it.
        QCOMPARE(runLoop(300), -1);
    }
    settings.setCloseThenQuit(true);
    {
        Program program;
        FormMain &window = program.window();
        window.show();
        QTimer::singleShot(0, &window, &QWidget::close);
        QCOMPARE(runLoop(5000), 0);
    }
    settings.setCloseThenQuit(false);
}

void TestFormMain::shouldNameWidgetsForSkins()
{
    Program program;
    FormMain &window = program.window();
    QCOMPARE(window.objectName(), QStringLiteral("FormMain"));
    QVERIFY(window.testAttribute(Qt::WA_StyledBackground));
    QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    const auto *title = window.findChild<QFrame *>("frame_title");
    QVERIFY(title);
    QCOMPARE(title->maximumHeight(), 40);
    for (const char *name : {"toolButton_back", "toolButton_history", "toolButton_settings",
                             "toolButton_minimize", "toolButton_close"})
        QVERIFY2(window.findChild<QToolButton *>(name), name);
    QCOMPARE(window.findChild<QToolButton *>("toolButton_close")->iconSize(), QSize(32, 32));
    QVERIFY(window.findChild<QStackedWidget *>("stackedWidget"));
    QCOMPARE(window.findChild<QSplitter *>("splitter")->handleWidth(), 0);
    QCOMPARE(window.findChild<TypesListView *>("listView_types")->maximumWidth(), 120);
    auto *groups = window.findChild<GroupsListView *>("listView_groups");
    QVERIFY(groups);
    QCOMPARE(groups->minimumHeight(), 40);
    QCOMPARE(groups->maximumHeight(), 40);
    auto *items = window.findChild<ItemsListView *>("listView_items");
    QVERIFY(items);
    QCOMPARE(items->resizeMode(), QListView::Adjust);
    QVERIFY(qobject_cast<QSortFilterProxyModel *>(items->model()));
    QVERIFY(window.findChild<ResultsListView *>("listView_result"));
    QCOMPARE(window.findChild<QWidget *>("page_main")->parentWidget()->objectName(),
             QStringLiteral("stackedWidget"));
    QVERIFY(window.findChild<QWidget *>("page_result"));
    QVERIFY(window.findChild<QWidget *>("layoutWidget_2"));
    // The skin at start gave the title-bar buttons their icons.
    QVERIFY(!window.findChild<QToolButton *>("toolButton_close")->icon().isNull());
    QVERIFY(window.findChild<QSystemTrayIcon *>("trayIcon"));
}

void TestFormMain::shouldOrderMenus()
{
    Program program;
    FormMain &window = program.window();
    QCOMPARE(texts(window.findChild<QMenu *>("menuTray")), (QStringList{"显示", "设置", "退出"}));
    QCOMPARE(texts(window.findChild<QMenu *>("menuMore")),
             (QStringList{"置顶", "设置", "皮肤", "重置布局", "调试器", "退出"}));
    const auto *search = window.findChild<QLineEdit *>("lineEdit_search");
    QCOMPARE(search->actions().size(), 2);
    QCOMPARE(search->actions().at(0)->text(), QStringLiteral("搜索"));
    QCOMPARE(search->actions().at(1)->text(), QStringLiteral("清除"));
}

void TestFormMain::shouldReturnFromResultsByEscapeAndBack()
{
    Program program;
    FormMain &window = program.window();
    window.show();
    auto *stack = window.findChild<QStackedWidget *>("stackedWidget");
    auto *back = window.findChild<QToolButton *>("toolButton_back");
    auto *results =
        qobject_cast<ItemsModel *>(window.findChild<ResultsListView *>("listView_result")->model());
    QCOMPARE(stack->currentIndex(), 0);
    QVERIFY(back->isHidden());

    ItemsModel::Row result;
    result.id = 1;
    result.name = "结果";
    results->reset({result});
    stack->setCurrentIndex(1);
    back->show();
    QTest::keyClick(&window, Qt::Key_Escape);
    QCOMPARE(stack->currentIndex(), 0);
    QVERIFY(!back->isHidden());
    QCOMPARE(results->rowCount(), 1);
    QVERIFY(window.isVisible());

    stack->setCurrentIndex(1);
    back->click();
    QVERIFY(back->isHidden());
    QCOMPARE(results->rowCount(), 0);
    QCOMPARE(stack->currentIndex(), 0);
}

void TestFormMain::shouldRestoreLayoutTo120()
{
    Program program;
    FormMain &window = program.window();
    window.resize(700, 600);
    window.show();
    auto *splitter = window.findChild<QSplitter *>("splitter");
    splitter->setSizes({60, 640});
    window.findChild<QAction *>("actionRestoreLayout")->trigger();
    QCOMPARE(splitter->sizes(), (QList<int>{120, 580}));
}

// Offscreen has no tray and no global hotkey: hiding would lose the window for good.
void TestFormMain::shouldMinimiseWhenNothingCouldBringItBack()
{
    Program program;
    FormMain &window = program.window();
    window.show();
    QVERIFY(!window.canHide(false));
    window.close();
    QVERIFY(window.isVisible());
    QVERIFY(window.isMinimized());
    window.showNormal();
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(window.isMinimized());
    QVERIFY(m_dir->logLines().filter("没有托盘图标, 也没有可用的全局快捷键").size() >= 1);

    // The session's end ends the program all the same: a window that refuses its close would
    // hold up the logout.
    const SessionEnd sessionEnd;
    QTimer::singleShot(0, [] {
        QEvent quit(QEvent::Quit);
        QCoreApplication::sendEvent(qApp, &quit);
    });
    QCOMPARE(runLoop(3000), 0);
}

void TestFormMain::shouldOpenOneDebuggerThatSwitchesAndResets()
{
    Program program;
    FormMain &window = program.window();
    QAction *debuggerAction = window.findChild<QAction *>("actionOpenDebugger");
    debuggerAction->trigger();
    debuggerAction->trigger();
    QList<QWidget *> debuggers;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("Form_Debugger"))
            debuggers << widget;
    QCOMPARE(debuggers.size(), 1);
    QWidget *debugger = debuggers.first();
    QCOMPARE(debugger->windowTitle(), QStringLiteral("调试器"));
    QVERIFY(debugger->isVisible());

    SettingsControl &settings = SettingsControl::instance();
    auto *icons = debugger->findChild<QAbstractButton *>("checkBox_iconLoadEnable");
    auto *timing = debugger->findChild<QAbstractButton *>("checkBox_timeMonitoring");
    QVERIFY(icons->isChecked() && !timing->isChecked());
    icons->click();
    timing->click();
    QVERIFY(!settings.isIconLoadEnabled() && settings.isTimeMonitoring());
    debugger->findChild<QAbstractButton *>("pushButton_reset")->click();
    QVERIFY(settings.isIconLoadEnabled() && !settings.isTimeMonitoring());
    QVERIFY(icons->isChecked() && !timing->isChecked());

    // Closed, it is gone, and the next opening builds a new one.
    QPointer<QWidget> closed = debugger;
    debugger->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(closed.isNull());
    debuggerAction->trigger();
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        count += widget->objectName() == QLatin1String("Form_Debugger");
    QCOMPARE(count, 1);
}

void TestFormMain::shouldShowClearOnlyWithText()
{
    Program program;
    FormMain &window = program.window();
    auto *search = window.findChild<QLineEdit *>("lineEdit_search");
    auto *clear = window.findChild<QAction *>("actionClearSearch");
    QVERIFY(!clear->isVisible());
    search->setText("记事本");
    QVERIFY(clear->isVisible());
    clear->trigger();
    QVERIFY(search->text().isEmpty());
    QVERIFY(!clear->isVisible());
}

void TestFormMain::shouldEndWithoutTouchingUnreadableCatalogue_data()
{
    QTest::addColumn<bool>("shown");
    QTest::newRow("window shown") << true;
    // "Form/AppRunThenHide": the window stays hidden, the notice shows all the same.
    QTest::newRow("window hidden") << false;
}

void TestFormMain::shouldEndWithoutTouchingUnreadableCatalogue()
{
    QFETCH(bool, shown);
    const QString catalogue = m_dir->path("data/data.db");
    QFile::remove(catalogue);
    QFile file(catalogue);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray garbage(5000, '\x5a');
    file.write(garbage);
    file.close();
    SettingsControl::instance().setWindowGeometry(QByteArray("kept"));

    {
        Program program;
        FormMain &window = program.window();
        if (shown)
            window.show();
        QTRY_COMPARE(noticeLabels().size(), 1);
        const QList<QLabel *> labels = noticeLabels();
        QCOMPARE(labels.first()->text(), QStringLiteral("数据库打开失败！"));
        QVERIFY(labels.first()->styleSheet().contains("rgba(255, 78, 78, 255)"));
        // Over the window when it shows, else in the middle of the screen.
        const QRect area = shown ? window.frameGeometry() : window.screen()->availableGeometry();
        QVERIFY(area.contains(labels.first()->window()->geometry().center()));
        QCOMPARE(runLoop(10000), 1);
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), garbage);
    file.close();
    QVERIFY(
        m_dir->logLines().filter("主要数据库打开失败，错误原因：file is not a database").size() >=
        1);
    // The run ended in failure, and no window position of it was stored.
    QVERIFY(m_dir->logLines().last().endsWith(" | ERROR | 数据库打开失败, 程序退出"));
    QCOMPARE(SettingsControl::instance().windowGeometry(), QByteArray("kept"));
    Notices::clear();
}

QUIVER_TEST_MAIN(TestFormMain)
#include "tst_formmain.moc"
