// The installed launcher as a user meets it: a fresh install root, the real binary under a
// window manager, keys, clicks and drags through xdotool, and the files it leaves behind.
#include "TestSupport.h"
#include "X11Desktop.h"

#include <QDialogButtonBox>
#include <QImage>
#include <QPushButton>
#include <QTranslator>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <memory>

namespace {
// Places inside the main window (700 × 600 at first start), from its layout: the title bar
// (search box, history, "more"), the types column, the groups bar and the items area.
const QPoint searchBox(60, 17);
const QPoint historyButton(560, 17);
const QPoint moreButton(600, 17);
const QPoint typesBlank(60, 400);
const QPoint groupsBlank(650, 55);
const QPoint secondGroup(300, 55);
const QPoint itemsBlank(400, 450);
const QPoint firstItem(182, 105);
// The first row of tiles.
const QRect firstTiles(100, 60, 300, 90);
// The first entry of the search results, which fill the area below the title bar.
const QPoint firstResult(62, 66);
// Controls of the properties dialog, from its top-left corner.
const QPoint dialogName(135, 112);
const QPoint dialogOk(182, 181);

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(20000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString xdotool(const QStringList &arguments)
{
    return run(QStringLiteral("xdotool"), arguments);
}
} // namespace

class TestAcceptance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void shouldStartOnEmptyRootAndQuitCleanly();
    void shouldBuildCatalogueThroughMenusAndDialogs();
    void shouldRunItemOnDoubleClick();
    void shouldAddFileDroppedFromOutside();
    void shouldRunFromSearchAndHistory();
    void shouldKeepDraggedOrderAfterRestart();
    void shouldToggleWindowWithHotkey_data();
    void shouldToggleWindowWithHotkey();
    void shouldKeepOneInstanceOfTwentyStarts();
    void shouldPaintSkinColours();
    void shouldImportInstalledApplications();
    void shouldSpeakChineseInQtDialogs();
    void shouldRegisterWithTheDesktop();

private:
    QString root(const QString &relative = QString()) const { return m_root.filePath(relative); }
    void start();
    void quitThroughMenu();
    bool isVisible() const;
    // The program's visible windows of a kind ("POPUP_MENU", "UTILITY" for a notice).
    QStringList windowsOfType(const QString &type) const;
    // Where the window manager leaves the window once it no longer moves it.
    void waitUntilPlaced(const QString &window) const;
    // Right-clicks and waits for the context menu, so that the keys that follow go to it.
    void openMenu(const QPoint &at);
    QImage screenArea(const QRect &inWindow) const;
    // A picture of the screen beside the test results, to see what went wrong.
    void snapshot(const QString &name) const;
    void click(const QPoint &at, int button = 1, int repeat = 1) const;
    void clickIn(const QString &window, const QPoint &at) const;
    // Presses the left button at from, moves to to and lets go, in screen coordinates.
    void drag(const QPoint &from, const QPoint &to) const;
    void key(const QString &keys) const;
    void type(const QString &text) const;
    QString activeWindow() const { return xdotool({"getactivewindow"}); }
    QPoint windowPosition(const QString &window) const;
    QString query(const QString &statement) const;
    int runCount() const { return query("SELECT SUM(RunCount) FROM Items").toInt(); }

    X11Desktop m_desktop;
    QTemporaryDir m_root;
    // The desktop's applications folders, as GIO finds them: one application only.
    QTemporaryDir m_applications;
    std::unique_ptr<QProcess> m_quiver;
    QString m_window;
};

