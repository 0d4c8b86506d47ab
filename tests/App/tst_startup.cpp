#include "TestSupport.h"

#include <QDataStream>
#include <QFile>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include "X11Desktop.h"

#include <QAbstractNativeEventFilter>

#include <algorithm>
#include <csignal>
#include <memory>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The startup notification messages sent to the root window, as a desktop's launch feedback
// reads them.
class StartupMessages final : public QAbstractNativeEventFilter
{
public:
    StartupMessages()
    {
        xcb_connection_t *connection = QX11Info::connection();
        m_begin = atom("_NET_STARTUP_INFO_BEGIN");
        m_more = atom("_NET_STARTUP_INFO");
        const xcb_window_t root = QX11Info::appRootWindow();
        xcb_get_window_attributes_reply_t *attributes = xcb_get_window_attributes_reply(
            connection, xcb_get_window_attributes(connection, root), nullptr);
        const quint32 mask =
            (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_PROPERTY_CHANGE;
        free(attributes);
        xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);
        qApp->installNativeEventFilter(this);
    }
    ~StartupMessages() override { qApp->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray &, void *message, long *) override
    {
        const auto *event = static_cast<const xcb_client_message_event_t *>(message);
        if ((event->response_type & ~0x80) != XCB_CLIENT_MESSAGE ||
            (event->type != m_begin && event->type != m_more))
            return false;
        QByteArray &text = m_partial[event->window];
        if (event->type == m_begin)
            text.clear();
        text.append(reinterpret_cast<const char *>(event->data.data8), 20);
        if (text.contains('\0')) {
            messages << QString::fromUtf8(text.left(text.indexOf('\0')));
            m_partial.remove(event->window);
        }
        return false;
    }

    QStringList messages;

private:
    static xcb_atom_t atom(const char *name)
    {
        return xcb_atom_t(XInternAtom(QX11Info::display(), name, False));
    }

    xcb_atom_t m_begin = XCB_ATOM_NONE;
    xcb_atom_t m_more = XCB_ATOM_NONE;
    QHash<xcb_window_t, QByteArray> m_partial;
};
// The requests of other clients to activate their windows (_NET_ACTIVE_WINDOW), as the window
// manager receives them: the time each carries.
class ActivationRequests final : public QAbstractNativeEventFilter
{
public:
    ActivationRequests()
    {
        xcb_connection_t *connection = QX11Info::connection();
        m_active = xcb_atom_t(XInternAtom(QX11Info::display(), "_NET_ACTIVE_WINDOW", False));
        const xcb_window_t root = QX11Info::appRootWindow();
        xcb_get_window_attributes_reply_t *attributes = xcb_get_window_attributes_reply(
            connection, xcb_get_window_attributes(connection, root), nullptr);
        const quint32 mask =
            (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        free(attributes);
        xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);
        qApp->installNativeEventFilter(this);
    }
    ~ActivationRequests() override { qApp->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray &, void *message, long *) override
    {
        const auto *event = static_cast<const xcb_client_message_event_t *>(message);
        if ((event->response_type & ~0x80) == XCB_CLIENT_MESSAGE && event->type == m_active)
            times << event->data.data32[1];
        return false;
    }

    QVector<quint32> times;

private:
    xcb_atom_t m_active = XCB_ATOM_NONE;
};
} // namespace

// Starts the real program the way the desktop does: working directory <root>/bin, with the
// single-instance lock and socket in a runtime folder of the test's own.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void shouldLogVersionFirstAndExitCleanlyOnTerminate();
    void shouldHandOverToRunningInstance();
    void shouldOpenSecondWindowWhenNotSingle();
    void shouldStartAfterCrashedInstance();
    void shouldStartWithoutOpenGl();
    void shouldToggleRunningWindowFromCommandLine_data();
    void shouldToggleRunningWindowFromCommandLine();
    void shouldQuitRunningInstanceCleanly();
    void shouldAnswerCommandLineWithoutStarting_data();
    void shouldAnswerCommandLineWithoutStarting();
    void shouldStartThroughStarterWhenNoneRuns();
    void shouldStampActivationWithCallersTime_data();
    void shouldStampActivationWithCallersTime();
    void shouldHandOverOnlyWithinTheUser_data();
    void shouldHandOverOnlyWithinTheUser();
    void shouldKeepHandingOverWhateverPeersDo_data();
    void shouldKeepHandingOverWhateverPeersDo();

