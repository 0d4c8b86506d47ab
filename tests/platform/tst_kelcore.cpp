#include "KelBlockSignals.h"
#include "KelElapsedTimer.h"
#include "KelWidgetHelper.h"
#include "KelProcess.h"
#include "TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QWidget>
#include <QWindow>

// Xlib's macros clash with Qt's names: its headers come last.
#include "X11Desktop.h"

#include <memory>
#include <optional>

Q_DECLARE_METATYPE(std::optional<QStringList>)

namespace {
// A stand-in for pkexec that records the arguments it was given, one per line.
void writeFakePkexec(const QString &dir, int exitCode)
{
    QFile script(dir + "/pkexec");
    QVERIFY(script.open(QIODevice::WriteOnly));
    // As pkexec does, it refuses a caller whose parent is gone, and runs what it is given once
    // the user is authorised (exit code 0 here); else it ends with the code.
    script.write(QStringLiteral("#!/bin/sh\n[ \"$PPID\" = 1 ] && exit 127\nprintf '%s\\n' \"$@\" > "
                                "\"%1/args.tmp\"\n/bin/mv \"%1/args.tmp\" \"%1/args\"\n[ %2 = 0 ] "
                                "|| exit %2\nexec \"$@\"\n")
                     .arg(dir)
                     .arg(exitCode)
                     .toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
}

QStringList recordedArguments(const QString &dir)
{
    QFile file(dir + "/args");
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<none>")};
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    lines.removeLast();
    return lines;
}
} // namespace

class TestKelCore : public QObject
{
    Q_OBJECT

private slots:
    void shouldRestoreSignalStateWhenNested();
    void shouldReportElapsedLabel();
    void shouldSplitArgumentsAsAShellReadsThem_data();
    void shouldSplitArgumentsAsAShellReadsThem();
    void shouldElevateThroughPkexec();
    void shouldStayOnTopAndKeepGeometry();
    void cleanupTestCase();

private:
    std::unique_ptr<X11Desktop> m_desktop;
};

void TestKelCore::shouldRestoreSignalStateWhenNested()
{
    QObject object;
    {
        KelBlockSignals outer(&object);
        {
            KelBlockSignals inner(&object);
            QVERIFY(object.signalsBlocked());
        }
        QVERIFY(object.signalsBlocked());
    }
    QVERIFY(!object.signalsBlocked());

    object.blockSignals(true);
    {
        KelBlockSignals guard(&object);
    }
    QVERIFY(object.signalsBlocked());
}

void TestKelCore::shouldReportElapsedLabel()
{
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^查询耗时\\d+毫秒$"));
    KelElapsedTimer timer("查询耗时%1毫秒");
}

void TestKelCore::shouldSplitArgumentsAsAShellReadsThem_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<std::optional<QStringList>>("split");
    const auto row = [](const char *tag, const QString &arguments,
                        const std::optional<QStringList> &split) {
        QTest::newRow(tag) << arguments << split;
    };
    row("empty", "", QStringList{});
    row("blanks only", "  \t ", QStringList{});
    row("one", "-v", QStringList{"-v"});
    row("double space", "rm  -rf", QStringList{"rm", "-rf"});
    row("trailing", "a ", QStringList{"a"});
    row("double quotes", "\"My Documents/a b.txt\" -v", QStringList{"My Documents/a b.txt", "-v"});
    row("single quotes keep $", "'$HOME' x", QStringList{"$HOME", "x"});
    row("backslash blank", "a\\ b", QStringList{"a b"});
    row("quote inside a word", "--name=\"x y\"", QStringList{"--name=x y"});
    row("Chinese", "报告 \"年度 总结.pdf\"", QStringList{"报告", "年度 总结.pdf"});
    row("unbalanced quote", "\"a b", std::nullopt);
    row("unbalanced single quote", "it's", std::nullopt);
}