void TestAcceptance::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") ||
        QStandardPaths::findExecutable("xdotool").isEmpty())
        QSKIP("needs an X server and xdotool");
    QString reason;
    if (!m_desktop.start(false, &reason))
        QSKIP(qPrintable(reason));
    QProcess install;
    install.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    install.start("cmake", {"--install", QUIVER_BUILD_DIR, "--prefix", root()});
    QVERIFY(install.waitForFinished(60000));
    QCOMPARE(install.exitCode(), 0);
    QVERIFY(QFile::exists(root("bin/Quiver")));
    QVERIFY(QFile::exists(root("lang/qt_zh_CN.qm")));

    // The marker program double-clicks run: it counts its starts in a file and keeps the
    // environment it was given.
    QFile marker(root("files/marker.sh"));
    QDir().mkpath(root("files"));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.write(QStringLiteral("#!/bin/sh\necho ran >> %1\nenv > %2\n")
                     .arg(root("files/marker.out"), root("files/marker.env"))
                     .toUtf8());
    marker.close();
    marker.setPermissions(marker.permissions() | QFile::ExeOwner);

    QDir(m_applications.path()).mkpath("share/applications");
    QDir(m_applications.path()).mkpath("data");
    QFile application(m_applications.filePath("share/applications/quiver-acceptance.desktop"));
    QVERIFY(application.open(QIODevice::WriteOnly));
    application.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Marker\n"
                                     "Name[zh_CN]=标记\nExec=\"%1\"\nCategories=Utility;\n")
                          .arg(root("files/marker.sh"))
                          .toUtf8());
}

void TestAcceptance::cleanupTestCase()
{
    if (m_quiver && m_quiver->state() != QProcess::NotRunning) {
        m_quiver->kill();
        m_quiver->waitForFinished(5000);
    }
}

void TestAcceptance::start()
{
    m_quiver = std::make_unique<QProcess>();
    m_quiver->setWorkingDirectory(root("bin"));
    // The launcher switches Qt's OpenGL probe off and chooses X11 for itself; what it starts
    // must not inherit either, while what the user set reaches it.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_XCB_GL_INTEGRATION");
    environment.remove("QT_QPA_PLATFORM");
    environment.insert("QUIVER_USER_SETTING", "kept");
    environment.insert("XDG_DATA_HOME", m_applications.filePath("data"));
    environment.insert("XDG_DATA_DIRS", m_applications.filePath("share"));
    environment.remove("XDG_CURRENT_DESKTOP");
    m_quiver->setProcessEnvironment(environment);
    m_quiver->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_quiver->start(root("bin/Quiver"), QStringList());
    QVERIFY(m_quiver->waitForStarted());
    m_window = xdotool({"search", "--sync", "--onlyvisible", "--pid",
                        QString::number(m_quiver->processId())})
                   .section('\n', 0, 0);
    QVERIFY(!m_window.isEmpty());
    waitUntilPlaced(m_window);
}

void TestAcceptance::quitThroughMenu()
{
    // "退出" is the last entry of the "more" menu. A menu asked for while the window is still
    // being placed may not open, so the request is repeated.
    for (int attempt = 0; attempt < 3 && m_quiver->state() == QProcess::Running; ++attempt) {
        click(moreButton);
        if (!QTest::qWaitFor([this] { return !windowsOfType("POPUP_MENU").isEmpty(); }, 3000))
            continue;
        snapshot("quit-menu");
        key("Up");
        key("Return");
        m_quiver->waitForFinished(3000);
    }
    QCOMPARE(m_quiver->state(), QProcess::NotRunning);
    QCOMPARE(m_quiver->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_quiver->exitCode(), 0);
    QVERIFY(logLines(root()).last().endsWith(" | INFO | 正常退出"));
}

void TestAcceptance::snapshot(const QString &name) const
{
    QGuiApplication::primaryScreen()->grabWindow(0).save(
        QStringLiteral(QUIVER_BUILD_DIR "/Testing/acceptance-%1.png").arg(name));
}

bool TestAcceptance::isVisible() const
{
    return xdotool({"search", "--onlyvisible", "--pid", QString::number(m_quiver->processId())})
        .split('\n')
        .contains(m_window);
}

