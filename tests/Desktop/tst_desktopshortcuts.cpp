#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>

#include "Desktop/DesktopShortcut.h"
#include "Desktop/GLibSupport.h"
#include "Desktop/GnomeShortcut.h"
#include "Desktop/KdeShortcut.h"
#include "Desktop/PortalShortcut.h"

#include <memory>

namespace {
const char customPath[] = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";

GSettings *gnomeSettings(const QString &relative = QString())
{
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    const bool custom = !relative.isEmpty();
    GSettingsSchema *schema = g_settings_schema_source_lookup(
        source,
        custom ? "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding"
               : "org.gnome.settings-daemon.plugins.media-keys",
        TRUE);
    GSettings *settings = g_settings_new_full(
        schema, nullptr,
        custom ? QByteArray(QByteArray(customPath) + relative.toUtf8()).constData() : nullptr);
    g_settings_schema_unref(schema);
    return settings;
}

QStringList customList()
{
    GLibSupport::Object<GSettings> settings(gnomeSettings());
    gchar **values = g_settings_get_strv(settings.get(), "custom-keybindings");
    QStringList list;
    for (gchar **value = values; *value; ++value)
        list << QString::fromUtf8(*value);
    g_strfreev(values);
    return list;
}

QString customValue(const QString &relative, const char *key)
{
    GLibSupport::Object<GSettings> settings(gnomeSettings(relative));
    return GLibSupport::takeString(g_settings_get_string(settings.get(), key));
}

QDBusMessage kglobalaccel(const char *method, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall("org.kde.kglobalaccel", "/kglobalaccel",
                                                          "org.kde.KGlobalAccel", method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message);
}

QDBusMessage portal(const char *method, const QVariantList &arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
        "org.freedesktop.portal.GlobalShortcuts", method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message);
}

bool waitForName(const QString &name)
{
    return QTest::qWaitFor(
        [&] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(name); },
        10000);
}
} // namespace

// The desktops' own shortcuts, each through the real thing on the test's own session bus and
// in its own folders: GNOME's GSettings (stored in a key file), KDE's KGlobalAccel daemon and a
// stand-in for the desktop portal.
class TestDesktopShortcuts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void shouldWriteGnomeAccelerators_data();
    void shouldWriteGnomeAccelerators();
    void shouldCompareGnomeAccelerators_data();
    void shouldCompareGnomeAccelerators();
    void shouldBindBesideTheUsersGnomeShortcuts();
    void shouldRefuseGnomeCombinationInUse_data();
    void shouldRefuseGnomeCombinationInUse();
    void shouldQuoteCommandsForShell_data();
    void shouldQuoteCommandsForShell();
    void shouldRunGnomesCommandLineWhole();

    void shouldRegisterKdeShortcut();
    void shouldRefuseKdeCombinationInUse();

    void shouldBindThroughPortalAndReportPresses();

    void shouldRemoveOnlyThisInstallsShortcut_data();
    void shouldRemoveOnlyThisInstallsShortcut();

private:
    QTemporaryDir m_home;
    QProcess m_kglobalaccel;
    QProcess m_portal;
};

void TestDesktopShortcuts::initTestCase()
{
    QVERIFY(m_home.isValid());
    qRegisterMetaType<DesktopShortcut::Result>();
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("needs a session bus of its own (run under dbus-run-session)");
    // The daemons write only into the test's folders.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", qEnvironmentVariable("XDG_CONFIG_HOME"));
    environment.insert("XDG_DATA_HOME", qEnvironmentVariable("XDG_DATA_HOME"));
    if (!QStandardPaths::findExecutable("kglobalaccel5").isEmpty() &&
        !qEnvironmentVariableIsEmpty("DISPLAY")) {
        environment.insert("QT_QPA_PLATFORM", "xcb");
        m_kglobalaccel.setProcessEnvironment(environment);
        m_kglobalaccel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_kglobalaccel.start("kglobalaccel5", QStringList());
        QVERIFY(waitForName("org.kde.kglobalaccel"));
    }
    m_portal.start(QStringLiteral(QUIVER_PORTAL_STANDIN), QStringList());
    QVERIFY(waitForName("org.freedesktop.portal.Desktop"));
}

