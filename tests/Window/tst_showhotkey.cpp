#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDate>
#include <QLabel>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>

#include "Desktop/DesktopShortcut.h"
#include "App/Program.h"
#include "Window/FormMain.h"
#include "Settings/Form_Settings.h"
#include "Desktop/GLibSupport.h"
#include "Desktop/GnomeShortcut.h"
#include "Desktop/KdeShortcut.h"
#include "Core/SettingsControl.h"
#include "Window/ShowHotkey.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

// The show/hide hotkey as each kind of session gets it: an X11 grab, GNOME's or KDE's own
// shortcut in a Wayland session, or, where the desktop offers none, the command to bind by hand.
// GNOME's settings live in a key file, KDE's daemon runs on the test's own session bus.
class TestShowHotkey : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void shouldLiveWhereTheSessionKeepsShortcuts_data();
    void shouldLiveWhereTheSessionKeepsShortcuts();
    void shouldReportCombinationInUse();
    void shouldLeaveNothingBehindARefusalOrAClear();
    void shouldTakeTheUsersOwnShortcutForOurCommand();
    void shouldLetTheDesktopsShortcutServeOnX11();
    void shouldHideWithoutTrayWhenDesktopShortcutBound();

private:
    void setSession(const QByteArray &type, const QByteArray &desktop);

    EnvironmentGuard m_environment;
    QProcess m_kglobalaccel;
};

void TestShowHotkey::initTestCase()
{
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("needs a session bus of its own (run under dbus-run-session)");
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server for the X11 grab");
    if (!QStandardPaths::findExecutable("kglobalaccel5").isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "xcb");
        m_kglobalaccel.setProcessEnvironment(environment);
        m_kglobalaccel.start("kglobalaccel5", QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(
            QDBusConnection::sessionBus().interface()->isServiceRegistered("org.kde.kglobalaccel"),
            10000);
    }
}

void TestShowHotkey::cleanupTestCase()
{
    m_kglobalaccel.terminate();
    m_kglobalaccel.waitForFinished(5000);
}

void TestShowHotkey::init()
{
    for (auto &desktop : DesktopShortcut::all())
        desktop->unbind();
}

void TestShowHotkey::setSession(const QByteArray &type, const QByteArray &desktop)
{
    m_environment.set("XDG_SESSION_TYPE", type);
    m_environment.set("XDG_CURRENT_DESKTOP", desktop);
    // Quiver itself talks to Xwayland; the desktop is told by the session's type.
    m_environment.set("WAYLAND_DISPLAY", type == "wayland" ? "wayland-test" : "");
}

void TestShowHotkey::shouldLiveWhereTheSessionKeepsShortcuts_data()
{
    QTest::addColumn<QByteArray>("session");
    QTest::addColumn<QByteArray>("desktop");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("place");
    QTest::addColumn<bool>("wayBack");
    QTest::newRow("X11") << QByteArray("x11") << QByteArray("GNOME") << "Ctrl+Alt+F10"
                         << "X11 全局热键" << true;
    QTest::newRow("GNOME on Wayland") << QByteArray("wayland") << QByteArray("GNOME") << "Alt+Q"
                                      << "GNOME 设置" << true;
    QTest::newRow("KDE on Wayland") << QByteArray("wayland") << QByteArray("KDE") << "Ctrl+Alt+F9"
                                    << "KDE 系统设置" << true;
    // The grab works only while our window has the focus: no way back, the command to bind.
    QTest::newRow("other desktop on Wayland")
        << QByteArray("wayland") << QByteArray("sway") << "Ctrl+Alt+F9"
        << "--toggle" << false;
}

