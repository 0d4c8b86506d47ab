#include "Settings/AutostartEntry.h"
#include "App/Program.h"
#include "Window/FormMain.h"
#include "Core/SettingsControl.h"
#include "TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>

#include <memory>

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#pragma pop_macro("signals")

// "开机启动" through the settings store, as the settings window sets it. QStandardPaths' test
// mode keeps the entry out of the user's real autostart folder.
class TestAutostart : public QObject
{
    Q_OBJECT

private slots:
    void shouldCreateAndRemoveEntry();
    void shouldStartThroughTheStarter_data();
    void shouldStartThroughTheStarter();
    void shouldStartFromFolderOfAnyName();
};

void TestAutostart::shouldCreateAndRemoveEntry()
{
    TestWorkDir dir;
    Program program;
    SettingsControl &settings = SettingsControl::instance();
    QFile::remove(AutostartEntry::fileName());
    QSignalSpy results(&settings, &SettingsControl::result);
    // No starter anywhere: the entry runs the program itself.
    EnvironmentGuard environment;
    environment.set("PATH", dir.path("bin").toLocal8Bit());

    settings.setStartUp(true);
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.takeFirst().at(0).toBool(), true);
    QVERIFY(AutostartEntry::fileName().contains("/autostart/"));
    QSettings entry(AutostartEntry::fileName(), QSettings::IniFormat);
    entry.beginGroup("Desktop Entry");
    QCOMPARE(entry.value("Type").toString(), QStringLiteral("Application"));
    QFile text(AutostartEntry::fileName());
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QString lines = QString::fromUtf8(text.readAll());
    QVERIFY(lines.startsWith("[Desktop Entry]\n"));
    QVERIFY(lines.contains("\nExec=\"" + QCoreApplication::applicationFilePath() + "\"\n"));
    QCOMPARE(entry.value("Path").toString(), QDir::currentPath());
    QCOMPARE(settings.isStartUp(), true);

    // An entry that is already there is not overwritten: the change is reported as failed.
    settings.setStartUp(true);
    QCOMPARE(results.takeFirst().at(0).toBool(), false);

    settings.setStartUp(false);
    QCOMPARE(results.takeFirst().at(0).toBool(), true);
    QVERIFY(!QFile::exists(AutostartEntry::fileName()));
    settings.setStartUp(false);
    QCOMPARE(results.takeFirst().at(0).toBool(), false);
}

// The session starts us through the starter, here the one on PATH as the package's
// /usr/bin/quiver is: the package's program itself is gone with the package. GIO looks for the
// program of Exec by its path as written, "%%" and all, so a starter whose path holds "%" would
// never start: such an entry is refused.
void TestAutostart::shouldStartThroughTheStarter_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("startable");
    QTest::newRow("plain folder") << "starters" << true;
    QTest::newRow("folder with %") << "100% sure" << false;
}

void TestAutostart::shouldStartThroughTheStarter()
{
    QFETCH(QString, folder);
    QFETCH(bool, startable);
    TestWorkDir dir;
    const QString starter = dir.path(folder + "/quiver");
    const QString marker = dir.path("started.out");
    QVERIFY(QDir().mkpath(dir.path(folder)));
    QFile script(starter);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\n{ pwd; echo \"$#\"; } > '%1'\n").arg(marker).toUtf8());
    script.close();
    QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));
    EnvironmentGuard environment;
    environment.set("PATH", dir.path(folder).toLocal8Bit());
    QFile::remove(AutostartEntry::fileName());

    QCOMPARE(AutostartEntry::create(), startable);
    if (!startable) {
        QVERIFY(!QFile::exists(AutostartEntry::fileName()));
        return;
    }
    GDesktopAppInfo *info =
        g_desktop_app_info_new_from_filename(AutostartEntry::fileName().toLocal8Bit().constData());
    QVERIFY(info);
    // What GIO runs, read before it runs it: anything else here would be this test again.
    char **argv = nullptr;
    QString executable;
    if (g_shell_parse_argv(g_app_info_get_commandline(G_APP_INFO(info)), nullptr, &argv, nullptr))
        executable = QString::fromLocal8Bit(argv[0]);
    g_strfreev(argv);
    GError *error = nullptr;
    const bool launched =
        executable == starter && g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, &error);
    g_object_unref(info);
    QFile::remove(AutostartEntry::fileName());
    QCOMPARE(executable, starter);
    QVERIFY2(launched, error ? error->message : "");
    QTRY_VERIFY(QFileInfo(marker).size() > 0);
    QFile out(marker);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(out.readAll()), dir.path("bin") + "\n0\n");
}

// The entry is read by the session with GIO: it must start the program, however its folder is
// named, in that folder. Quotes, "$", "`" and backslashes each have a meaning in an entry.
void TestAutostart::shouldStartFromFolderOfAnyName()
{
    TestWorkDir dir;
    const QString folder = dir.path(QStringLiteral(" odd \"dir\" $HOME `id` \\ back"));
    QVERIFY(QDir().mkpath(folder));
    const QString program = folder + QStringLiteral("/run me.sh");
    const QString marker = dir.path("started.out");
    QFile script(program);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\n{ pwd; echo \"$0\"; echo \"$#\"; } > '%1'\n")
                     .arg(marker)
                     .toUtf8());
    script.close();
    QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));

    const QString entry = dir.path("quiver-autostart-test.desktop");
    QFile file(entry);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(AutostartEntry::text(program, folder).toUtf8());
    file.close();
    if (!QStandardPaths::findExecutable("desktop-file-validate").isEmpty()) {
        QProcess validate;
        validate.start("desktop-file-validate", {entry});
        QVERIFY(validate.waitForFinished());
        QVERIFY2(validate.exitCode() == 0, validate.readAllStandardOutput().constData());
    }

    GDesktopAppInfo *info = g_desktop_app_info_new_from_filename(entry.toLocal8Bit().constData());
    QVERIFY(info);
    GError *error = nullptr;
    const bool launched = g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, &error);
    g_object_unref(info);
    QVERIFY2(launched, error ? error->message : "");
    QTRY_VERIFY(QFileInfo(marker).size() > 0);
    QFile out(marker);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(out.readAll()).split('\n', Qt::SkipEmptyParts),
             (QStringList{folder, program, "0"}));
}

QUIVER_TEST_MAIN(TestAutostart)
#include "tst_autostart.moc"