void TestDesktopShortcuts::cleanupTestCase()
{
    for (QProcess *process : {&m_kglobalaccel, &m_portal}) {
        process->terminate();
        process->waitForFinished(5000);
    }
}

void TestDesktopShortcuts::shouldWriteGnomeAccelerators_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("gnome");
    QTest::addColumn<QString>("portal");
    QTest::newRow("letter") << "Ctrl+Alt+T"
                            << "<Control><Alt>t"
                            << "CTRL+ALT+t";
    QTest::newRow("logo key and space") << "Meta+Space"
                                        << "<Super>space"
                                        << "LOGO+space";
    QTest::newRow("function key") << "Alt+F2"
                                  << "<Alt>F2"
                                  << "ALT+F2";
    QTest::newRow("shifted") << "Ctrl+Shift+Q"
                             << "<Control><Shift>q"
                             << "CTRL+SHIFT+q";
    QTest::newRow("named key") << "Ctrl+Alt+Return"
                               << "<Control><Alt>Return"
                               << "CTRL+ALT+Return";
    QTest::newRow("digit") << "Alt+1"
                           << "<Alt>1"
                           << "ALT+1";
}

void TestDesktopShortcuts::shouldWriteGnomeAccelerators()
{
    QFETCH(QString, keys);
    QFETCH(QString, gnome);
    QFETCH(QString, portal);
    QCOMPARE(GnomeShortcut::accelerator(QKeySequence(keys)), gnome);
    QCOMPARE(PortalShortcut::trigger(QKeySequence(keys)), portal);
}

void TestDesktopShortcuts::shouldCompareGnomeAccelerators_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("same");
    QTest::newRow("Primary is Control") << "<Primary><Alt>T"
                                        << "<Control><Alt>t" << true;
    QTest::newRow("Ctrl, order of modifiers") << "<Alt><Ctrl>t"
                                              << "<Control><Alt>t" << true;
    QTest::newRow("Mod1 is Alt") << "<Mod1>space"
                                 << "<Alt>space" << true;
    QTest::newRow("other modifier") << "<Super>space"
                                    << "<Alt>space" << false;
    QTest::newRow("other key") << "<Alt>F7"
                               << "<Alt>F8" << false;
    QTest::newRow("modifier missing") << "space"
                                      << "<Alt>space" << false;
    QTest::newRow("not an accelerator") << ""
                                        << "" << false;
    QTest::newRow("unknown key name") << "<Alt>nokey"
                                      << "<Alt>nokey" << false;
}

void TestDesktopShortcuts::shouldCompareGnomeAccelerators()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, same);
    QCOMPARE(GnomeShortcut::sameAccelerator(first, second), same);
}

// The user's own custom shortcuts stay in the list as they were; ours is one more entry,
// replaced in place when the combination changes, and the only one taken away.
void TestDesktopShortcuts::shouldBindBesideTheUsersGnomeShortcuts()
{
    if (!GnomeShortcut::isAvailable())
        QSKIP("needs GNOME's schemas (gnome-settings-daemon-common)");
    {
        GLibSupport::Object<GSettings> mine(gnomeSettings("custom0/"));
        g_settings_set_string(mine.get(), "name", "My terminal");
        g_settings_set_string(mine.get(), "command", "x-terminal-emulator");
        g_settings_set_string(mine.get(), "binding", "<Control><Alt>e");
        GLibSupport::Object<GSettings> list(gnomeSettings());
        const gchar *const paths[] = {
            "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/", nullptr};
        g_settings_set_strv(list.get(), "custom-keybindings", paths);
        g_settings_sync();
    }
    GnomeShortcut gnome;
    QVERIFY(!gnome.isBound());
    const QStringList command{"/opt/my apps/quiver", "--toggle"};
    QVERIFY(gnome.bind(QKeySequence("Alt+Q"), command).bound);
    QVERIFY(gnome.bind(QKeySequence("Ctrl+Alt+K"), command).bound);
    QVERIFY(gnome.isBound());
    QCOMPARE(customList(),
             QStringList({QString(customPath) + "custom0/", QString(customPath) + "quiver/"}));
    QCOMPARE(customValue("quiver/", "name"), QString("Quiver"));
    QCOMPARE(customValue("quiver/", "binding"), QString("<Control><Alt>k"));
    QCOMPARE(customValue("quiver/", "command"), QString("'/opt/my apps/quiver' --toggle"));
    QCOMPARE(customValue("custom0/", "binding"), QString("<Control><Alt>e"));

    QVERIFY(gnome.unbind());
    QVERIFY(!gnome.isBound());
    QCOMPARE(customList(), QStringList({QString(customPath) + "custom0/"}));
    QCOMPARE(customValue("custom0/", "name"), QString("My terminal"));
}

