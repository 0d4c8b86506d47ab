// Bad input from disk: malformed settings, cache files that are no pictures, huge skin files,
// and a data folder the program may not write. It starts, and nothing the user had is lost.
#include "Core/DataControl.h"
#include "App/Program.h"
#include "Window/FormMain.h"
#include "Icons/Form_IconSelector.h"
#include "Icons/IconLoader.h"
#include "Core/SettingsControl.h"
#include "CatalogueSupport.h"
#include "TestSupport.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QListView>
#include <QProcess>
#include <QSettings>

#include <csignal>
#include <unistd.h>

namespace {
QByteArray contents(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
} // namespace

class TestRobustness : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void shouldStartWithEveryValueMalformed();
    void shouldShowFallbacksForCacheFilesThatAreNoPictures();
    void shouldApplyDefaultsFromHugeSkinFiles_data();
    void shouldApplyDefaultsFromHugeSkinFiles();
    void shouldStartWithReadOnlyDataFolder();

private:
    std::unique_ptr<CatalogueWorkDir> m_dir;
};

void TestRobustness::initTestCase()
{
    m_dir = std::make_unique<CatalogueWorkDir>();
    QVERIFY(m_dir->isOpen());
    // Every key the program reads, with a value of the wrong kind or out of range.
    write(m_dir->path("data/config.ini"),
          "[Form]\nGeometry=@ByteArray(\\xff\\x01garbage)\nSkinName=../../etc/passwd\n"
          "IsSingleApp=maybe\nAutoUpdate=2x\nCloseThenQuit=\nThenHide=[1,2]\n"
          "FirstThenHide=@Variant(\\0\\0\\0\\x7f)\nUseRelativePath=-1\nDragEnabled=yes please\n"
          "TrayIconHide=\\xff\nTrayIconHideWithMain=0x\nTrayIconColor=not a colour\n"
          "UpdateHost=::::\nFaviconHost=http://[\n"
          "[HotKey]\nShowApp=Ctrl+Alt+Shift+Meta+NoSuchKey\n"
          "[Item]\nSingleClickRun=%%%\n"
          "[DefaultIcons]\nLost=../../../etc/hostname\nWeb=\\0\nShell=" +
              QByteArray(5000, 'x') + "\n");
}

void TestRobustness::cleanup()
{
    Notices::clear();
}

void TestRobustness::shouldStartWithEveryValueMalformed()
{
    Catalogue::exec("INSERT INTO Types(ID, Name, Row) VALUES (1, 'T', 0)");
    Catalogue::exec("INSERT INTO Groups(ID, Name, TypesID, Row) VALUES (1, 'G', 1, 0)");
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) VALUES "
                    "(1, 'web', 2, 'https://example.org', 1, 1), (2, 'sh', 3, 'ls', 1, 1)");
    Program program;
    FormMain &window = program.window();
    window.show();
    auto *items = window.findChild<QListView *>("listView_items");
    QCOMPARE(rowTexts(items->model()), (QStringList{"web", "sh"}));
    // The malformed default icons resolve to the built-in ones.
    QCOMPARE(picture(items->model()->index(0, 0).data(Qt::DecorationRole)),
             picture(QIcon(":/icon/web.svg")));
    QCOMPARE(picture(items->model()->index(1, 0).data(Qt::DecorationRole)),
             picture(QIcon(":/icon/shell.svg")));
    // A skin name pointing out of "../skins" reads nothing there: the default colours apply.
    QVERIFY(qApp->styleSheet().contains("#40b7f3"));
    QCOMPARE(window.windowOpacity(), 1.0);
}

void TestRobustness::shouldShowFallbacksForCacheFilesThatAreNoPictures()
{
    QDir().mkpath(m_dir->path("cache/caches"));
    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise += char(i * 7919 % 251);
    const QString truncatedPng = DataControl::hashName("\x89PNG\r\n\x1a\n");
    const QString random = DataControl::hashName(noise);
    write(m_dir->path("cache/caches/" + truncatedPng + ".o"), "\x89PNG\r\n\x1a\n");
    write(m_dir->path("cache/caches/" + random + ".o"), noise);
    QSqlQuery(Catalogue::iconCache())
        .exec(QStringLiteral("INSERT INTO Caches(Name, HashName, Class) VALUES ('png', '%1', "
                             "'拖拽添加'), ('noise', '%2', '提取')")
                  .arg(truncatedPng, random));
    Catalogue::exec("DELETE FROM Items");
    Catalogue::exec("UPDATE Types SET IconPath = '" + random + "'");
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, IconPath, GroupsID, TypesID) VALUES "
                    "(1, 'web', 2, 'https://example.org', '" +
                    truncatedPng + "', 1, 1)");
    SettingsControl::instance().setDefaultIcon(2, random);

    Program program;
    FormMain &window = program.window();
    window.show();
    auto *items = window.findChild<QListView *>("listView_items");
    QCOMPARE(picture(items->model()->index(0, 0).data(Qt::DecorationRole)),
             picture(QIcon(":/icon/web.svg")));
    auto *types = window.findChild<QListView *>("listView_types");
    QVERIFY(types->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());

    Form_IconSelector selector;
    selector.show();
    QCOMPARE(rowTexts(selector.findChild<QListView *>("listView_iconsDb")->model()),
             (QStringList{"取消图标", "png", "noise"}));
    SettingsControl::instance().setDefaultIcon(2, QString());
}

