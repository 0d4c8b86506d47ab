// Quiver called up from the keyboard inside each desktop session.sh makes, as a user calls it:
// right after typing into another window, by the command a desktop shortcut runs
// ("quiver --toggle") and by the hotkey the settings registered (GNOME's and KDE's own shortcut
// on Wayland, the X11 grab on openbox). Each call must end with Quiver in front, holding the
// keyboard, and "abc" typed next in its search box; half the calls find it hidden, half shown
// behind the other window.
#include "DesktopKeys.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {
constexpr int calls = 20;
// Free in GNOME's and KWin's own bindings.
const char hotkey[] = "Ctrl+Alt+Shift+F11";

// The X11 properties of other clients' windows, through a display connection of the test's own.
class Windows
{
public:
    Windows()
        : m_display(XOpenDisplay(nullptr))
    {}
    ~Windows()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }

    // The viewable top-level window of the process, from the window manager's list.
    unsigned long ofProcess(qint64 pid) const
    {
        unsigned long found = 0;
        const QVector<unsigned long> windows =
            property(DefaultRootWindow(m_display), "_NET_CLIENT_LIST", XA_WINDOW);
        for (unsigned long window : windows)
            if (property(window, "_NET_WM_PID", XA_CARDINAL).value(0) == quint64(pid) &&
                isViewable(window))
                found = window;
        return found;
    }

    // Minimised (iconic, in ICCCM's words) rather than hidden.
    bool isMinimised(unsigned long window) const
    {
        return property(window, "WM_STATE", XInternAtom(m_display, "WM_STATE", False)).value(0) ==
               IconicState;
    }

    // Whether the first window stands above the second in the window manager's stacking order.
    bool isAbove(unsigned long first, unsigned long second) const
    {
        const QVector<unsigned long> stack =
            property(DefaultRootWindow(m_display), "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
        return stack.indexOf(first) > stack.indexOf(second) && stack.contains(second);
    }

    bool isViewable(unsigned long window) const
    {
        XWindowAttributes attributes;
        return XGetWindowAttributes(m_display, window, &attributes) &&
               attributes.map_state == IsViewable;
    }

private:
    QVector<unsigned long> property(unsigned long window, const char *name, Atom type) const
    {
        Atom actual = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char *data = nullptr;
        QVector<unsigned long> values;
        if (XGetWindowProperty(m_display, window, XInternAtom(m_display, name, False), 0, 1024,
                               False, type, &actual, &format, &count, &remaining,
                               &data) == Success &&
            data) {
            const auto *items = reinterpret_cast<const unsigned long *>(data);
            values = QVector<unsigned long>(items, items + count);
        }
        if (data)
            XFree(data);
        return values;
    }

    Display *m_display;
};

// The other window the user types in, in a process of its own: it prints "text …" on Return.
class Probe
{
public:
    explicit Probe(const QPoint &at)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "xcb");
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            while (m_process.canReadLine())
                m_lines << QString::fromUtf8(m_process.readLine()).trimmed();
        });
        m_process.start(QUIVER_DESKTOP_PROBE,
                        {"other window", QStringLiteral("%1,%2").arg(at.x()).arg(at.y())});
    }
    ~Probe()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    QString last(const QString &word) const
    {
        for (int i = m_lines.size() - 1; i >= 0; --i)
            if (m_lines.at(i).startsWith(word + ' '))
                return m_lines.at(i).mid(word.size() + 1);
        return {};
    }
    unsigned long window() const { return last("window").toULong(nullptr, 16); }
    QString lines() const { return m_lines.join(" | "); }
    int count(const QString &word) const
    {
        return int(std::count_if(m_lines.cbegin(), m_lines.cend(),
                                 [&](const QString &line) { return line.startsWith(word + ' '); }));
    }

private:
    QProcess m_process;
    QStringList m_lines;
};