void TestDesktopShortcuts::shouldRefuseGnomeCombinationInUse_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("holder");
    // GNOME's own: the window menu, moving a window, switching to a virtual terminal.
    QTest::newRow("window manager") << "Alt+Space"
                                    << "activate-window-menu";
    QTest::newRow("written another way") << "Alt+F7"
                                         << "begin-move";
    QTest::newRow("mutter on Wayland") << "Ctrl+Alt+F10"
                                       << "switch-to-session-10";
    QTest::newRow("the user's own") << "Ctrl+Alt+E"
                                    << "My terminal";
}

void TestDesktopShortcuts::shouldRefuseGnomeCombinationInUse()
{
    if (!GnomeShortcut::isAvailable())
        QSKIP("needs GNOME's schemas (gnome-settings-daemon-common)");
    QFETCH(QString, keys);
    QFETCH(QString, holder);
    GLibSupport::Object<GSettings> mine(gnomeSettings("custom0/"));
    g_settings_set_string(mine.get(), "name", "My terminal");
    g_settings_set_string(mine.get(), "binding", "<Control><Alt>e");
    GLibSupport::Object<GSettings> list(gnomeSettings());
    const gchar *const paths[] = {
        "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/", nullptr};
    g_settings_set_strv(list.get(), "custom-keybindings", paths);

    GnomeShortcut gnome;
    const DesktopShortcut::Result result = gnome.bind(QKeySequence(keys), {"quiver", "--toggle"});
    QVERIFY(!result.bound);
    QVERIFY(!gnome.isBound());
    // GNOME's own bindings are named by their summary (in the user's language), or their key.
    if (holder == "My terminal") {
        QCOMPARE(result.takenBy, holder);
    } else {
        GSettingsSchemaSource *source = g_settings_schema_source_get_default();
        const char *schemaId = holder.startsWith("switch-to-session")
                                   ? "org.gnome.mutter.wayland.keybindings"
                                   : "org.gnome.desktop.wm.keybindings";
        GSettingsSchema *schema = g_settings_schema_source_lookup(source, schemaId, TRUE);
        GSettingsSchemaKey *key = g_settings_schema_get_key(schema, holder.toUtf8().constData());
        const QString summary = QString::fromUtf8(g_settings_schema_key_get_summary(key));
        g_settings_schema_key_unref(key);
        g_settings_schema_unref(schema);
        QCOMPARE(result.takenBy, summary.isEmpty() ? holder : summary);
    }
    QCOMPARE(customList(), QStringList({QString(customPath) + "custom0/"}));
}

void TestDesktopShortcuts::shouldQuoteCommandsForShell_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("shell");
    QTest::newRow("plain") << QStringList{"/usr/bin/quiver", "--toggle"}
                           << "/usr/bin/quiver --toggle";
    QTest::newRow("space") << QStringList{"/home/a b/quiver", "--toggle"}
                           << "'/home/a b/quiver' --toggle";
    QTest::newRow("quote and dollar") << QStringList{"/home/it's $HOME/quiver", "--toggle"}
                                      << "'/home/it'\\''s $HOME/quiver' --toggle";
    QTest::newRow("percent, Chinese")
        << QStringList{"/home/用户/100%/quiver", "--toggle"} << "'/home/用户/100%/quiver' --toggle";
}

