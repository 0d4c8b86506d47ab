#include "AutostartEntry.h"
#include "FormMain.h"
#include "SettingsControl.h"
#include "TestSupport.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>

#include <memory>

// "开机启动" through the settings store, as the settings window sets it. QStandardPaths' test
// mode keeps the entry out of the user's real autostart folder.
class TestAutostart : public QObject
{
    Q_OBJECT

private slots:
    void shouldCreateAndRemoveEntry();
};

void TestAutostart::shouldCreateAndRemoveEntry()
{
    TestWorkDir dir;
    FormMain window;
    SettingsControl &settings = SettingsControl::instance();
    QFile::remove(AutostartEntry::fileName());
    QSignalSpy results(&settings, &SettingsControl::result);

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
    QCOMPARE(settings.value("Form/StartUp").toBool(), true);

    // An entry that is already there is not overwritten: the change is reported as failed.
    settings.setStartUp(true);
    QCOMPARE(results.takeFirst().at(0).toBool(), false);

    settings.setStartUp(false);
    QCOMPARE(results.takeFirst().at(0).toBool(), true);
    QVERIFY(!QFile::exists(AutostartEntry::fileName()));
    settings.setStartUp(false);
    QCOMPARE(results.takeFirst().at(0).toBool(), false);
}

QUIVER_TEST_MAIN(TestAutostart)
#include "tst_autostart.moc"