void TestShowHotkey::shouldLiveWhereTheSessionKeepsShortcuts()
{
    QFETCH(QByteArray, session);
    QFETCH(QByteArray, desktop);
    QFETCH(QString, keys);
    QFETCH(QString, place);
    QFETCH(bool, wayBack);
    if (desktop == "KDE" && m_kglobalaccel.state() != QProcess::Running)
        QSKIP("needs kglobalaccel5 (libkf5globalaccel-bin)");
    if (desktop == "GNOME" && session == "wayland" && !GnomeShortcut::isAvailable())
        QSKIP("needs GNOME's schemas (gnome-settings-daemon-common)");
    setSession(session, desktop);
    ShowHotkey hotkey;
    QSignalSpy results(&hotkey, &ShowHotkey::result);
    QSignalSpy places(&hotkey, &ShowHotkey::placeChanged);
    hotkey.set(keys);
    QCOMPARE(results.size(), 1);
    QVERIFY(results.first().first().toBool());
    QVERIFY2(hotkey.place().contains(place), qPrintable(hotkey.place()));
    QCOMPARE(places.size(), 1);
    QCOMPARE(hotkey.isWayBack(), wayBack);
    if (desktop == "GNOME" && session == "wayland")
        QVERIFY(GnomeShortcut().isBound());
    if (desktop == "KDE")
        QVERIFY(KdeShortcut().isBound());

    // Cleared, it is gone from wherever it lived, and no notice is due.
    hotkey.set(QString());
    QCOMPARE(results.size(), 1);
    QVERIFY(hotkey.place().isEmpty());
    QVERIFY(!hotkey.isWayBack());
    QVERIFY(!GnomeShortcut::isAvailable() || !GnomeShortcut().isBound());
    QVERIFY(!KdeShortcut().isBound());
}

// Someone else's combination is reported by its holder, and nothing of theirs changes.
void TestShowHotkey::shouldReportCombinationInUse()
{
    if (!GnomeShortcut::isAvailable())
        QSKIP("needs GNOME's schemas (gnome-settings-daemon-common)");
    setSession("wayland", "GNOME");
    ShowHotkey hotkey;
    QSignalSpy results(&hotkey, &ShowHotkey::result);
    QSignalSpy refused(&hotkey, &ShowHotkey::refused);
    hotkey.set("Alt+F7");
    QCOMPARE(results.size(), 0);
    QCOMPARE(refused.size(), 1);
    QVERIFY2(refused.first().first().toString().startsWith("快捷键已被占用: "),
             qPrintable(refused.first().first().toString()));
    QVERIFY(!hotkey.isWayBack());
    QVERIFY(!GnomeShortcut().isBound());
}

// A combination refused takes the one set before away with it, and clearing the hotkey clears
// one a former run left behind: the setting and the desktop never disagree.
void TestShowHotkey::shouldLeaveNothingBehindARefusalOrAClear()
{
    if (!GnomeShortcut::isAvailable())
        QSKIP("needs GNOME's schemas (gnome-settings-daemon-common)");
    setSession("wayland", "GNOME");
    {
        ShowHotkey hotkey;
        hotkey.set("Ctrl+Alt+K");
        QVERIFY(GnomeShortcut().isBound());
        hotkey.set("Alt+F7");
        QVERIFY(!GnomeShortcut().isBound());
        QVERIFY(!hotkey.isWayBack());
    }
    QVERIFY(
        GnomeShortcut().bind(QKeySequence("Ctrl+Alt+K"), DesktopShortcut::toggleCommand()).bound);
    ShowHotkey later;
    later.set(QString());
    QVERIFY(!GnomeShortcut().isBound());
}

// A custom shortcut the user made for our command (as the README once told) is taken as ours:
// nothing is refused, no second binding is made, and it brings the window back.
void TestShowHotkey::shouldTakeTheUsersOwnShortcutForOurCommand()
{
    if (!GnomeShortcut::isAvailable())
        QSKIP("needs GNOME's schemas (gnome-settings-daemon-common)");
    setSession("wayland", "GNOME");
    const char theirs[] =
        "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom7/";
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    GSettingsSchema *customSchema = g_settings_schema_source_lookup(
        source, "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding", TRUE);
    GSettingsSchema *listSchema = g_settings_schema_source_lookup(
        source, "org.gnome.settings-daemon.plugins.media-keys", TRUE);
    GLibSupport::Object<GSettings> custom(g_settings_new_full(customSchema, nullptr, theirs));
    GLibSupport::Object<GSettings> list(g_settings_new_full(listSchema, nullptr, nullptr));
    g_settings_schema_unref(customSchema);
    g_settings_schema_unref(listSchema);
    g_settings_set_string(custom.get(), "name", "我的 Quiver");
    g_settings_set_string(
        custom.get(), "command",
        GnomeShortcut::commandLine(DesktopShortcut::toggleCommand()).toUtf8().constData());
    g_settings_set_string(custom.get(), "binding", "<Primary><Alt>k");
    const gchar *const paths[] = {theirs, nullptr};
    g_settings_set_strv(list.get(), "custom-keybindings", paths);
    ShowHotkey hotkey;
    QSignalSpy refused(&hotkey, &ShowHotkey::refused);
    QSignalSpy results(&hotkey, &ShowHotkey::result);
    hotkey.set("Ctrl+Alt+K");
    QCOMPARE(refused.size(), 0);
    QCOMPARE(results.size(), 1);
    QVERIFY(results.first().first().toBool());
    QVERIFY(hotkey.isWayBack());
    QVERIFY(!GnomeShortcut().isBound());
    g_settings_reset(list.get(), "custom-keybindings");
}