void TestKelCore::shouldSplitArgumentsAsAShellReadsThem()
{
    QFETCH(QString, arguments);
    QFETCH(std::optional<QStringList>, split);
    QCOMPARE(KelProcess::splitArguments(arguments), split);
}

void TestKelCore::shouldElevateThroughPkexec()
{
    QTemporaryDir bin;
    const QString previousDir = QDir::currentPath();
    const auto restore = qScopeGuard([&] { QDir::setCurrent(previousDir); });
    EnvironmentGuard environment;
    environment.set("PATH", bin.path().toLocal8Bit());
    // Without a display to hand on, pkexec starts the program itself.
    for (const char *name : {"DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY"})
        environment.set(name, QByteArray());
    environment.set("HOME", bin.path().toLocal8Bit());
    QVERIFY(!KelProcess::runAsAdministrator("/bin/true", "", true));

    writeFakePkexec(bin.path(), 0);
    QFile target(bin.filePath("tool"));
    QVERIFY(target.open(QIODevice::WriteOnly));
    target.write("#!/bin/sh\n");
    target.close();
    target.setPermissions(target.permissions() | QFile::ExeOwner);
    QDir::setCurrent(bin.path());
    // A relative file is handed over absolute: pkexec does not keep the working directory;
    // the program's own folder is entered for it.
    QVERIFY(KelProcess::runAsAdministrator("tool", "--a  'b c'", false));
    QCOMPARE(recordedArguments(bin.path()),
             (QStringList{"/bin/sh", "-c", "cd -- \"$0\" || exit 1; exec \"$@\"", bin.path(),
                          bin.filePath("tool"), "--a", "b c"}));

    // Started and left running, but only once the user was authorised; in the folder given.
    QFile::remove(bin.filePath("args"));
    QVERIFY(KelProcess::runAsAdministrator("/bin/true", "x", true, "/tmp"));
    QCOMPARE(recordedArguments(bin.path()),
             (QStringList{"/bin/sh", "-c",
                          "cd -- \"$0\" || exit 1; (echo authorised) 2>/dev/null; exec \"$@\" >&2",
                          "/tmp", "/bin/true", "x"}));
    // Quotes a shell cannot read start nothing, and ask for no password.
    QFile::remove(bin.filePath("args"));
    QVERIFY(!KelProcess::runAsAdministrator("/bin/true", "\"x", true));
    QVERIFY(!QFile::exists(bin.filePath("args")));
    // The password dialog cancelled, or the user not authorised.
    for (int refused : {126, 127}) {
        writeFakePkexec(bin.path(), refused);
        QVERIFY(!KelProcess::runAsAdministrator("/bin/true", "", true));
        QVERIFY(!KelProcess::runAsAdministrator("/bin/true", "", false));
    }
}

void TestKelCore::shouldStayOnTopAndKeepGeometry()
{
    m_desktop = std::make_unique<X11Desktop>();
    QString reason;
    if (!m_desktop->start(false, &reason))
        QSKIP(qPrintable(reason));

    QWidget window;
    window.setGeometry(220, 180, 320, 240);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.geometry(), QRect(220, 180, 320, 240));
    QVERIFY(!X11Desktop::isKeptAbove(&window));

    KelWidgetHelper::setWindowStaysOnTop(&window, true, true);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(X11Desktop::isKeptAbove(&window));
    QTRY_COMPARE(window.geometry(), QRect(220, 180, 320, 240));

    KelWidgetHelper::setWindowStaysOnTop(&window, false, true);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(!X11Desktop::isKeptAbove(&window));
    QVERIFY(window.isVisible());
    QTRY_COMPARE(window.geometry(), QRect(220, 180, 320, 240));

    // The state belongs to the window, so it comes back after hiding and showing.
    KelWidgetHelper::setWindowStaysOnTop(&window, true, true);
    window.hide();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(X11Desktop::isKeptAbove(&window));
}

void TestKelCore::cleanupTestCase()
{
    m_desktop.reset();
}

QUIVER_TEST_MAIN(TestKelCore)
#include "tst_kelcore.moc"
