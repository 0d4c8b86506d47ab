#include "Core/SettingsControl.h"
#include "TestSupport.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>

#include <functional>

Q_DECLARE_METATYPE(std::function<void(SettingsControl &)>)

using Setter = std::function<void(SettingsControl &)>;

class TestSettingsControl : public QObject
{
    Q_OBJECT

private slots:
    void shouldGiveDefaultsWithoutFile();
    void shouldHandOverUnlessTheFileSaysNot_data();
    void shouldHandOverUnlessTheFileSaysNot();
    void shouldWriteKeyAndEmitInOrder_data();
    void shouldWriteKeyAndEmitInOrder();
    void shouldCacheBeforeWriting();
    void shouldStoreTrayColourAsHexName();
    void shouldStoreDefaultIconsOnlyForKnownTypes();
    void shouldReportFailedWrite();
    void shouldJudgeEveryWriteOnItsOwn();
    void shouldWriteAgainOnceTheDiskAllows();
    void shouldRefuseColourThatIsNone();
};

void TestSettingsControl::shouldGiveDefaultsWithoutFile()
{
    TestWorkDir dir;
    SettingsControl settings;
    settings.readCaches();
    QVERIFY(settings.isSingleApp());
    QVERIFY(!settings.isAppRunThenHide());
    QVERIFY(settings.isAutoUpdate());
    QVERIFY(settings.isDragEnabled());
    QCOMPARE(settings.showHotkey(), QString());
    QCOMPARE(settings.trayIconColor(), QColor(Qt::white));
    QVERIFY(!settings.isSingleClickRun());
    QVERIFY(!settings.isThenHide());
    QVERIFY(!settings.isCloseThenQuit());
    QVERIFY(!settings.isUseRelativePath());
    QVERIFY(!settings.isTrayIconHide());
    QVERIFY(!settings.isTrayIconHideWithMain());
    QVERIFY(settings.isIconLoadEnabled());
    QVERIFY(!settings.isTimeMonitoring());
    // Reading must not create the file.
    QVERIFY(!QFile::exists(dir.path("data/config.ini")));
}

void TestSettingsControl::shouldHandOverUnlessTheFileSaysNot_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("single");
    // Earlier versions wrote the key only when the box was clicked.
    QTest::newRow("older file without the key") << QByteArray("[Form]\nThenHide=true\n") << true;
    QTest::newRow("file that says false") << QByteArray("[Form]\nIsSingleApp=false\n") << false;
}

// Two instances on one catalogue would each overwrite the other's changes.
void TestSettingsControl::shouldHandOverUnlessTheFileSaysNot()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, single);
    TestWorkDir dir;
    QDir(dir.path(QString())).mkpath("data");
    QVERIFY(dir.write("data/config.ini", file));
    QCOMPARE(SettingsControl().isSingleApp(), single);
}