QStringList TestAcceptance::windowsOfType(const QString &type) const
{
    QStringList found;
    const QString pid = QString::number(m_quiver->processId());
    for (const QString &window :
         xdotool({"search", "--onlyvisible", "--pid", pid}).split('\n', Qt::SkipEmptyParts))
        if (run("xprop", {"-id", window, "_NET_WM_WINDOW_TYPE"})
                .contains("_NET_WM_WINDOW_TYPE_" + type))
            found << window;
    return found;
}

void TestAcceptance::waitUntilPlaced(const QString &window) const
{
    QVERIFY(waitUntilSteady([&] { return windowPosition(window); }, 300));
}

void TestAcceptance::openMenu(const QPoint &at)
{
    click(at, 3);
    QTRY_VERIFY(!windowsOfType("POPUP_MENU").isEmpty());
}

QImage TestAcceptance::screenArea(const QRect &inWindow) const
{
    const QRect area = inWindow.translated(windowPosition(m_window));
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage();
}

void TestAcceptance::click(const QPoint &at, int button, int repeat) const
{
    QVERIFY(X11Desktop::xdotool(
        {"mousemove", "--window", m_window, QString::number(at.x()), QString::number(at.y()),
         "click", "--repeat", QString::number(repeat), "--delay", "80", QString::number(button)}));
}

void TestAcceptance::clickIn(const QString &window, const QPoint &at) const
{
    QVERIFY(X11Desktop::xdotool({"mousemove", "--window", window, QString::number(at.x()),
                                 QString::number(at.y()), "click", "1"}));
}

void TestAcceptance::drag(const QPoint &from, const QPoint &to) const
{
    QVERIFY(X11Desktop::xdotool(
        {"mousemove", QString::number(from.x()), QString::number(from.y()), "mousedown", "1"}));
    // In steps, so that the drag starts and every target on the way sees it pass.
    for (int step = 1; step <= 10; ++step) {
        const QPoint at = from + (to - from) * step / 10;
        QVERIFY(
            X11Desktop::xdotool({"mousemove", QString::number(at.x()), QString::number(at.y())}));
        QTest::qWait(50);
    }
    QVERIFY(X11Desktop::xdotool({"mouseup", "1"}));
}

void TestAcceptance::key(const QString &keys) const
{
    QVERIFY(X11Desktop::xdotool({"key", "--delay", "40", keys}));
}

void TestAcceptance::type(const QString &text) const
{
    QVERIFY(X11Desktop::xdotool({"type", "--delay", "20", text}));
}

QPoint TestAcceptance::windowPosition(const QString &window) const
{
    const QStringList shell = xdotool({"getwindowgeometry", "--shell", window}).split('\n');
    QPoint position;
    for (const QString &line : shell) {
        if (line.startsWith("X="))
            position.setX(line.mid(2).toInt());
        else if (line.startsWith("Y="))
            position.setY(line.mid(2).toInt());
    }
    return position;
}

QString TestAcceptance::query(const QString &statement) const
{
    QSqlDatabase db = QSqlDatabase::database("acceptance", false);
    if (!db.isValid()) {
        db = QSqlDatabase::addDatabase("QSQLITE", "acceptance");
        db.setDatabaseName(root("data/data.db"));
    }
    db.open();
    QSqlQuery result(db);
    result.exec(statement);
    QStringList rows;
    while (result.next())
        rows << result.value(0).toString();
    return rows.join('|');
}

void TestAcceptance::shouldStartOnEmptyRootAndQuitCleanly()
{
    start();
    QTRY_VERIFY(QFile::exists(root("data/data.db")));
    QTRY_COMPARE(query("SELECT name FROM sqlite_master WHERE type = 'table' AND name IN "
                       "('Types', 'Groups', 'Items') ORDER BY name"),
                 QStringLiteral("Groups|Items|Types"));
    QVERIFY(QFileInfo(root("cache/caches")).isDir());
    QVERIFY(logLines(root()).first().endsWith(" | INFO | Quiver version:2.1.3.0"));
    // The empty catalogue brings the offer to import the installed applications, once.
    QTRY_VERIFY(!activeWindow().isEmpty() && activeWindow() != m_window);
    key("Escape");
    QTRY_COMPARE(activeWindow(), m_window);
    QCOMPARE(query("SELECT COUNT(*) FROM Types"), QStringLiteral("0"));
    quitThroughMenu();
    QVERIFY(QSettings(root("data/config.ini"), QSettings::IniFormat)
                .value("Form/ImportOffered")
                .toBool());
    QVERIFY(QSettings(root("data/config.ini"), QSettings::IniFormat).contains("Form/Geometry"));
}

