// In-process timings of the main window on a generated catalogue: filling the items list,
// searching and applying a skin, each up to the repaint that shows the result.
//   quiver_bench_window <root of a catalogue from quiver_bench_catalogue> [runs] [search|fill]
#include "BenchSupport.h"
#include "App/Program.h"
#include "Window/FormMain.h"
#include "Search/SearchIndex.h"
#include "Core/SettingsControl.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <easylogging++.h>

namespace {
// Lets queued layouts run, then paints the view at once.
void show(QListView *view)
{
    QCoreApplication::sendPostedEvents();
    view->doItemsLayout();
    view->viewport()->repaint();
}

void writeSkin(const QString &name, const QByteArray &json)
{
    QFile file(QStringLiteral("../skins/%1.json").arg(name));
    file.open(QIODevice::WriteOnly);
    file.write(json);
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (app.arguments().size() < 2) {
        std::fprintf(stderr, "usage: quiver_bench_window <root> [runs]\n");
        return 2;
    }
    const int runs = app.arguments().value(2, QStringLiteral("15")).toInt();
    // "search": only the figures of typing in the search box; "fill": only those of filling
    // the items list.
    const bool searchOnly = app.arguments().value(3) == QLatin1String("search");
    const bool fillOnly = app.arguments().value(3) == QLatin1String("fill");
    QDir::setCurrent(QDir(app.arguments().at(1)).filePath(QStringLiteral("bin")));
    writeSkin(QStringLiteral("BenchDark"),
              R"({"MainColor":"#2d7dd2","MainBgColor":"#202124","FontColor":"#e8eaed"})");
    writeSkin(QStringLiteral("BenchLight"), R"({"MainColor":"#40b7f3","MainBgColor":"#ffffff"})");

    Program program;
    FormMain &window = program.window();
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "false");
    window.show();
    QCoreApplication::processEvents();
    auto *groups = window.findChild<QListView *>(QStringLiteral("listView_groups"));
    auto *items = window.findChild<QListView *>(QStringLiteral("listView_items"));
    auto *results = window.findChild<QListView *>(QStringLiteral("listView_result"));
    auto *search = window.findChild<QLineEdit *>(QStringLiteral("lineEdit_search"));
    SettingsControl &settings = SettingsControl::instance();

    const auto fill = [&](int row, bool icons) {
        settings.setIconLoadEnabled(icons);
        Sample sample;
        for (int run = 0; run < runs; ++run) {
            // Away to another 1k group, so that emptying a large list is not counted.
            groups->setCurrentIndex(groups->model()->index(row == 1 ? 2 : 1, 0));
            show(items);
            QElapsedTimer timer;
            timer.start();
            groups->setCurrentIndex(groups->model()->index(row, 0));
            show(items);
            sample.add(timer.nsecsElapsed() / 1e6);
        }
        return sample;
    };
    if (!searchOnly) {
        const int count1k = 1;
        const int count10k = 0;
        fill(count1k, true).print(QStringLiteral("fill 1k items, icons on"), "ms", 16);
        fill(count1k, false).print(QStringLiteral("fill 1k items, icons off"), "ms", 16);
        fill(count10k, true).print(QStringLiteral("fill 10k items, icons on"), "ms", 0);
        fill(count10k, false).print(QStringLiteral("fill 10k items, icons off"), "ms", 0);
        settings.setIconLoadEnabled(true);
    }
    if (fillOnly)
        return 0;

    const int total = [] {
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("MainDatabase")));
        query.exec(QStringLiteral("SELECT COUNT(*) FROM Items"));
        return query.next() ? query.value(0).toInt() : 0;
    }();
    // Typed key by key with instant search: each key to the repainted results.
    settings.setInstantSearch(true);
    Sample typing;
    for (int run = 0; run < runs; ++run) {
        for (const QString &term :
             {QStringLiteral("gongju"), QStringLiteral("edit 42"), QStringLiteral("wdx")}) {
            search->clear();
            show(items);
            for (const QChar c : term) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
                QElapsedTimer timer;
                timer.start();
                QApplication::sendEvent(search, &press);
                show(results);
                typing.add(timer.nsecsElapsed() / 1e6);
            }
        }
    }
    typing.print(QStringLiteral("key press to ranked results over %1 items").arg(total), "ms",
                 total > 50000 ? 16 : 8);
    SearchIndex index;
    QElapsedTimer reading;
    reading.start();
    index.refresh();
    Sample building;
    building.add(reading.nsecsElapsed() / 1e6);
    building.print(QStringLiteral("reading the search index (%1 items)").arg(total), "ms", 0);
    Sample bytes;
    bytes.add(double(index.memoryUse()) / total);
    bytes.print(QStringLiteral("search index per item (%1 items)").arg(total), "B", 150);
    search->clear();
    // Searching all day must not grow the program.
    const auto resident = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        status.open(QIODevice::ReadOnly);
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
        return 0.0;
    };
    for (int run = 0; run < 100; ++run)
        search->setText(QStringLiteral("edit %1").arg(run));
    Sample before;
    before.add(resident());
    for (int run = 0; run < 1000; ++run) {
        search->setText(QStringLiteral("gongju %1").arg(run % 97));
        show(results);
        search->clear();
    }
    Sample after;
    after.add(resident());
    before.print(QStringLiteral("resident memory before 1,000 searches"), "MB", 0);
    after.print(QStringLiteral("resident memory after 1,000 searches"), "MB", 0);
    if (searchOnly)
        return 0;

    // The search Enter starts, with instant search off.
    settings.setInstantSearch(false);
    for (const QString &term : {QStringLiteral("4242"), QStringLiteral("note for Build")}) {
        Sample sample;
        for (int run = 0; run < runs; ++run) {
            search->setText(term);
            QElapsedTimer timer;
            timer.start();
            emit search->returnPressed();
            show(results);
            sample.add(timer.nsecsElapsed() / 1e6);
        }
        sample.print(QStringLiteral("search \"%1\" over %2 items (%3 found)")
                         .arg(term)
                         .arg(total)
                         .arg(results->model()->rowCount()),
                     "ms", 16);
    }

    Sample skins;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        window.onSetSkins(run % 2 ? QStringLiteral("BenchLight") : QStringLiteral("BenchDark"));
        QCoreApplication::sendPostedEvents();
        window.repaint();
        skins.add(timer.nsecsElapsed() / 1e6);
    }
    skins.print(QStringLiteral("apply a skin"), "ms", 0);
    window.onSetSkins(QString());
    return 0;
}