void TestSettingsControl::shouldWriteKeyAndEmitInOrder_data()
{
    QTest::addColumn<Setter>("setter");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QStringList>("signals_");

    const QStringList onlyResult{"result"};
    QTest::newRow("drag") << Setter([](SettingsControl &s) { s.setDragEnabled(false); })
                          << "Item/DragEnabled" << QVariant(false)
                          << QStringList{"dragEnabledChanged", "result"};
    QTest::newRow("singleClick") << Setter([](SettingsControl &s) { s.setSingleClickRun(true); })
                                 << "Item/SingleClickRun" << QVariant(true)
                                 << QStringList{"itemClickChanged", "result"};
    QTest::newRow("autoUpdate") << Setter([](SettingsControl &s) { s.setAutoUpdate(false); })
                                << "Form/AutoUpdate" << QVariant(false) << onlyResult;
    QTest::newRow("singleApp") << Setter([](SettingsControl &s) { s.setSingleApp(true); })
                               << "Form/IsSingleApp" << QVariant(true) << onlyResult;
    QTest::newRow("startUp") << Setter([](SettingsControl &s) { s.setStartUp(true); })
                             << "Form/StartUp" << QVariant(true)
                             << QStringList{"startUpWithSystem"};
    QTest::newRow("thenHide") << Setter([](SettingsControl &s) { s.setThenHide(true); })
                              << "Form/ThenHide" << QVariant(true) << onlyResult;
    QTest::newRow("trayColor") << Setter([](SettingsControl &s) {
        s.setTrayIconColor(QColor(Qt::red));
    }) << "Form/TrayIconColor" << QVariant("#ff0000")
                               << QStringList{"trayIconColorChanged", "result"};
    QTest::newRow("hideWithMain") << Setter([](SettingsControl &s) {
        s.setTrayIconHideWithMain(true);
    }) << "Form/TrayIconHideWithMain"
                                  << QVariant(true) << onlyResult;
    QTest::newRow("trayHide") << Setter([](SettingsControl &s) { s.setTrayIconHide(true); })
                              << "Form/TrayIconHide" << QVariant(true)
                              << QStringList{"trayIconHideChanged", "result"};
    QTest::newRow("runThenHide") << Setter([](SettingsControl &s) { s.setAppRunThenHide(true); })
                                 << "Form/AppRunThenHide" << QVariant(true) << onlyResult;
    QTest::newRow("hotkey") << Setter([](SettingsControl &s) { s.setShowHotkey("Ctrl+Alt+Q"); })
                            << "HotKey/ShowApp" << QVariant("Ctrl+Alt+Q")
                            << QStringList{"showHotkeyChanged"};
    QTest::newRow("closeQuit") << Setter([](SettingsControl &s) { s.setCloseThenQuit(true); })
                               << "Form/CloseThenQuit" << QVariant(true) << onlyResult;
    QTest::newRow("relative") << Setter([](SettingsControl &s) { s.setUseRelativePath(true); })
                              << "Form/UseRelativePath" << QVariant(true) << onlyResult;
    QTest::newRow("skin") << Setter([](SettingsControl &s) { s.setSkin("暗夜"); })
                          << "Form/SkinName" << QVariant("暗夜") << onlyResult;
}

void TestSettingsControl::shouldWriteKeyAndEmitInOrder()
{
    QFETCH(Setter, setter);
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(QStringList, signals_);

    TestWorkDir dir;
    SettingsControl settings;
    QStringList emitted;
    QList<bool> results;
    const auto record = [&emitted](const char *name) {
        return [&emitted, name] {
            emitted << name;
        };
    };
    connect(&settings, &SettingsControl::dragEnabledChanged, this, record("dragEnabledChanged"));
    connect(&settings, &SettingsControl::itemClickChanged, this, record("itemClickChanged"));
    connect(&settings, &SettingsControl::startUpWithSystem, this, record("startUpWithSystem"));
    connect(&settings, &SettingsControl::trayIconColorChanged, this,
            record("trayIconColorChanged"));
    connect(&settings, &SettingsControl::trayIconHideChanged, this, record("trayIconHideChanged"));
    connect(&settings, &SettingsControl::showHotkeyChanged, this, record("showHotkeyChanged"));
    connect(&settings, &SettingsControl::result, this, [&](bool ok) {
        emitted << "result";
        results << ok;
    });

    setter(settings);

    QCOMPARE(emitted, signals_);
    for (bool ok : qAsConst(results))
        QVERIFY(ok);
    // Written through to disk at once, readable by another reader of the file.
    QSettings file(dir.path("data/config.ini"), QSettings::IniFormat);
    QCOMPARE(file.value(key).toString(), stored.toString());
}

void TestSettingsControl::shouldCacheBeforeWriting()
{
    TestWorkDir dir;
    SettingsControl settings;
    bool cachedWhenSignalled = false;
    connect(&settings, &SettingsControl::itemClickChanged, this,
            [&] { cachedWhenSignalled = settings.isSingleClickRun(); });
    settings.setSingleClickRun(true);
    QVERIFY(cachedWhenSignalled);
    settings.setThenHide(true);
    settings.setCloseThenQuit(true);
    settings.setUseRelativePath(true);
    settings.setTrayIconHide(true);
    settings.setTrayIconHideWithMain(true);
    QVERIFY(settings.isThenHide() && settings.isCloseThenQuit() && settings.isUseRelativePath());
    QVERIFY(settings.isTrayIconHide() && settings.isTrayIconHideWithMain());

    // A second store on the same file starts from what was written.
    SettingsControl reread;
    reread.readCaches();
    QVERIFY(reread.isSingleClickRun() && reread.isThenHide() && reread.isTrayIconHideWithMain());
}

