#include "Core/DataControl.h"
#include "Icons/IconLoader.h"
#include "Core/SettingsControl.h"
#include "TestSupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QPainter>
#include <QScopeGuard>
#include <QTemporaryDir>

namespace {
QImage rendered(const QIcon &icon)
{
    return icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Stores a flat-coloured PNG in the icon cache and returns its hash name.
QString cacheColour(const QColor &colour)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    const QString hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
    QFile file(DataControl::cacheFileName(hash));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return hash;
}
} // namespace

class TestIconLoader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void shouldRecolourEveryPath();
    void shouldGiveNullPixmapForMissingFiles();
    void shouldKeepCachedIconsSmall_data();
    void shouldKeepCachedIconsSmall();
    void shouldFallBackByItemType_data();
    void shouldFallBackByItemType();
    void shouldUseConfiguredDefaults_data();
    void shouldUseConfiguredDefaults();
    void shouldShowTheThemesIconOfEachKind_data();
    void shouldShowTheThemesIconOfEachKind();

private:
    std::unique_ptr<TestWorkDir> m_dir;
};

void TestIconLoader::initTestCase()
{
    m_dir = std::make_unique<TestWorkDir>();
    QDir(m_dir->path(QString())).mkpath("cache/caches");
}

void TestIconLoader::shouldRecolourEveryPath()
{
    QFile svg(m_dir->path("shapes.svg"));
    QVERIFY(svg.open(QIODevice::WriteOnly));
    svg.write("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20\" height=\"10\">"
              "<path fill=\"#000000\" d=\"M0 0h10v10H0z\"/>"
              "<g><g><path fill=\"#000000\" d=\"M10 0h10v10H10z\"/></g></g></svg>");
    svg.close();
    const QImage image =
        IconLoader::instance().svgToPixmap(svg.fileName(), "#ff0000", "fill").toImage();
    QCOMPARE(image.size(), QSize(20, 10));
    QCOMPARE(image.pixelColor(5, 5), QColor("#ff0000"));
    QCOMPARE(image.pixelColor(15, 5), QColor("#ff0000"));

    // Every built-in title-bar icon is recolourable: its shapes are paths.
    const QImage close =
        IconLoader::instance().svgToPixmap(":/icon/close.svg", "#00ff00", "stroke").toImage();
    QVERIFY(!close.isNull());
    bool green = false;
    for (int x = 0; x < close.width() && !green; ++x)
        green = close.pixelColor(x, x).green() > 200 && close.pixelColor(x, x).red() < 50;
    QVERIFY(green);
}

void TestIconLoader::shouldGiveNullPixmapForMissingFiles()
{
    const IconLoader &icons = IconLoader::instance();
    QVERIFY(icons.svgToPixmap(m_dir->path("none.svg"), "#fff", "fill").isNull());
    QVERIFY(icons.loadPixmap(m_dir->path("none.png")).isNull());
    QVERIFY(icons.loadPixmap(m_dir->path("none.png"), QSize(16, 16)).isNull());
    QFile garbage(m_dir->path("garbage.o"));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("not an image at all");
    garbage.close();
    QVERIFY(icons.loadPixmap(garbage.fileName()).isNull());
    QCOMPARE(icons.loadPixmap(":/icon/web.svg", QSize(20, 20)).size(), QSize(20, 20));
}

void TestIconLoader::shouldKeepCachedIconsSmall_data()
{
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<QSize>("kept");
    QTest::newRow("an icon as it is") << QSize(48, 48) << QSize(48, 48);
    QTest::newRow("a photo, wide") << QSize(3000, 1500) << QSize(256, 128);
    QTest::newRow("a photo, tall") << QSize(400, 800) << QSize(128, 256);
}

// Every decoded cache icon stays for the whole run: a photo added as an icon must not stay
// there at its full size.
void TestIconLoader::shouldKeepCachedIconsSmall()
{
    QFETCH(QSize, stored);
    QFETCH(QSize, kept);
    const QString hash = QStringLiteral("size%1x%2").arg(stored.width()).arg(stored.height());
    QImage image(stored, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QVERIFY(image.save(DataControl::cacheFileName(hash), "PNG"));
    const QIcon icon = IconLoader::instance().cacheIcon(hash);
    QCOMPARE(icon.availableSizes(), QList<QSize>{kept});
    QCOMPARE(icon.pixmap(kept).toImage().pixelColor(kept.width() / 2, kept.height() / 2),
             QColor(Qt::blue));
}

void TestIconLoader::shouldFallBackByItemType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing file") << 0 << "/no/such/file"
                                  << ":/icon/lost.svg";
    QTest::newRow("missing folder") << 1 << "/no/such/folder"
                                    << ":/icon/lost.svg";
    QTest::newRow("web") << 2 << "https://example.org"
                         << ":/icon/web.svg";
    QTest::newRow("shell") << 3 << "xterm"
                           << ":/icon/shell.svg";
}

void TestIconLoader::shouldFallBackByItemType()
{
    QFETCH(int, type);
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(rendered(IconLoader::instance().itemIcon(type, path)), rendered(QIcon(expected)));
}

void TestIconLoader::shouldUseConfiguredDefaults_data()
{
    // The item type whose default icon the settings name (-1: a lost item's).
    QTest::addColumn<int>("iconOf");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("builtIn");
    QTest::newRow("lost") << -1 << 0 << "/no/such/file"
                          << ":/icon/lost.svg";
    QTest::newRow("web") << 2 << 2 << "https://example.org"
                         << ":/icon/web.svg";
    QTest::newRow("shell") << 3 << 3 << "xterm"
                           << ":/icon/shell.svg";
}