void TestAcceptance::shouldBuildCatalogueThroughMenusAndDialogs()
{
    start();
    openMenu(typesBlank);
    key("Down");
    key("Return");
    QTRY_VERIFY(activeWindow() != m_window && !activeWindow().isEmpty());
    type("Tools");
    key("Return");
    QTRY_COMPARE(query("SELECT Name FROM Types"), QStringLiteral("Tools"));
    QTRY_COMPARE(query("SELECT Name FROM Groups"), QStringLiteral("默认分组"));

    openMenu(groupsBlank);
    key("Down");
    key("Return");
    QTRY_VERIFY(activeWindow() != m_window && !activeWindow().isEmpty());
    type("Work");
    key("Return");
    QTRY_COMPARE(query("SELECT Name FROM Groups ORDER BY ID"), QStringLiteral("默认分组|Work"));

    // The new group is current, so "新建" adds to it.
    openMenu(itemsBlank);
    key("Down");
    key("Return");
    QTRY_VERIFY(activeWindow() != m_window && !activeWindow().isEmpty());
    const QString dialog = activeWindow();
    clickIn(dialog, dialogName);
    type("marker");
    // From the name, Tab reaches the type box, where Down picks "文件"; then the path.
    key("Tab");
    key("Down");
    key("Tab");
    type(root("files/marker.sh"));
    clickIn(dialog, dialogOk);
    QTRY_COMPARE(query("SELECT Name || ',' || Type || ',' || Path || ',' || GroupsID FROM Items"),
                 "marker,0," + root("files/marker.sh") + ",2");
}

void TestAcceptance::shouldRunItemOnDoubleClick()
{
    click(firstItem, 1, 2);
    QTRY_COMPARE(runCount(), 1);
    QTRY_VERIFY(QFile::exists(root("files/marker.out")));
    QVERIFY(!query("SELECT RunDate FROM Items").isEmpty());
    QTRY_VERIFY(QFileInfo(root("files/marker.env")).size() > 0);
    QFile environment(root("files/marker.env"));
    QVERIFY(environment.open(QIODevice::ReadOnly));
    const QStringList variables = QString::fromUtf8(environment.readAll()).split('\n');
    QVERIFY(variables.contains("QUIVER_USER_SETTING=kept"));
    QVERIFY(variables.filter(QRegularExpression("^QT_XCB_GL_INTEGRATION=")).isEmpty());
    QVERIFY(variables.filter(QRegularExpression("^QT_QPA_PLATFORM=")).isEmpty());
}

void TestAcceptance::shouldAddFileDroppedFromOutside()
{
    QFile notes(root("files/notes.txt"));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.close();
    QProcess source;
    source.start(QUIVER_DRAG_SOURCE, {root("files/notes.txt")});
    QVERIFY(source.waitForStarted());
    const QString sourceWindow =
        xdotool({"search", "--sync", "--onlyvisible", "--name", "quiver-drag-source"});
    QVERIFY(!sourceWindow.isEmpty());
    waitUntilPlaced(sourceWindow);
    const QPoint from = windowPosition(sourceWindow) + QPoint(60, 60);
    const QPoint to = windowPosition(m_window) + itemsBlank;
    drag(from, to);
    QTRY_COMPARE(query("SELECT Name || ',' || Type || ',' || Path FROM Items WHERE ID = 2"),
                 "notes,0," + root("files/notes.txt"));
    source.kill();
    source.waitForFinished();
}