void TestRobustness::shouldApplyDefaultsFromHugeSkinFiles_data()
{
    QTest::addColumn<QByteArray>("skin");
    QByteArray noise(5 * 1024 * 1024, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char(i * 2654435761u >> 24);
    QTest::newRow("5 MB of noise") << noise;
    QTest::newRow("5 MB of JSON") << QByteArray(
        "{\"MainColor\":\"" + QByteArray(5 * 1024 * 1024, 'f') +
        "\",\"FontSize\":12,\"Padding\":[" + QByteArray(1000, '1') + "]}");
}

void TestRobustness::shouldApplyDefaultsFromHugeSkinFiles()
{
    QFETCH(QByteArray, skin);
    QDir().mkpath(m_dir->path("skins"));
    write(m_dir->path("skins/Huge.json"), skin);
    Program program;
    FormMain &window = program.window();
    QElapsedTimer timer;
    timer.start();
    window.onSetSkins("Huge");
    // Read once and given up on: no stall of the window.
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(qApp->styleSheet().contains("#40b7f3"));
    QCOMPARE(contents(m_dir->path("skins/Huge.json")), skin);
    window.onSetSkins(QString());
}

void TestRobustness::shouldStartWithReadOnlyDataFolder()
{
    // Folder permissions do not bind the superuser; the binary then runs as nobody.
    const bool asRoot = ::getuid() == 0;
    if (asRoot && QStandardPaths::findExecutable("setpriv").isEmpty())
        QSKIP("needs setpriv to drop the superuser's rights");
    QTemporaryDir root;
    QDir dir(root.path());
    for (const char *folder : {"bin", "data", "cache/caches", "cache/log", "skins"})
        dir.mkpath(folder);
    const QString catalogue = root.filePath("data/data.db");
    QVERIFY(QFile::copy(m_dir->path("data/data.db"), catalogue));
    write(root.filePath("data/config.ini"), "[Form]\nAutoUpdate=false\n");
    const QByteArray before = contents(catalogue);
    const QByteArray config = contents(root.filePath("data/config.ini"));
    QFile::setPermissions(root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadOther | QFile::ExeOther);
    for (const char *folder : {"bin", "cache", "cache/caches", "cache/log", "skins"}) {
        QFile::setPermissions(root.filePath(folder), QFile::Permissions(0x7777));
    }
    QFile::setPermissions(root.filePath("data"),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    for (const char *file : {"data/data.db", "data/config.ini"})
        QFile::setPermissions(root.filePath(file), QFile::ReadOwner | QFile::ReadOther);

    // The program and its widget library beside it, where nobody reaches them even when the
    // build tree lies in a folder closed to others.
    const QString binary = root.filePath("bin/Quiver");
    QVERIFY(QFile::copy(QUIVER_BINARY, binary));
    QVERIFY(QFile::copy(QUIVER_WIDGET_LIBRARY,
                        root.filePath("bin/" + QFileInfo(QUIVER_WIDGET_LIBRARY).fileName())));

    QProcess quiver;
    quiver.setWorkingDirectory(root.filePath("bin"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("LD_LIBRARY_PATH", root.filePath("bin"));
    quiver.setProcessEnvironment(env);
    if (asRoot)
        quiver.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", binary});
    else
        quiver.start(binary, QStringList());
    QVERIFY(quiver.waitForStarted());
    // Running, not ended by the read-only catalogue; then a normal quit.
    QVERIFY(!quiver.waitForFinished(3000));
    ::kill(pid_t(quiver.processId()), SIGTERM);
    QVERIFY(quiver.waitForFinished(10000));
    QCOMPARE(quiver.exitCode(), 0);
    const QByteArray log =
        contents(root.filePath("cache/log/" + QDate::currentDate().toString("yyyyMMdd") + ".log"));
    QVERIFY2(log.contains("| WARNING | config.ini 无法写入, 窗口位置未保存"), log.constData());
    QVERIFY(log.trimmed().endsWith("| INFO | 正常退出"));
    QCOMPARE(contents(catalogue), before);
    QCOMPARE(contents(root.filePath("data/config.ini")), config);
    QFile::setPermissions(root.filePath("data"), QFile::Permissions(0x7700));
}

QUIVER_TEST_MAIN(TestRobustness)
#include "tst_robustness.moc"