// GNOME's settings daemon splits the command as a shell would: each word must come back whole.
void TestDesktopShortcuts::shouldQuoteCommandsForShell()
{
    QFETCH(QStringList, command);
    QFETCH(QString, shell);
    const QString quoted = DesktopShortcut::shellCommand(command);
    QCOMPARE(quoted, shell);
    gchar **words = nullptr;
    QVERIFY(g_shell_parse_argv(quoted.toUtf8().constData(), nullptr, &words, nullptr));
    QStringList parsed;
    for (gchar **word = words; *word; ++word)
        parsed << QString::fromUtf8(*word);
    g_strfreev(words);
    QCOMPARE(parsed, command);
}

// GNOME's settings daemon starts the command as GIO reads a command line (a desktop entry's
// Exec, where "%" starts a field code): a starter in a folder with spaces, quotes and "%" runs.
void TestDesktopShortcuts::shouldRunGnomesCommandLineWhole()
{
    const QString folder = m_home.filePath("用户's $HOME/100% \"ok\"");
    QVERIFY(QDir().mkpath(folder));
    const QString starter = folder + "/quiver";
    const QString marker = m_home.filePath("started");
    QFile script(starter);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho \"$@\" > '%1'\n").arg(marker).toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    const QString line = GnomeShortcut::commandLine({starter, "--toggle"});
    GError *error = nullptr;
    GLibSupport::Object<GAppInfo> command(g_app_info_create_from_commandline(
        line.toUtf8().constData(), nullptr, G_APP_INFO_CREATE_NONE, &error));
    QVERIFY2(command, error ? error->message : "");
    QVERIFY(g_app_info_launch(command.get(), nullptr, nullptr, nullptr));
    QTRY_VERIFY(QFile::exists(marker));
    QFile started(marker);
    QVERIFY(started.open(QIODevice::ReadOnly));
    QCOMPARE(started.readAll(), QByteArray("--toggle\n"));
}

// KGlobalAccel holds the combination for our hidden entry, which starts the command whole,
// spaces and all, as any reader of desktop entries reads it. (Its presses are tried in a real
// Plasma session: the daemon on its own cannot read keys from Xvfb.)
void TestDesktopShortcuts::shouldRegisterKdeShortcut()
{
    if (m_kglobalaccel.state() != QProcess::Running)
        QSKIP("needs kglobalaccel5 (libkf5globalaccel-bin) and an X server");
    QVERIFY(KdeShortcut::isAvailable());
    const QString marker = m_home.filePath("pressed by kde");
    KdeShortcut kde;
    const DesktopShortcut::Result result = kde.bind(
        QKeySequence("Ctrl+Alt+F9"), {"/bin/sh", "-c", "echo pressed >> \"$1\"", "sh", marker});
    QVERIFY2(result.bound, qPrintable(result.takenBy));
    QVERIFY(kde.isBound());
    const int key = int(Qt::CTRL | Qt::ALT | Qt::Key_F9);
    QCOMPARE(qdbus_cast<QList<int>>(
                 kglobalaccel("shortcut", {QStringList{"quiver-toggle.desktop", "_launch", "", ""}})
                     .arguments()
                     .value(0)),
             QList<int>{key});
    GLibSupport::Object<GDesktopAppInfo> entry(
        g_desktop_app_info_new_from_filename(KdeShortcut::entryPath().toUtf8().constData()));
    QVERIFY(entry);
    QVERIFY(g_desktop_app_info_get_nodisplay(entry.get()));
    QVERIFY(g_app_info_launch(G_APP_INFO(entry.get()), nullptr, nullptr, nullptr));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 10000);

    QVERIFY(kde.unbind());
    QVERIFY(!QFile::exists(KdeShortcut::entryPath()));
    QVERIFY(!kde.isBound());
    // Free again for anybody.
    const QDBusMessage available =
        kglobalaccel("isGlobalShortcutAvailable",
                     {int(Qt::CTRL | Qt::ALT | Qt::Key_F9), QString("someone-else")});
    QVERIFY(available.arguments().value(0).toBool());
}