// In an X11 session of a desktop where a Wayland session made the hotkey the desktop's own, the
// desktop holds the combination and runs our command: that is no failure, and the window can
// hide.
void TestShowHotkey::shouldLetTheDesktopsShortcutServeOnX11()
{
    if (!GnomeShortcut::isAvailable())
        QSKIP("needs GNOME's schemas (gnome-settings-daemon-common)");
    setSession("x11", "GNOME");
    QVERIFY(
        GnomeShortcut().bind(QKeySequence("Ctrl+Alt+K"), DesktopShortcut::toggleCommand()).bound);
    // The desktop's grab, as GNOME's shell holds it.
    Display *desktop = XOpenDisplay(nullptr);
    QVERIFY(desktop);
    const KeyCode code = XKeysymToKeycode(desktop, XK_k);
    for (unsigned locks :
         {0u, unsigned(LockMask), unsigned(Mod2Mask), unsigned(LockMask | Mod2Mask)})
        XGrabKey(desktop, code, ControlMask | Mod1Mask | locks, DefaultRootWindow(desktop), True,
                 GrabModeAsync, GrabModeAsync);
    XSync(desktop, False);
    ShowHotkey hotkey;
    QSignalSpy results(&hotkey, &ShowHotkey::result);
    hotkey.set("Ctrl+Alt+K");
    QCOMPARE(results.size(), 1);
    QVERIFY(results.first().first().toBool());
    QVERIFY(hotkey.isWayBack());
    QVERIFY2(hotkey.place().contains("GNOME"), qPrintable(hotkey.place()));
    QVERIFY(GnomeShortcut().isBound());
    XCloseDisplay(desktop);
    GnomeShortcut().unbind();
}

// GNOME has no tray: with its shortcut bound, hiding hides, the log says how the window comes
// back, and the settings window says where the shortcut now lives.
void TestShowHotkey::shouldHideWithoutTrayWhenDesktopShortcutBound()
{
    if (!GnomeShortcut::isAvailable())
        QSKIP("needs GNOME's schemas (gnome-settings-daemon-common)");
    setSession("wayland", "GNOME");
    TestWorkDir dir;
    {
        QSettings settings(dir.path("data/config.ini"), QSettings::IniFormat);
        settings.setValue("HotKey/ShowApp", "Alt+Q");
        settings.setValue("Form/ImportOffered", true);
    }
    Program program;
    FormMain &window = program.window();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.canHide(false));
    window.close();
    QVERIFY(window.isHidden());
    QVERIFY(!window.isMinimized());
    QFile log(dir.path("cache/log/" + QDate::currentDate().toString("yyyyMMdd") + ".log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    QVERIFY2(text.contains("隐藏的窗口可由快捷键 (已注册为桌面的快捷键：GNOME 设置"),
             qPrintable(text));

    Form_Settings settingsWindow;
    auto *place = settingsWindow.findChild<QLabel *>("label_hotkeyPlace");
    QVERIFY(place);
    QVERIFY(!place->isHidden());
    QVERIFY2(place->text().contains("GNOME 设置"), qPrintable(place->text()));
    SettingsControl::instance().setShowHotkey(QString());
    QVERIFY(place->isHidden());
    QVERIFY(!GnomeShortcut().isBound());
}

// GSettings and the daemons read their folders from the environment: set before anything
// starts.
int main(int argc, char **argv)
{
    QTemporaryDir folders;
    qputenv("XDG_CONFIG_HOME", folders.filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", folders.filePath("data").toLocal8Bit());
    qputenv("GSETTINGS_BACKEND", "keyfile");
    prepareTestEnvironment();
    QApplication app(argc, argv);
    silenceLog();
    TestShowHotkey test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_showhotkey.moc"