// What the X clipboard holds: Quiver's search box copied with Ctrl+A, Ctrl+C.
QString clipboard()
{
    QProcess xclip;
    xclip.start("xclip", {"-o", "-selection", "clipboard"});
    xclip.waitForFinished(5000);
    return QString::fromUtf8(xclip.readAllStandardOutput());
}
} // namespace

class TestCalledUp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void shouldComeToFrontWithTheKeyboard_data();
    void shouldComeToFrontWithTheKeyboard();

private:
    void callUp(bool byHotkey);
    bool shellFocusIsQuiver()
    {
        QString title;
        return m_keys.shellEval("global.display.focus_window?.get_title() ?? ''", &title) &&
               title == "\"Quiver\"";
    }

    DesktopKeys m_keys;
    Windows m_windows;
    QTemporaryDir m_root;
    QProcess m_quiver;
    std::unique_ptr<Probe> m_probe;
    unsigned long m_window = 0;
};

void TestCalledUp::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("QUIVER_TEST_DESKTOP"))
        QSKIP("runs inside a desktop: tests/desktops/session.sh <desktop> <this test>");
    QVERIFY2(m_keys.open(), qPrintable(m_keys.error()));
    // An install of its own: the program and the starter a desktop shortcut runs, side by side.
    QDir root(m_root.path());
    QVERIFY(root.mkpath("bin") && root.mkpath("data"));
    QVERIFY(QFile::copy(QUIVER_BINARY, root.filePath("bin/Quiver")));
    QVERIFY(QFile::copy(QUIVER_STARTER, root.filePath("bin/quiver")));
    {
        // On the left, under the other window's left end.
        QWidget placed;
        placed.setGeometry(40, 60, 700, 600);
        QSettings settings(root.filePath("data/config.ini"), QSettings::IniFormat);
        settings.setValue("HotKey/ShowApp", hotkey);
        settings.setValue("Form/ImportOffered", true);
        settings.setValue("Form/Geometry", placed.saveGeometry());
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    // The copied program no longer lies where the build tree's relative library path points.
    environment.insert("LD_LIBRARY_PATH", QUIVER_LIBRARY_DIR);
    m_quiver.setProcessEnvironment(environment);
    m_quiver.setWorkingDirectory(root.filePath("bin"));
    m_quiver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_quiver.start(root.filePath("bin/Quiver"), QStringList());
    QTRY_VERIFY_WITH_TIMEOUT((m_window = m_windows.ofProcess(m_quiver.processId())) != 0, 20000);
    // GNOME's settings daemon asks the shell for the grab a moment after the setting appears.
    if (m_keys.desktop() == "gnome")
        QTRY_VERIFY_WITH_TIMEOUT(m_keys.shellBinds(QKeySequence(hotkey)[0]), 10000);

    // Over Quiver's right edge, its middle clear of it: a click there brings it above Quiver.
    m_probe = std::make_unique<Probe>(QPoint(620, 300));
    QTRY_VERIFY_WITH_TIMEOUT(m_probe->window() != 0, 15000);
}

void TestCalledUp::cleanupTestCase()
{
    m_probe.reset();
    m_quiver.terminate();
    m_quiver.waitForFinished(10000);
}

void TestCalledUp::shouldComeToFrontWithTheKeyboard_data()
{
    QTest::addColumn<bool>("byHotkey");
    QTest::addColumn<bool>("hiddenBefore");
    for (int call = 1; call <= calls; ++call) {
        const bool hidden = call % 2;
        QTest::addRow("command, %s, %d", hidden ? "hidden" : "behind", call) << false << hidden;
        QTest::addRow("hotkey, %s, %d", hidden ? "hidden" : "behind", call) << true << hidden;
    }
}

