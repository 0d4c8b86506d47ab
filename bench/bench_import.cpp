// The import of installed applications: 300 generated desktop entries, each with an icon of
// its own (PNG and SVG in a hicolor theme laid out like Debian's), into an empty catalogue,
// icons rendered and stored anew each run. The first run is also the first use of GIO and of
// the icon theme in the process.
//   quiver_bench_import [runs]
#include "Catalogue/ApplicationImport.h"
#include "BenchSupport.h"
#include "Core/DataControl.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <easylogging++.h>

namespace {
constexpr int entries = 300;
constexpr int icons = entries;
const char *const categories[] = {"AudioVideo;Player;",
                                  "Development;IDE;",
                                  "Game;",
                                  "Graphics;",
                                  "Network;WebBrowser;",
                                  "Office;",
                                  "Settings;",
                                  "System;",
                                  "Utility;",
                                  ""};

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}

// XDG folders of the benchmark's own: GIO and the icon theme see only these.
void makeDesktop(const QString &root)
{
    // Debian's hicolor theme: its index names some 650 folders, each looked into.
    QFile debian(QStringLiteral("/usr/share/icons/hicolor/index.theme"));
    write(root + "/share/icons/hicolor/index.theme",
          debian.open(QIODevice::ReadOnly)
              ? debian.readAll()
              : QByteArray("[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps,scalable/apps\n\n"
                           "[48x48/apps]\nSize=48\nType=Fixed\n\n[scalable/apps]\nSize=48\n"
                           "Type=Scalable\nMinSize=8\nMaxSize=512\n"));
    for (int i = 0; i < icons; ++i) {
        const QString name = QStringLiteral("bench-%1").arg(i);
        if (i % 3 == 0) {
            // An application icon of a few shapes and a gradient, as real ones are drawn.
            write(root + "/share/icons/hicolor/scalable/apps/" + name + ".svg",
                  QStringLiteral(
                      "<svg xmlns='http://www.w3.org/2000/svg' width='48' height='48'>"
                      "<defs><linearGradient id='g' x1='0' y1='0' x2='1' y2='1'>"
                      "<stop offset='0' stop-color='#%1'/><stop offset='1' stop-color='#222'/>"
                      "</linearGradient></defs>"
                      "<rect x='4' y='4' width='40' height='40' rx='8' fill='url(#g)'/>"
                      "<path d='M12 34 L24 10 L36 34 Z' fill='#fff' opacity='0.8'/>"
                      "<circle cx='24' cy='28' r='5' fill='#%1' stroke='#000' stroke-width='1'/>"
                      "</svg>")
                      .arg(0x102030 * (i + 1) % 0xffffff, 6, 16, QLatin1Char('0'))
                      .toUtf8());
        } else {
            QImage image(48, 48, QImage::Format_ARGB32);
            image.fill(QColor::fromHsv(i % 360, 200, 200));
            QDir().mkpath(root + "/share/icons/hicolor/48x48/apps");
            image.save(root + "/share/icons/hicolor/48x48/apps/" + name + ".png");
        }
    }
    for (int i = 0; i < entries; ++i)
        write(root + QStringLiteral("/data/applications/bench-app-%1.desktop").arg(i),
              QStringLiteral("[Desktop Entry]\nType=Application\nName=Application %1\n"
                             "Name[zh_CN]=应用 %1\nComment=Generated\nExec=true %1\n"
                             "Icon=bench-%2\nCategories=%3\n")
                  .arg(i)
                  .arg(i % icons)
                  .arg(QLatin1String(categories[i % 10]))
                  .toUtf8());
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + "/data"));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(root + "/share"));
    qunsetenv("XDG_CURRENT_DESKTOP");
}

void emptyCatalogue()
{
    QSqlQuery main(QSqlDatabase::database(QStringLiteral("MainDatabase")));
    for (const char *table : {"Types", "Groups", "Items"})
        main.exec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)));
    QSqlQuery(QSqlDatabase::database(QStringLiteral("CachesDatabase")))
        .exec(QStringLiteral("DELETE FROM Caches"));
    QDir(QStringLiteral("../cache/caches")).removeRecursively();
    QDir().mkpath(QStringLiteral("../cache/caches"));
}
} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir root;
    makeDesktop(root.path());
    QApplication app(argc, argv);
    const int runs = app.arguments().value(1, QStringLiteral("9")).toInt();
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "false");
    QDir(root.path()).mkpath(QStringLiteral("catalogue/bin"));
    QDir::setCurrent(root.path() + QStringLiteral("/catalogue/bin"));
    QDir(QStringLiteral("..")).mkpath(QStringLiteral("data"));
    QDir(QStringLiteral("..")).mkpath(QStringLiteral("cache/caches"));
    DataControl &data = DataControl::instance();
    if (!data.init_databases())
        return 1;
    data.database_create();

    Sample import;
    for (int run = 0; run < runs; ++run) {
        emptyCatalogue();
        QElapsedTimer timer;
        timer.start();
        const int added = ApplicationImport::run();
        import.add(timer.nsecsElapsed() / 1e6);
        QSqlQuery cached(QSqlDatabase::database(QStringLiteral("CachesDatabase")));
        cached.exec(QStringLiteral("SELECT COUNT(*) FROM Caches"));
        const int stored = cached.next() ? cached.value(0).toInt() : -1;
        if (added != entries || stored != icons) {
            std::fprintf(stderr, "imported %d of %d, %d of %d icons\n", added, entries, stored,
                         icons);
            return 1;
        }
    }
    Sample first;
    first.add(import.values.first());
    first.print(QStringLiteral("import 300 applications, 300 icons, first run"), "ms", 2000);
    import.print(QStringLiteral("import 300 applications, 300 icons"), "ms", 2000);
    return 0;
}