void TestDesktopShortcuts::shouldRefuseKdeCombinationInUse()
{
    if (m_kglobalaccel.state() != QProcess::Running)
        QSKIP("needs kglobalaccel5 (libkf5globalaccel-bin) and an X server");
    const QStringList theirs{"other.desktop", "run", "Other app", "Run it"};
    const int key = int(Qt::CTRL | Qt::ALT | Qt::Key_F8);
    kglobalaccel("doRegister", {theirs});
    kglobalaccel("setShortcut", {theirs, QVariant::fromValue(QList<int>{key}), 2u | 4u});

    KdeShortcut kde;
    const DesktopShortcut::Result result = kde.bind(QKeySequence(key), {"quiver", "--toggle"});
    QVERIFY(!result.bound);
    QCOMPARE(result.takenBy, QString("Other app: Run it"));
    QVERIFY(!kde.isBound());
    const QDBusMessage held = kglobalaccel("shortcut", {theirs});
    QCOMPARE(qdbus_cast<QList<int>>(held.arguments().value(0)), QList<int>{key});
    kde.unbind();
}

// The portal asks the user and answers later; a press is a signal to the running program.
void TestDesktopShortcuts::shouldBindThroughPortalAndReportPresses()
{
    QVERIFY(PortalShortcut::isAvailable());
    PortalShortcut shortcut;
    QSignalSpy finished(&shortcut, &DesktopShortcut::finished);
    QSignalSpy activated(&shortcut, &DesktopShortcut::activated);
    QVERIFY(shortcut.bind(QKeySequence("Ctrl+Alt+F7"), {}).pending);
    QVERIFY(finished.wait(5000));
    const auto result = finished.first().first().value<DesktopShortcut::Result>();
    QVERIFY2(result.bound, qPrintable(result.takenBy));
    QVERIFY(shortcut.isBound());
    QCOMPARE(portal("LastTrigger").arguments().value(0).toString(), QString("CTRL+ALT+F7"));

    portal("Press", {QString("toggle")});
    QVERIFY(activated.wait(5000));
    // Another program's shortcut of the same portal is not ours.
    portal("Press", {QString("something-else")});
    QVERIFY(!activated.wait(500));
    QCOMPARE(activated.size(), 1);
    QVERIFY(shortcut.unbind());
    QVERIFY(!shortcut.isBound());
}

void TestDesktopShortcuts::shouldRemoveOnlyThisInstallsShortcut_data()
{
    QTest::addColumn<QString>("desktop");
    QTest::newRow("GNOME") << "GNOME";
    QTest::newRow("KDE") << "KDE";
}

// An uninstall takes away the shortcut that runs its own starter; one that another install of
// the program registered (the package's, or a build elsewhere) still works afterwards.
void TestDesktopShortcuts::shouldRemoveOnlyThisInstallsShortcut()
{
    QFETCH(QString, desktop);
    std::unique_ptr<DesktopShortcut> shortcut;
    if (desktop == "GNOME" && GnomeShortcut::isAvailable())
        shortcut = std::make_unique<GnomeShortcut>();
    if (desktop == "KDE" && m_kglobalaccel.state() == QProcess::Running)
        shortcut = std::make_unique<KdeShortcut>();
    if (!shortcut)
        QSKIP("the desktop's shortcuts are not available here");
    QVERIFY(
        shortcut->bind(QKeySequence("Ctrl+Alt+K"), {"/elsewhere/bin/quiver", "--toggle"}).bound);
    QVERIFY(DesktopShortcut::removeOurs());
    QVERIFY(shortcut->isBound());
    QVERIFY(shortcut->bind(QKeySequence("Ctrl+Alt+K"), DesktopShortcut::toggleCommand()).bound);
    QVERIFY(shortcut->isBoundTo(DesktopShortcut::toggleCommand()));
    QVERIFY(DesktopShortcut::removeOurs());
    QVERIFY(!shortcut->isBound());
}

// The desktop's daemons and GSettings read their folders from the environment: set before
// anything starts.
int main(int argc, char **argv)
{
    QTemporaryDir folders;
    qputenv("XDG_CONFIG_HOME", folders.filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", folders.filePath("data").toLocal8Bit());
    qputenv("GSETTINGS_BACKEND", "keyfile");
    prepareTestEnvironment();
    QApplication app(argc, argv);
    silenceLog();
    TestDesktopShortcuts test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktopshortcuts.moc"