void TestAcceptance::shouldRunFromSearchAndHistory()
{
    // Results come as the name is typed; Enter starts the first.
    click(searchBox);
    type("mark");
    key("Return");
    QTRY_COMPARE(runCount(), 2);

    // The history comes with a notice of its own.
    const QStringList notices = windowsOfType("UTILITY");
    click(historyButton);
    const auto noticeAdded = [&] {
        const QStringList shown = windowsOfType("UTILITY");
        return std::any_of(shown.cbegin(), shown.cend(),
                           [&](const QString &window) { return !notices.contains(window); });
    };
    QTRY_VERIFY(noticeAdded());
    click(firstResult, 1, 2);
    QTRY_COMPARE(runCount(), 3);
}

void TestAcceptance::shouldKeepDraggedOrderAfterRestart()
{
    quitThroughMenu();
    start();
    // Every start shows the first group, which is empty.
    const QImage empty = screenArea(firstTiles);
    click(secondGroup);
    QTRY_VERIFY(screenArea(firstTiles) != empty);
    snapshot("before-reorder");
    // The second tile, dragged onto the first, goes before it.
    const QPoint from = windowPosition(m_window) + firstItem + QPoint(110, 0);
    const QPoint to = windowPosition(m_window) + firstItem - QPoint(30, 0);
    drag(from, to);
    snapshot("reordered");
    QTRY_COMPARE(query("SELECT Name FROM Items WHERE GroupsID = 2 ORDER BY Row"),
                 QStringLiteral("notes|marker"));
    quitThroughMenu();
    start();
    QCOMPARE(query("SELECT Name FROM Items WHERE GroupsID = 2 ORDER BY Row"),
             QStringLiteral("notes|marker"));
    // The marker is now the second tile.
    const QImage emptyAgain = screenArea(firstTiles);
    click(secondGroup);
    QTRY_VERIFY(screenArea(firstTiles) != emptyAgain);
    click(firstItem + QPoint(110, 0), 1, 2);
    QTRY_COMPARE(runCount(), 4);
}

void TestAcceptance::shouldToggleWindowWithHotkey_data()
{
    QTest::addColumn<bool>("numLock");
    QTest::newRow("NumLock off") << false;
    QTest::newRow("NumLock on") << true;
}

void TestAcceptance::shouldToggleWindowWithHotkey()
{
    QFETCH(bool, numLock);
    if (QTest::currentDataTag() == QLatin1String("NumLock off")) {
        quitThroughMenu();
        QSettings config(root("data/config.ini"), QSettings::IniFormat);
        config.setValue("HotKey/ShowApp", "Alt+Q");
        config.sync();
        start();
    }
    if (numLock)
        key("Num_Lock");
    key("alt+q");
    QTRY_VERIFY(!isVisible());
    key("alt+q");
    QTRY_VERIFY(isVisible());
    QTRY_COMPARE(activeWindow(), m_window);
    if (numLock)
        key("Num_Lock");
}

void TestAcceptance::shouldKeepOneInstanceOfTwentyStarts()
{
    quitThroughMenu();
    QSettings config(root("data/config.ini"), QSettings::IniFormat);
    config.setValue("Form/IsSingleApp", true);
    config.sync();
    start();
    std::vector<std::unique_ptr<QProcess>> others;
    for (int i = 0; i < 20; ++i) {
        others.push_back(std::make_unique<QProcess>());
        others.back()->setWorkingDirectory(root("bin"));
        others.back()->start(root("bin/Quiver"), QStringList());
    }
    for (const auto &other : others)
        QVERIFY(other->waitForFinished(20000));
    QCOMPARE(run("pgrep", {"-c", "-f", root("bin/Quiver")}), QStringLiteral("1"));
    QCOMPARE(m_quiver->state(), QProcess::Running);
    QVERIFY(isVisible());
}

