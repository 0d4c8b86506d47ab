// Each key typed into the search box, timed as the search answers it: the catalogue's ranked
// results alone (the baseline), and the same with every other kind of answer on (calculator,
// web keywords, paths, commands, system actions, recent documents), their rows ranked in with
// the catalogue's. Recent documents come from a list of 1,000 real files, the commands from a
// history of 50, read ahead as the window does; paths are listed from /usr/bin and /usr/share.
// Folders and the list are read off the GUI thread: a key whose answers come in later is also
// timed up to the list asked again once they did, as the window asks again. Last, a list of
// recent documents grown to tens of megabytes is read while keys are typed.
//   quiver_bench_actions <root of a catalogue from quiver_bench_catalogue> [runs]
#include "Actions/ActionProviders.h"
#include "BenchSupport.h"
#include "Core/DataControl.h"
#include "Desktop/GLibSupport.h"
#include "Search/Matcher.h"
#include "Actions/RecentDocuments.h"
#include "Search/SearchIndex.h"
#include "Core/SettingsControl.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

#include <easylogging++.h>

#include <cstring>

namespace {
constexpr int shown = 100;

// A desktop's list of recently used files, as GTK writes it, naming files that exist.
void writeRecentList(const QString &dataHome, const QString &documents)
{
    const char *const words[] = {"报告",   "notes", "周报", "合同",
                                 "slides", "预算",  "照片", "draft"};
    GBookmarkFile *bookmarks = g_bookmark_file_new();
    QDir().mkpath(documents);
    for (int i = 0; i < 1000; ++i) {
        const QString path = QDir(documents).filePath(
            QStringLiteral("%1 %2.txt").arg(QString::fromUtf8(words[i % 8])).arg(i));
        QFile(path).open(QIODevice::WriteOnly);
        const QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
        g_bookmark_file_set_mime_type(bookmarks, uri.constData(), "text/plain");
        g_bookmark_file_add_application(bookmarks, uri.constData(), "gedit", "gedit %u");
        GDateTime *time = g_date_time_new_from_unix_utc(1700000000 + i);
        g_bookmark_file_set_visited_date_time(bookmarks, uri.constData(), time);
        g_date_time_unref(time);
    }
    QDir().mkpath(dataHome);
    g_bookmark_file_to_file(
        bookmarks, QFile::encodeName(dataHome + QStringLiteral("/recently-used.xbel")).constData(),
        nullptr);
    g_bookmark_file_free(bookmarks);
}

// A list as GTK writes it after years of use: entries of files that are mostly gone, each with
// the applications that opened it.
qint64 writeLargeList(const QString &file, int entries)
{
    QFile out(file);
    out.open(QIODevice::WriteOnly);
    out.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\"\n"
              "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
              "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n>\n");
    const QString entry = QStringLiteral(
        "  <bookmark href=\"%1\" added=\"%2\" modified=\"%2\" visited=\"%2\">\n"
        "    <info>\n      <metadata owner=\"http://freedesktop.org\">\n"
        "        <mime:mime-type type=\"application/vnd.oasis.opendocument.text\"/>\n"
        "        <bookmark:applications>\n"
        "          <bookmark:application name=\"LibreOffice\" exec=\"&apos;soffice %u&apos;\" "
        "modified=\"%2\" count=\"3\"/>\n"
        "          <bookmark:application name=\"org.gnome.Nautilus\" "
        "exec=\"&apos;nautilus %u&apos;\" modified=\"%2\" count=\"1\"/>\n"
        "        </bookmark:applications>\n      </metadata>\n    </info>\n  </bookmark>\n");
    for (int i = 0; i < entries; ++i) {
        const QString file =
            QStringLiteral("/home/user/文档/项目 %1/报告草稿 %2.odt").arg(i / 50).arg(i);
        const QString time =
            QDateTime::fromSecsSinceEpoch(1600000000 + i * 60, Qt::UTC).toString(Qt::ISODate);
        out.write(
            entry.arg(QString::fromUtf8(QUrl::fromLocalFile(file).toEncoded()), time).toUtf8());
    }
    out.write("</xbel>\n");
    return out.size();
}

// Resident memory now and at its peak since resetPeak(), in MB.
double memory(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(std::strlen(field))).trimmed().split(' ').value(0).toDouble() /
                   1024;
    return 0;
}