void TestIconLoader::shouldUseConfiguredDefaults()
{
    QFETCH(int, iconOf);
    QFETCH(int, type);
    QFETCH(QString, path);
    QFETCH(QString, builtIn);
    SettingsControl &settings = SettingsControl::instance();
    const IconLoader &icons = IconLoader::instance();

    // A key naming no cache file keeps the built-in icon.
    settings.setDefaultIcon(iconOf, QString(40, 'e'));
    QCOMPARE(rendered(icons.itemIcon(type, path)), rendered(QIcon(builtIn)));

    settings.setDefaultIcon(iconOf, cacheColour(Qt::red));
    QCOMPARE(rendered(icons.itemIcon(type, path)).pixelColor(16, 16), QColor(Qt::red));
    settings.setDefaultIcon(iconOf, QString());

    // An existing file shows the platform's icon instead of the lost one.
    QVERIFY(!icons.itemIcon(0, m_dir->path("shapes.svg")).isNull());
    QVERIFY(!icons.itemIcon(1, m_dir->path("cache")).isNull());
    QVERIFY(icons.itemIcon(4, path).isNull());
    QVERIFY(icons.itemIcon(-1, path).isNull());
}

void TestIconLoader::shouldShowTheThemesIconOfEachKind_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QColor>("colour");
    // The kind is the suffix's, whichever file of it came first: one that a whole name makes a
    // kind of its own shows as its suffix, and the files after it as theirs.
    QTest::newRow("named by its whole name, first") << "CMakeLists.txt" << false << QColor(Qt::red);
    // The kind is the name's: a text file with the executable bit, or holding a picture, is
    // still a text file.
    QTest::newRow("text") << "notes.txt" << false << QColor(Qt::red);
    QTest::newRow("another text") << "other.txt" << false << QColor(Qt::red);
    QTest::newRow("text with a picture inside") << "shapes.txt" << false << QColor(Qt::red);
    QTest::newRow("double suffix") << "backup.tar.gz" << false << QColor(Qt::blue);
    QTest::newRow("its last part alone") << "plain.gz" << false << QColor(Qt::magenta);
    QTest::newRow("a date in the name") << "scan 2024.05.01.txt" << false << QColor(Qt::red);
    QTest::newRow("a version in the name") << "v1.2 notes.txt" << false << QColor(Qt::red);
    QTest::newRow("a dotted name before a double suffix")
        << "site.2024.05.tar.gz" << false << QColor(Qt::blue);
    QTest::newRow("generic icon of the type") << "chart.svg" << false << QColor(Qt::yellow);
    QTest::newRow("folder") << "place" << true << QColor(Qt::green);
    QTest::newRow("no icon in the theme") << "data.quiver-unknown" << false << QColor();
}

void TestIconLoader::shouldShowTheThemesIconOfEachKind()
{
    QFETCH(QString, file);
    QFETCH(bool, folder);
    QFETCH(QColor, colour);
    // A theme of the test's own, of one-coloured icons.
    QTemporaryDir themes;
    const auto icon = [&](const QString &name, const QColor &fill) {
        QImage image(32, 32, QImage::Format_ARGB32);
        image.fill(fill);
        QDir().mkpath(themes.filePath("quivertest/32x32/mimetypes"));
        QVERIFY(image.save(themes.filePath("quivertest/32x32/mimetypes/" + name + ".png")));
    };
    QFile index(themes.filePath("quivertest/index.theme"));
    QDir().mkpath(themes.filePath("quivertest"));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=Quiver test\nDirectories=32x32/mimetypes\n\n"
                "[32x32/mimetypes]\nSize=32\nType=Fixed\n");
    index.close();
    icon("text-plain", Qt::red);
    icon("application-x-compressed-tar", Qt::blue);
    icon("application-gzip", Qt::magenta);
    icon("image-x-generic", Qt::yellow);
    icon("folder", Qt::green);
    const QStringList paths = QIcon::themeSearchPaths();
    const QString theme = QIcon::themeName();
    QIcon::setThemeSearchPaths({themes.path()});
    QIcon::setThemeName("quivertest");
    const auto restore = qScopeGuard([&] {
        QIcon::setThemeSearchPaths(paths);
        QIcon::setThemeName(theme);
    });

    const QString path = m_dir->path("kinds/" + file);
    QDir().mkpath(folder ? path : QFileInfo(path).path());
    if (!folder) {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file == "shapes.txt" ? QByteArray("\x89PNG\r\n\x1a\n") : QByteArray("x"));
        out.setPermissions(out.permissions() | QFile::ExeOwner);
    }
    const QIcon shown = IconLoader::instance().itemIcon(folder ? 1 : 0, path);
    QVERIFY(!shown.isNull());
    if (colour.isValid())
        QCOMPARE(rendered(shown).pixelColor(16, 16), colour);
    // Looked up once: every file of the kind shares the one icon.
    const QString twin = m_dir->path("kinds/twin-of-" + file);
    if (!folder) {
        QFile::copy(path, twin);
        QCOMPARE(IconLoader::instance().itemIcon(0, twin).cacheKey(), shown.cacheKey());
    }
}

QUIVER_TEST_MAIN(TestIconLoader)
#include "tst_iconloader.moc"