void TestSettingsControl::shouldStoreTrayColourAsHexName()
{
    TestWorkDir dir;
    SettingsControl settings;
    const auto stored = [&dir] {
        return QSettings(dir.path("data/config.ini"), QSettings::IniFormat)
            .value("Form/TrayIconColor")
            .toString();
    };
    settings.setTrayIconColor(QColor("white"));
    QCOMPARE(stored(), QStringLiteral("#ffffff"));
    settings.setTrayIconColor(QColor(QStringLiteral("#80ff0000")));
    QCOMPARE(stored(), QStringLiteral("#ff0000"));
}

void TestSettingsControl::shouldStoreDefaultIconsOnlyForKnownTypes()
{
    TestWorkDir dir;
    SettingsControl settings;
    const QString hash(40, QLatin1Char('a'));
    settings.setDefaultIcon(-1, hash);
    settings.setDefaultIcon(2, hash);
    settings.setDefaultIcon(3, hash);
    settings.sync();
    QFile file(dir.path("data/config.ini"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    settings.setDefaultIcon(0, hash);
    settings.setDefaultIcon(1, hash);
    settings.setDefaultIcon(4, hash);
    settings.sync();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);

    QSettings reader(dir.path("data/config.ini"), QSettings::IniFormat);
    QCOMPARE(reader.value("DefaultIcons/Lost").toString(), hash);
    QCOMPARE(reader.value("DefaultIcons/Web").toString(), hash);
    QCOMPARE(reader.value("DefaultIcons/Shell").toString(), hash);
    QCOMPARE(reader.childGroups(), QStringList{"DefaultIcons"});
}

// A settings change that cannot reach the disk must not be confirmed as done.
void TestSettingsControl::shouldReportFailedWrite()
{
    TestWorkDir dir;
    // "data" is a file, so "../data/config.ini" can never be written.
    QFile blocker(dir.path("data"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsControl settings;
    QSignalSpy results(&settings, &SettingsControl::result);
    settings.setThenHide(true);
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.at(0).at(0).toBool(), false);
    QVERIFY(settings.isThenHide());
}

// QSettings keeps the first error it meets: one malformed line, or one write that failed,
// would otherwise turn every later change into "设置失败！".
void TestSettingsControl::shouldJudgeEveryWriteOnItsOwn()
{
    TestWorkDir dir;
    QDir(dir.path(QString())).mkpath("data");
    QFile ini(dir.path("data/config.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Form]\nThenHide=true\nthis line is no setting\n[broken\n");
    ini.close();
    SettingsControl settings;
    QSignalSpy results(&settings, &SettingsControl::result);
    settings.setThenHide(false);
    QCOMPARE(results.takeFirst().at(0).toBool(), true);
    QCOMPARE(QSettings(ini.fileName(), QSettings::IniFormat).value("Form/ThenHide").toBool(),
             false);
}

void TestSettingsControl::shouldWriteAgainOnceTheDiskAllows()
{
    TestWorkDir dir;
    // "data" is a file at first, so "../data/config.ini" cannot be written.
    QFile blocker(dir.path("data"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsControl settings;
    QSignalSpy results(&settings, &SettingsControl::result);
    settings.setCloseThenQuit(true);
    QCOMPARE(results.takeFirst().at(0).toBool(), false);
    QVERIFY(blocker.remove());
    QVERIFY(QDir(dir.path(QString())).mkpath("data"));
    settings.setUseRelativePath(true);
    QCOMPARE(results.takeFirst().at(0).toBool(), true);
    QCOMPARE(QSettings(dir.path("data/config.ini"), QSettings::IniFormat)
                 .value("Form/UseRelativePath")
                 .toBool(),
             true);
}

void TestSettingsControl::shouldRefuseColourThatIsNone()
{
    TestWorkDir dir;
    SettingsControl settings;
    settings.setTrayIconColor(QColor("#00ff00"));
    QSignalSpy results(&settings, &SettingsControl::result);
    QSignalSpy changed(&settings, &SettingsControl::trayIconColorChanged);
    // What a half-typed "#12" gives.
    settings.setTrayIconColor(QColor(QStringLiteral("#12")));
    QCOMPARE(results.takeFirst().at(0).toBool(), false);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(settings.trayIconColor(), QColor(QStringLiteral("#00ff00")));
}

QUIVER_TEST_MAIN(TestSettingsControl)
#include "tst_settingscontrol.moc"