void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// Runs the event loop until every read the providers started has come in; whether one of them
// changed the answers.
bool settle(ActionProviders &providers)
{
    bool changed = false;
    const QMetaObject::Connection watching = QObject::connect(
        &providers, &ActionProviders::answersChanged, [&changed] { changed = true; });
    while (providers.isReading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    QObject::disconnect(watching);
    return changed;
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (app.arguments().size() < 2) {
        std::fprintf(stderr, "usage: quiver_bench_actions <root> [runs]\n");
        return 2;
    }
    const int runs = app.arguments().value(2, QStringLiteral("15")).toInt();
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "false");
    QDir::setCurrent(QDir(app.arguments().at(1)).filePath(QStringLiteral("bin")));
    DataControl &data = DataControl::instance();
    if (!data.init_databases())
        return 1;

    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    writeRecentList(home.filePath(QStringLiteral("data")), home.filePath(QStringLiteral("docs")));
    SettingsControl settings(home.filePath(QStringLiteral("config.ini")));
    QStringList history;
    for (int i = 0; i < 50; ++i)
        history << QStringLiteral("git status --short %1").arg(i);
    settings.setCommandHistory(history);
    ActionProviders providers(settings);
    // As the window does once it shows: the list of recent documents is read ahead.
    QElapsedTimer reading;
    reading.start();
    providers.prepare();
    settle(providers);
    const double readingList = reading.nsecsElapsed() / 1e6;

    SearchIndex index;
    index.refresh();
    // The bands of the catalogue's results, which the merge needs, from the names they match.
    QHash<int, QPair<QString, QString>> folded;
    QSqlQuery items = data.items_all(QStringLiteral("ID, Name, Note"));
    while (items.next())
        folded.insert(items.value(0).toInt(), {foldForSearch(items.value(1).toString()),
                                               foldForSearch(items.value(2).toString())});

    const QStringList terms{QStringLiteral("gongju"),      QStringLiteral("sp"),
                            QStringLiteral("12*(3+4)"),    QStringLiteral("bd 天气"),
                            QStringLiteral("/usr/bin/py"), QStringLiteral("/usr/share/ic"),
                            QStringLiteral(">git st"),     QStringLiteral("baogao")};
    Sample alone;
    Sample together;
    Sample actionsOnly;
    Sample late;
    int rowsShown = 0;
    const auto ranked = [&](const QString &typed, const QVector<int> &ids) {
        const QVector<ActionRow> rows = providers.query(typed);
        const SearchQuery query(typed);
        QVector<MatchBand> bands;
        bands.reserve(ids.size());
        for (int id : ids) {
            const auto &texts = folded[id];
            bands << matchItem(query, texts.first, texts.second);
        }
        return ActionProviders::merge(bands, rows, shown).size();
    };
    for (int run = 0; run < runs; ++run) {
        for (const QString &term : terms) {
            for (int length = 1; length <= term.size(); ++length) {
                const QString typed = term.left(length);
                QElapsedTimer timer;
                timer.start();
                const QVector<int> found = index.find(typed, shown);
                alone.add(timer.nsecsElapsed() / 1e3);

                timer.start();
                const QVector<int> ids = index.find(typed, shown);
                const qint64 catalogue = timer.nsecsElapsed();
                ranked(typed, ids);
                const qint64 all = timer.nsecsElapsed();
                together.add(all / 1e3);
                actionsOnly.add((all - catalogue) / 1e3);
                // A folder listed for this key: its rows once the listing came in.
                if (settle(providers)) {
                    rowsShown += ranked(typed, ids);
                    late.add(timer.nsecsElapsed() / 1e3);
                    settle(providers);
                } else {
                    rowsShown += ranked(typed, ids);
                    settle(providers);
                }
                Q_UNUSED(found)
            }
        }
    }
    std::printf("%d items, %d keys per run, %d rows shown in all\n", int(folded.size()),
                int(alone.values.size() / runs), rowsShown);
    alone.print(QStringLiteral("key to ranked results, catalogue alone"), "us", 0);
    together.print(QStringLiteral("key to ranked results, every provider on"), "us", 8000);
    actionsOnly.print(QStringLiteral("of which the providers and the merge"), "us", 0);
    if (!late.values.isEmpty())
        late.print(QStringLiteral("key to the rows read off the GUI thread"), "us", 0);
    std::printf("slowest key, every provider on: %.1f us\n", together.quantile(1.0));
    std::printf("reading the list of 1,000 recent documents ahead: %.1f ms\n", readingList);

    // A list grown large: read while keys are typed, which go on answering from what was read
    // before.
    const qint64 bytes = writeLargeList(RecentDocuments::listFile(), 60000);
    const double before = memory("VmRSS:");
    resetPeak();
    reading.start();
    providers.prepare();
    Sample meanwhile;
    while (providers.isReading()) {
        QElapsedTimer key;
        key.start();
        ranked(QStringLiteral("baogao"), index.find(QStringLiteral("baogao"), shown));
        meanwhile.add(key.nsecsElapsed() / 1e3);
        QCoreApplication::processEvents();
    }
    settle(providers);
    std::printf("reading a list of %.1f MB (60,000 entries) off the GUI thread: %.0f ms, resident "
                "memory %.1f -> peak %.1f -> %.1f MB\n",
                bytes / 1e6, reading.nsecsElapsed() / 1e6, before, memory("VmHWM:"),
                memory("VmRSS:"));
    meanwhile.print(QStringLiteral("key to ranked results while it is read"), "us", 0);
    return 0;
}