void TestCalledUp::callUp(bool byHotkey)
{
    if (byHotkey) {
        QVERIFY2(m_keys.press(QKeySequence(hotkey)), qPrintable(m_keys.error()));
        return;
    }
    // As a desktop's shortcut runs it: no startup identifier, no activation token.
    QProcess command;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DESKTOP_STARTUP_ID");
    environment.remove("XDG_ACTIVATION_TOKEN");
    command.setProcessEnvironment(environment);
    command.start(m_root.filePath("bin/quiver"), {"--toggle"});
    QVERIFY(command.waitForFinished(10000));
    QCOMPARE(command.exitCode(), 0);
}

void TestCalledUp::shouldComeToFrontWithTheKeyboard()
{
    QFETCH(bool, byHotkey);
    QFETCH(bool, hiddenBefore);
    QElapsedTimer timer;
    timer.start();
    // Quiver as the call finds it: hidden, or shown behind the window the user types in.
    if (hiddenBefore && m_windows.isViewable(m_window)) {
        QVERIFY2(m_keys.focusWindow(m_window), qPrintable(m_keys.error()));
        QTRY_VERIFY_WITH_TIMEOUT(m_keys.hasFocus(m_window), 5000);
        QVERIFY(m_keys.press(QKeySequence(Qt::Key_Escape)));
        QTRY_VERIFY_WITH_TIMEOUT(!m_windows.isViewable(m_window), 5000);
        // Hidden, not minimised: the desktop's shortcut (or the X11 hotkey) brings it back,
        // tray or none.
        QVERIFY(!m_windows.isMinimised(m_window));
    }
    if (!hiddenBefore && !m_windows.isViewable(m_window)) {
        callUp(false);
        QTRY_VERIFY_WITH_TIMEOUT(m_windows.isViewable(m_window), 5000);
    }
    // The user types into the other window a moment before calling Quiver.
    QVERIFY2(m_keys.focusWindow(m_probe->window()), qPrintable(m_keys.error()));
    QTRY_VERIFY_WITH_TIMEOUT(m_keys.hasFocus(m_probe->window()), 5000);
    if (!hiddenBefore)
        QTRY_VERIFY_WITH_TIMEOUT(m_windows.isAbove(m_probe->window(), m_window), 5000);
    const int typed = m_probe->count("text");
    QVERIFY(m_keys.press(QKeySequence(Qt::CTRL | Qt::Key_A)));
    QVERIFY(m_keys.type("x\n"));
    QTRY_VERIFY2_WITH_TIMEOUT(m_probe->count("text") == typed + 1 && m_probe->last("text") == "x",
                              qPrintable(m_probe->lines().right(200)), 5000);

    callUp(byHotkey);
    QTRY_VERIFY2_WITH_TIMEOUT(
        m_keys.hasFocus(m_window),
        qPrintable(QStringLiteral("the keyboard is with %1, Quiver %2")
                       .arg(m_keys.windowTitle(m_keys.focusedWindow()))
                       .arg(m_windows.isViewable(m_window) ? "shown" : "hidden")),
        5000);
    QTRY_VERIFY_WITH_TIMEOUT(m_windows.isAbove(m_window, m_probe->window()), 5000);
    // Mutter hands the keyboard to an Xwayland window's surface a little after it sets X's
    // focus (under load, keys typed in between are dropped): wait for the shell to name it.
    if (m_keys.desktop() == "gnome")
        QTRY_VERIFY_WITH_TIMEOUT(shellFocusIsQuiver(), 5000);
    QVERIFY(m_keys.type("abc"));
    QVERIFY(m_keys.press(QKeySequence(Qt::CTRL | Qt::Key_A)));
    QVERIFY(m_keys.press(QKeySequence(Qt::CTRL | Qt::Key_C)));
    QTRY_VERIFY2_WITH_TIMEOUT(
        clipboard() == "abc",
        qPrintable(clipboard() + " / other window: " + m_probe->lines().right(120)), 5000);
    // Escape empties the box for the next call.
    QVERIFY(m_keys.press(QKeySequence(Qt::Key_Escape)));
    qInfo("%s: %lld ms", QTest::currentDataTag(), timer.elapsed());
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    TestCalledUp test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_calledup.moc"
