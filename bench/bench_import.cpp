// The import of installed applications: 300 generated desktop entries sharing 30 icons (PNG
// in the hicolor theme, some SVG), into an empty catalogue, icons rendered and stored anew
// each run.
//   quiver_bench_import [runs]
#include "ApplicationImport.h"
#include "BenchSupport.h"
#include "DataControl.h"

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
constexpr int icons = 30;
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
    write(root + "/share/icons/hicolor/index.theme",
          "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps,scalable/apps\n\n[48x48/apps]\n"
          "Size=48\nType=Fixed\n\n[scalable/apps]\nSize=48\nType=Scalable\nMinSize=8\n"
          "MaxSize=512\n");
    for (int i = 0; i < icons; ++i) {
        const QString name = QStringLiteral("bench-%1").arg(i);
        if (i % 3 == 0) {
            write(root + "/share/icons/hicolor/scalable/apps/" + name + ".svg",
                  QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='48' height='48'>"
                                 "<circle cx='24' cy='24' r='20' fill='#%1'/></svg>")
                      .arg(0x102030 * (i + 1) % 0xffffff, 6, 16, QLatin1Char('0'))
                      .toUtf8());
        } else {
            QImage image(48, 48, QImage::Format_ARGB32);
            image.fill(QColor::fromHsv(i * 12, 200, 200));
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
    import.print(QStringLiteral("import 300 applications, 30 icons"), "ms", 2000);
    return 0;
}