void TestAcceptance::shouldPaintSkinColours()
{
    const auto pixel = [this] {
        const QPoint at = windowPosition(m_window) + itemsBlank;
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, at.x(), at.y(), 1, 1)
            .toImage()
            .pixelColor(0, 0);
    };
    QCOMPARE(pixel(), QColor(Qt::white));
    quitThroughMenu();
    QDir().mkpath(root("skins"));
    QFile skin(root("skins/Red.json"));
    QVERIFY(skin.open(QIODevice::WriteOnly));
    skin.write(R"({"MainBgColor":"#c80000","FontColor":"#ffffff"})");
    skin.close();
    QSettings config(root("data/config.ini"), QSettings::IniFormat);
    config.setValue("Form/SkinName", "Red");
    config.sync();
    start();
    QTRY_COMPARE(pixel(), QColor(0xc8, 0, 0));
    quitThroughMenu();
}

void TestAcceptance::shouldImportInstalledApplications()
{
    start();
    // "导入应用程序" is the second entry of the types column's menu.
    openMenu(typesBlank);
    key("Down");
    key("Down");
    key("Return");
    QTRY_COMPARE(query("SELECT Name || '|' || Path FROM Items WHERE Path LIKE "
                       "'%quiver-acceptance.desktop'"),
                 "标记|" + m_applications.filePath("share/applications/quiver-acceptance.desktop"));
    QCOMPARE(query("SELECT Name FROM Groups WHERE TypesID = (SELECT ID FROM Types WHERE Name = "
                   "'应用程序')"),
             QStringLiteral("工具"));
    quitThroughMenu();
}

// Debian's qt_zh_CN.qm only names other catalogues: installed alone it loads nothing.
void TestAcceptance::shouldSpeakChineseInQtDialogs()
{
    QTranslator translator;
    QVERIFY(translator.load(root("lang/qt_zh_CN.qm")));
    QCoreApplication::installTranslator(&translator);
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                             QDialogButtonBox::Yes | QDialogButtonBox::No);
    QStringList texts;
    for (const auto which : {QDialogButtonBox::Ok, QDialogButtonBox::Cancel, QDialogButtonBox::Yes,
                             QDialogButtonBox::No})
        texts << buttons.button(which)->text().remove('&').section('(', 0, 0);
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(texts, (QStringList{"确定", "取消", "是", "否"}));
}

void TestAcceptance::shouldRegisterWithTheDesktop()
{
    if (QStandardPaths::findExecutable("desktop-file-validate").isEmpty())
        QSKIP("needs desktop-file-validate (desktop-file-utils)");
    QTemporaryDir data;
    QProcess registering;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", data.path());
    registering.setProcessEnvironment(environment);
    registering.setProcessChannelMode(QProcess::ForwardedChannels);
    registering.start("bash", {QStringLiteral(QUIVER_SOURCE_DIR "/scripts/register.sh"), root()});
    QVERIFY(registering.waitForFinished(30000));
    QCOMPARE(registering.exitCode(), 0);
    const QString entry = data.filePath("applications/quiver.desktop");
    QProcess validate;
    validate.start("desktop-file-validate", {entry});
    QVERIFY(validate.waitForFinished(10000));
    QVERIFY2(validate.exitCode() == 0 && validate.readAllStandardOutput().isEmpty(),
             validate.readAllStandardOutput().constData());
    QSettings read(entry, QSettings::IniFormat);
    QCOMPARE(read.value("Desktop Entry/Path").toString(), root("bin"));
    for (const char *icon : {"48x48/apps/quiver.png", "64x64/apps/quiver.png",
                             "128x128/apps/quiver.png", "scalable/apps/quiver.svg"})
        QVERIFY2(QFile::exists(data.filePath(QStringLiteral("icons/hicolor/") + icon)), icon);
    QCOMPARE(QImage(data.filePath("icons/hicolor/64x64/apps/quiver.png")).size(), QSize(64, 64));
}

QTEST_MAIN(TestAcceptance)
#include "tst_acceptance.moc"