private:
    // The program itself, or the starter a desktop shortcut runs, installed beside it.
    QProcess *start(const QStringList &arguments = {}, bool throughStarter = false);
    // Runs the program to its end; its exit code, and what it printed.
    int run(const QStringList &arguments,
            QByteArray *output = nullptr,
            QByteArray *error = nullptr,
            bool throughStarter = false);
    void setSettings(const QVariantMap &values);
    QStringList logLines() const { return m_dir->logLines(); }
    int countLines(const QString &text) const { return logLines().filter(text).size(); }
    bool hasVisibleWindow(qint64 pid) const;
    bool hasActiveWindow(qint64 pid) const;
    void requireX11();

    std::unique_ptr<TestWorkDir> m_dir;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    // Set in the environment of the processes started next.
    QProcessEnvironment m_environment;
    // setpriv's options that start the next processes as another user.
    QStringList m_runAs;
};

void TestStartup::init()
{
    m_environment.clear();
    m_runAs.clear();
    m_dir = std::make_unique<TestWorkDir>();
    QDir(m_dir->path(QString())).mkpath("run");
    QFile::setPermissions(m_dir->path("run"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestStartup::cleanup()
{
    for (auto &process : m_processes) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    m_processes.clear();
    m_dir.reset();
}

int TestStartup::run(const QStringList &arguments,
                     QByteArray *output,
                     QByteArray *error,
                     bool throughStarter)
{
    QProcess *process = start(arguments, throughStarter);
    if (!process->waitForFinished(10000))
        return -1;
    if (output)
        *output = process->readAllStandardOutput();
    if (error)
        *error = process->readAllStandardError();
    return process->exitCode();
}

QProcess *TestStartup::start(const QStringList &arguments, bool throughStarter)
{
    auto process = std::make_unique<QProcess>();
    process->setProgram(QStringLiteral(QUIVER_BINARY));
    if (throughStarter) {
        // As installed: the starter beside the program, which it finds through its own path.
        const QString starter = m_dir->path("bin/quiver");
        if (!QFile::exists(starter)) {
            QFile::copy(QStringLiteral(QUIVER_STARTER), starter);
            QFile::link(QStringLiteral(QUIVER_BINARY), m_dir->path("bin/Quiver"));
        }
        process->setProgram(starter);
    }
    process->setArguments(arguments);
    if (!m_runAs.isEmpty()) {
        process->setArguments(m_runAs + QStringList{"--", process->program()} + arguments);
        process->setProgram("setpriv");
    }
    process->setWorkingDirectory(m_dir->path("bin"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", m_dir->path("run"));
    env.insert("QT_QPA_PLATFORM", env.contains("DISPLAY") ? "xcb" : "offscreen");
    env.remove("QT_XCB_GL_INTEGRATION");
    env.insert(m_environment);
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(arguments.isEmpty() ? QProcess::ForwardedErrorChannel
                                                       : QProcess::SeparateChannels);
    process->start();
    process->waitForStarted();
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

void TestStartup::setSettings(const QVariantMap &values)
{
    QSettings settings(m_dir->path("data/config.ini"), QSettings::IniFormat);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        settings.setValue(it.key(), it.value());
}

bool TestStartup::hasVisibleWindow(qint64 pid) const
{
    QProcess search;
    search.start("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)});
    search.waitForFinished(5000);
    return !search.readAllStandardOutput().trimmed().isEmpty();
}

bool TestStartup::hasActiveWindow(qint64 pid) const
{
    QProcess active;
    active.start("xdotool", {"getactivewindow", "getwindowpid"});
    active.waitForFinished(5000);
    return active.readAllStandardOutput().trimmed() == QByteArray::number(pid);
}

void TestStartup::requireX11()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") ||
        QStandardPaths::findExecutable("xdotool").isEmpty())
        QSKIP("needs an X server and xdotool to see the windows");
}

void TestStartup::shouldLogVersionFirstAndExitCleanlyOnTerminate()
{
    QProcess *quiver = start();
    QTRY_COMPARE_WITH_TIMEOUT(countLines("Mode:Release"), 1, 10000);
    ::kill(quiver->processId(), SIGTERM);
    QVERIFY(quiver->waitForFinished(10000));
    QCOMPARE(quiver->exitStatus(), QProcess::NormalExit);
    QCOMPARE(quiver->exitCode(), 0);

    const QStringList lines = logLines();
    QVERIFY(lines.first().endsWith(" | INFO | Quiver version:2.1.3.0"));
    QVERIFY(lines.at(1).endsWith(" | INFO | Mode:Release"));
    QVERIFY(lines.last().endsWith(" | INFO | 正常退出"));
    QSettings settings(m_dir->path("data/config.ini"), QSettings::IniFormat);
    QVERIFY(settings.contains("Form/Geometry"));
}

void TestStartup::shouldHandOverToRunningInstance()
{
    requireX11();
    // The hotkey makes the hidden start reachable, so the window is not minimised instead.
    setSettings({{"Form/IsSingleApp", true},
                 {"Form/AppRunThenHide", true},
                 {"HotKey/ShowApp", "Ctrl+Alt+F11"}});
    QProcess *first = start();
    // The last line of a start says how the hidden window can be called up.
    QTRY_COMPARE_WITH_TIMEOUT(countLines("隐藏的窗口可由"), 1, 10000);
    const int linesBefore = logLines().size();
    QVERIFY(!hasVisibleWindow(first->processId()));

    QProcess *second = start();
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(logLines().size(), linesBefore);
    QTRY_VERIFY_WITH_TIMEOUT(hasVisibleWindow(first->processId()), 5000);
    QCOMPARE(first->state(), QProcess::Running);
}

void TestStartup::shouldOpenSecondWindowWhenNotSingle()
{
    requireX11();
    setSettings({{"Form/IsSingleApp", false}});
    QProcess *first = start();
    QTRY_COMPARE_WITH_TIMEOUT(countLines("Mode:Release"), 1, 10000);
    QProcess *second = start();
    QTRY_COMPARE_WITH_TIMEOUT(countLines("Mode:Release"), 2, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(hasVisibleWindow(first->processId()), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(hasVisibleWindow(second->processId()), 5000);
}

// A first instance that was killed leaves its lock and socket behind; they must not turn the
// next start into a hand-over to nobody.
void TestStartup::shouldStartAfterCrashedInstance()
{
    setSettings({{"Form/IsSingleApp", true}});
    QProcess *crashed = start();
    QTRY_COMPARE_WITH_TIMEOUT(countLines("Mode:Release"), 1, 10000);
    crashed->kill();
    QVERIFY(crashed->waitForFinished(5000));
    QVERIFY(!QDir(m_dir->path("run")).isEmpty());

    QProcess *next = start();
    QTRY_COMPARE_WITH_TIMEOUT(countLines("Mode:Release"), 2, 10000);
    QCOMPARE(next->state(), QProcess::Running);

    QProcess *third = start();
    QVERIFY(third->waitForFinished(10000));
    QCOMPARE(third->exitCode(), 0);
    QCOMPARE(countLines("Mode:Release"), 2);
}

// The OpenGL probe loads Mesa (about 50 MB). The program switches it off for itself and hands
// the user's environment back to what it starts, which must not bring the probe back.
void TestStartup::shouldStartWithoutOpenGl()
{
    requireX11();
    QProcess *quiver = start();
    QTRY_COMPARE_WITH_TIMEOUT(countLines("Mode:Release"), 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(hasVisibleWindow(quiver->processId()), 5000);
    QFile maps(QStringLiteral("/proc/%1/maps").arg(quiver->processId()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QString mapped = QString::fromUtf8(maps.readAll());
    QVERIFY(!mapped.contains("libGLX_mesa"));
    QVERIFY(!mapped.contains("_dri.so"));
}

void TestStartup::shouldToggleRunningWindowFromCommandLine_data()
{
    QTest::addColumn<bool>("singleApp");
    QTest::addColumn<bool>("throughStarter");
    QTest::newRow("several instances allowed") << false << false;
    QTest::newRow("single instance") << true << false;
    // What the desktop's shortcut runs: the starter hands the command over without Qt.
    QTest::newRow("through the starter") << false << true;
}

// Under Wayland the desktop's own shortcut settings run "Quiver --toggle": it must reach the
// running window whatever "Form/IsSingleApp" says, and start nothing of its own.
void TestStartup::shouldToggleRunningWindowFromCommandLine()
{
    requireX11();
    // Hiding takes a window that has the focus, which a window manager gives.
    X11Desktop desktop;
    QString reason;
    if (!desktop.start(false, &reason))
        QSKIP(qPrintable(reason));
    QFETCH(bool, singleApp);
    QFETCH(bool, throughStarter);
    // The first start's question about importing would be one more window of the process.
    setSettings({{"Form/IsSingleApp", singleApp},
                 {"HotKey/ShowApp", "Ctrl+Alt+F10"},
                 {"Form/ImportOffered", true}});
    QProcess *first = start();
    QTRY_VERIFY_WITH_TIMEOUT(hasVisibleWindow(first->processId()), 10000);
    // Toggling hides a window in front; a slow start may not have been given the focus yet.
    QTRY_VERIFY_WITH_TIMEOUT(hasActiveWindow(first->processId()), 5000);
    const int starts = countLines("Mode:Release");

    QCOMPARE(run({"--toggle"}, nullptr, nullptr, throughStarter), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!hasVisibleWindow(first->processId()), 5000);
    QCOMPARE(run({"--toggle"}, nullptr, nullptr, throughStarter), 0);
    QTRY_VERIFY_WITH_TIMEOUT(hasVisibleWindow(first->processId()), 5000);
    QCOMPARE(run({"--hide"}, nullptr, nullptr, throughStarter), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!hasVisibleWindow(first->processId()), 5000);
    QCOMPARE(run({"--show"}, nullptr, nullptr, throughStarter), 0);
    QTRY_VERIFY_WITH_TIMEOUT(hasVisibleWindow(first->processId()), 5000);

    // Started from a menu or a launcher with launch feedback, the command ends the feedback,
    // even for a window already shown.
    const StartupMessages feedback;
    m_environment.insert("DESKTOP_STARTUP_ID", "quiver-test \"one\"_TIME4242");
    QCOMPARE(run({"--show"}, nullptr, nullptr, throughStarter), 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        feedback.messages.contains("remove: ID=\"quiver-test \\\"one\\\"_TIME4242\""), 5000);
    QCOMPARE(countLines("Mode:Release"), starts);
    QCOMPARE(first->state(), QProcess::Running);
}

void TestStartup::shouldQuitRunningInstanceCleanly()
{
    QProcess *first = start();
    QTRY_COMPARE_WITH_TIMEOUT(countLines("Mode:Release"), 1, 10000);
    QCOMPARE(run({"--quit"}), 0);
    QVERIFY(first->waitForFinished(10000));
    QCOMPARE(first->exitCode(), 0);
    QVERIFY(logLines().last().endsWith(" | INFO | 正常退出"));
}

void TestStartup::shouldAnswerCommandLineWithoutStarting_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("printed");
    QTest::addColumn<bool>("throughStarter");
    QTest::newRow("unknown option")
        << QStringList{"--frobnicate"} << 2 << QByteArray("frobnicate") << false;
    QTest::newRow("stray argument")
        << QStringList{"file.txt"} << 2 << QByteArray("file.txt") << false;
    QTest::newRow("two commands") << QStringList{"--show", "--hide"} << 2 << QByteArray("--show")
                                  << false;
    QTest::newRow("help") << QStringList{"--help"} << 0 << QByteArray("--toggle") << false;
    QTest::newRow("version") << QStringList{"--version"} << 0 << QByteArray(QUIVER_VERSION)
                             << false;
    // Nothing runs: nothing to hide or to end, and nothing is started for it.
    QTest::newRow("hide, none running") << QStringList{"--hide"} << 0 << QByteArray() << false;
    QTest::newRow("quit, none running") << QStringList{"--quit"} << 0 << QByteArray() << false;
    // Qt's own options, as a session manager or a user gives them, are no mistake.
    QTest::newRow("Qt's options") << QStringList{"-session", "1234_5",   "-style",
                                                 "Fusion",   "-reverse", "--hide"}
                                  << 0 << QByteArray() << false;
    QTest::newRow("Qt's option with =")
        << QStringList{"-platformtheme=gtk3", "--quit"} << 0 << QByteArray() << false;
    // The starter hands these over itself when an instance answers; otherwise the program
    // answers them as it would.
    QTest::newRow("hide, none running, starter")
        << QStringList{"--hide"} << 0 << QByteArray() << true;
    QTest::newRow("quit, none running, starter")
        << QStringList{"--quit"} << 0 << QByteArray() << true;
    QTest::newRow("unknown option, starter")
        << QStringList{"--frobnicate"} << 2 << QByteArray("frobnicate") << true;
    QTest::newRow("version, starter")
        << QStringList{"--version"} << 0 << QByteArray(QUIVER_VERSION) << true;
}

void TestStartup::shouldAnswerCommandLineWithoutStarting()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, printed);
    QFETCH(bool, throughStarter);
    QByteArray output;
    QByteArray error;
    QCOMPARE(run(arguments, &output, &error, throughStarter), exitCode);
    QVERIFY2((exitCode == 0 ? output : error).contains(printed),
             QByteArray(output + error).constData());
    if (exitCode == 2)
        QVERIFY(error.endsWith('\n'));
    // No catalogue, no log: the program never started.
    QVERIFY(logLines().isEmpty());
    QVERIFY(!QFile::exists(m_dir->path("data/data.db")));
}

// With no instance to answer, the starter starts the program in its own folder, which then
// answers the next command through the starter's own hand-over.
void TestStartup::shouldStartThroughStarterWhenNoneRuns()
{
    requireX11();
    X11Desktop desktop;
    QString reason;
    if (!desktop.start(false, &reason))
        QSKIP(qPrintable(reason));
    setSettings({{"HotKey/ShowApp", "Ctrl+Alt+F10"}, {"Form/ImportOffered", true}});
    QProcess *first = start({"--show"}, true);
    QTRY_COMPARE_WITH_TIMEOUT(countLines("Mode:Release"), 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(hasActiveWindow(first->processId()), 10000);
    QCOMPARE(run({"--hide"}, nullptr, nullptr, true), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!hasVisibleWindow(first->processId()), 5000);
    QCOMPARE(run({"--show"}, nullptr, nullptr, true), 0);
    QTRY_VERIFY_WITH_TIMEOUT(hasVisibleWindow(first->processId()), 5000);
    QCOMPARE(run({"--quit"}, nullptr, nullptr, true), 0);
    QVERIFY(first->waitForFinished(10000));
    QCOMPARE(countLines("Mode:Release"), 1);
    QVERIFY(logLines().last().endsWith(" | INFO | 正常退出"));
}

void TestStartup::shouldStampActivationWithCallersTime_data()
{
    QTest::addColumn<bool>("throughStarter");
    QTest::addColumn<QString>("command");
    QTest::newRow("starter, show") << true << "--show";
    QTest::newRow("starter, toggle") << true << "--toggle";
    QTest::newRow("program, show") << false << "--show";
}

// A window manager that prevents focus stealing (Mutter, KWin) gives the focus only to a
// request newer than the last input into the window that has it. The window stands behind one
// the user has just typed into: the command carries the X server time of its start, and the
// activation request goes out with it.
void TestStartup::shouldStampActivationWithCallersTime()
{
    requireX11();
    X11Desktop desktop;
    QString reason;
    if (!desktop.start(false, &reason))
        QSKIP(qPrintable(reason));
    QFETCH(bool, throughStarter);
    QFETCH(QString, command);
    setSettings({{"HotKey/ShowApp", "Ctrl+Alt+F10"}, {"Form/ImportOffered", true}});
    QProcess *first = start();
    QTRY_VERIFY_WITH_TIMEOUT(hasActiveWindow(first->processId()), 10000);
    // Its start finished (its last line says how it can be called up), the window manager has
    // done with it.
    QTRY_COMPARE_WITH_TIMEOUT(countLines("隐藏的窗口可由"), 1, 10000);

    QLineEdit other;
    other.setWindowTitle("typed into");
    other.show();
    other.activateWindow();
    QTRY_VERIFY_WITH_TIMEOUT(other.hasFocus(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(hasActiveWindow(QCoreApplication::applicationPid()), 5000);
    X11Desktop::xdotool({"type", "--delay", "20", "abc"});
    QTRY_COMPARE(other.text(), QString("abc"));

    const ActivationRequests requests;
    const quint32 before = QX11Info::getTimestamp();
    QCOMPARE(run({command}, nullptr, nullptr, throughStarter), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!requests.times.isEmpty(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(hasActiveWindow(first->processId()), 5000);
    QVERIFY2(requests.times.last() >= before,
             qPrintable(QStringLiteral("%1 < %2").arg(requests.times.last()).arg(before)));
}

void TestStartup::shouldHandOverOnlyWithinTheUser_data()
{
    QTest::addColumn<uint>("folderOwner");
    QTest::addColumn<int>("folderMode"); // 0: none there before the first start
    QTest::addColumn<bool>("otherListens");
    QTest::addColumn<bool>("ownCache"); // a home whose cache folder is the user's
    QTest::addColumn<int>("instances");
    QTest::newRow("its own folder") << 65534u << 0 << false << false << 1;
    QTest::newRow("folder made by another user, a home of its own")
        << 0u << 0700 << true << true << 1;
    QTest::newRow("folder made by another user, no home") << 0u << 0700 << true << false << 2;
    QTest::newRow("folder open to others") << 65534u << 0777 << true << false << 2;
    QTest::newRow("another user listening in its folder") << 65534u << 0700 << true << false << 1;
}

// Without XDG_RUNTIME_DIR the lock and the socket lie in the user's cache folder, or without a
// home of the user's in the shared temporary folder, where another user could make their folder
// first or listen there. Nothing handed over, startup identifiers included, may reach them, and
// the program starts all the same. The program runs as nobody; the other user is the test's
// own, root.
void TestStartup::shouldHandOverOnlyWithinTheUser()
{
    if (::getuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty())
        QSKIP("needs root and setpriv to run the program as another user");
    QFETCH(uint, folderOwner);
    QFETCH(int, folderMode);
    QFETCH(bool, otherListens);
    QFETCH(bool, ownCache);
    QFETCH(int, instances);
    QDir().mkpath(m_dir->path("tmp"));
    QDir().mkpath(m_dir->path("home"));
    QCOMPARE(QProcess::execute("chown", {"-R", "65534:65534", m_dir->path(".")}), 0);
    const QString folder = m_dir->path("tmp/Quiver-65534");
    if (folderMode) {
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(::chown(qPrintable(folder), folderOwner, folderOwner), 0);
        QCOMPARE(::chmod(qPrintable(folder), mode_t(folderMode)), 0);
    }
    QLocalServer other;
    if (otherListens) {
        QVERIFY(other.listen(folder + "/socket"));
        QCOMPARE(::chmod(qPrintable(folder + "/socket"), 0777), 0);
    }
    m_runAs = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups"};
    m_environment.insert("XDG_RUNTIME_DIR", "");
    m_environment.insert("TMPDIR", m_dir->path("tmp"));
    m_environment.insert("HOME", ownCache ? m_dir->path("home") : "/root");
    m_environment.insert("XDG_CACHE_HOME", "");
    m_environment.insert("DISPLAY", "");
    m_environment.insert("QT_QPA_PLATFORM", "offscreen");
    m_environment.insert("DESKTOP_STARTUP_ID", "secret_TIME42");

    QProcess *first = start({"--show"}, true);
    QTRY_COMPARE_WITH_TIMEOUT(countLines("Mode:Release"), 1, 10000);
    QProcess *second = start({"--show"}, true);
    if (instances == 1) {
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 0);
    }
    QTRY_COMPARE_WITH_TIMEOUT(countLines("Mode:Release"), instances, 10000);
    QCOMPARE(countLines("单实例文件夹不安全") > 0, instances == 2);
    while (QLocalSocket *peer = other.nextPendingConnection()) {
        peer->waitForReadyRead(200);
        QCOMPARE(peer->bytesAvailable(), 0);
    }
    struct stat info = {};
    QCOMPARE(::lstat(qPrintable(folder), &info), 0);
    QCOMPARE(info.st_uid, folderOwner);
    QCOMPARE(info.st_mode & 0777, mode_t(folderMode ? folderMode : 0700));
    if (instances == 2)
        return;

    // The instance hears no other user either.
    QLocalSocket intruder;
    intruder.connectToServer((ownCache ? m_dir->path("home/.cache/Quiver-65534") : folder) +
                             "/socket");
    QVERIFY(intruder.waitForConnected(5000));
    QDataStream command(&intruder);
    command << QString("quit\n\n0");
    QVERIFY(intruder.waitForDisconnected(5000));
    QCOMPARE(intruder.readAll(), QByteArray());
    QCOMPARE(run({"--quit"}, nullptr, nullptr, true), 0);
    QVERIFY(first->waitForFinished(10000));
    QVERIFY(logLines().last().endsWith(" | INFO | 正常退出"));
}

void TestStartup::shouldKeepHandingOverWhateverPeersDo_data()
{
    QTest::addColumn<int>("connections");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("stopped");
    QTest::addColumn<int>("starts");
    QTest::addColumn<int>("status");
    QTest::newRow("holding idle connections") << 1100 << QByteArray() << "" << 0 << 0;
    // 1 GiB announced, 64 KiB of it sent.
    QTest::newRow("claiming a huge message")
        << 1 << QByteArray::fromHex("40000000") + QByteArray(65536, 'x') << "" << 0 << 0;
    // More starts than its queue of connections holds.
    QTest::newRow("instance stopped") << 0 << QByteArray() << "instance" << 70 << 1;
    QTest::newRow("X server stopped") << 0 << QByteArray() << "X server" << 1 << 0;
}

// A peer of the user's own that holds connections or claims a huge message must neither stall
// the instance nor end its listening; a stopped instance or X server must not hold the starter.
void TestStartup::shouldKeepHandingOverWhateverPeersDo()
{
    QFETCH(int, connections);
    QFETCH(QByteArray, sent);
    QFETCH(QString, stopped);
    QFETCH(int, starts);
    QFETCH(int, status);
    // The file descriptors of a usual session, which the held connections would use up.
    rlimit limit = {};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlimit usual = {1024, limit.rlim_max};
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &usual), 0);
    QProcess *instance = start();
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &limit), 0);
    QTRY_COMPARE_WITH_TIMEOUT(countLines("Mode:Release"), 1, 10000);

    std::vector<std::unique_ptr<QLocalSocket>> held;
    for (int i = 0; i < connections; ++i) {
        held.push_back(std::make_unique<QLocalSocket>());
        held.back()->connectToServer(
            m_dir->path(QStringLiteral("run/Quiver-%1/socket").arg(::getuid())));
        QVERIFY(held.back()->waitForConnected(5000));
        held.back()->write(sent);
    }
    // Dropped at its first bytes, not after the 3 s every connection has.
    if (!sent.isEmpty())
        QVERIFY(held.back()->waitForDisconnected(1500));
    qint64 stoppedPid = stopped == "instance" ? instance->processId() : 0;
    const QProcessEnvironment environment = m_environment;
    if (stopped == "X server") {
        m_processes.push_back(std::make_unique<QProcess>());
        QProcess *x = m_processes.back().get();
        x->start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp"});
        QVERIFY2(x->waitForReadyRead(10000), "needs Xvfb");
        m_environment.insert("DISPLAY",
                             ":" + QString::fromLatin1(x->readAllStandardOutput()).trimmed());
        stoppedPid = x->processId();
    }
    // (kill(0) would stop the test's own process group.)
    if (stoppedPid)
        ::kill(pid_t(stoppedPid), SIGSTOP);
    std::vector<QProcess *> starters;
    for (int i = 0; i < starts; ++i)
        starters.push_back(start({"--show"}, true));
    m_environment = environment;
    for (QProcess *starter : starters) {
        QVERIFY(starter->waitForFinished(15000));
        QCOMPARE(starter->exitCode(), status);
    }
    if (stoppedPid)
        ::kill(pid_t(stoppedPid), SIGCONT);

    // Still listening, to the starter and to the program's own second start.
    QCOMPARE(run({"--show"}, nullptr, nullptr, true), 0);
    QCOMPARE(run({"--show"}), 0);
    QCOMPARE(countLines("Mode:Release"), 1);
    // Connections that deliver nothing are dropped.
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(held.cbegin(), held.cend(),
                                         [](const auto &connection) {
                                             return connection->state() ==
                                                    QLocalSocket::UnconnectedState;
                                         }),
                             10000);
}

QUIVER_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
