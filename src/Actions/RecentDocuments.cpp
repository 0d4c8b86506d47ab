#include "Actions/RecentDocuments.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHash>
#include <QMimeDatabase>
#include <QSet>
#include <QXmlStreamReader>
#include <QtConcurrent>

#include <algorithm>
#include <utility>

#include "Desktop/DesktopShell.h"
#include "Desktop/GLibSupport.h"

#include <easylogging++.h>

#include <sys/stat.h>

namespace {
// An entry of the list as read, before it is known to be a local file.
struct Entry
{
    QByteArray uri;
    QString mimeType;
    qint64 used = 0;
    // Its place in the file: of two used in the same second, the later one wins.
    int order = 0;
};

bool newer(const Entry &a, const Entry &b)
{
    return a.used != b.used ? a.used > b.used : a.order > b.order;
}

// The list's times are ISO 8601 in UTC, with or without fractions of a second.
qint64 secondsOf(QStringView text)
{
    QDateTime time = QDateTime::fromString(text.left(19).toString(), Qt::ISODate);
    if (!time.isValid())
        return 0;
    time.setTimeSpec(Qt::UTC);
    return time.toSecsSinceEpoch();
}
} // namespace

RecentDocuments::RecentDocuments() = default;

RecentDocuments::~RecentDocuments()
{
    // A read still under way finishes on its thread; nobody takes its list.
    delete m_reading;
    delete m_checking;
}

QString RecentDocuments::label() const
{
    return QStringLiteral("最近文档");
}

QString RecentDocuments::listFile()
{
    // As GLib reads the base directories, but from the environment of now rather than of the
    // first call.
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/recently-used.xbel");
}

bool RecentDocuments::isReading() const
{
    return m_reading || m_checking;
}

RecentDocuments::List RecentDocuments::read(const QString &file, const Version &known)
{
    List list{file, {}, false, {}, {}};
    // GLib writes the list anew and renames it over the old one: a new file each time.
    struct stat status = {};
    const bool exists = ::stat(QFile::encodeName(file).constData(), &status) == 0;
    list.version = {exists ? quint64(status.st_ino) : 0, exists ? qint64(status.st_size) : -1,
                    exists ? qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec
                           : 0};
    if (list.version == known)
        return list;
    list.changed = true;
    if (!exists)
        return list;

    // Read as a stream, keeping the newest entries only: GLib's own reader holds the whole
    // list, several times its size.
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly)) {
        list.failure = input.errorString();
        return list;
    }
    QVector<Entry> entries;
    const auto keepNewest = [&entries] {
        if (entries.size() <= maxDocuments)
            return;
        std::nth_element(entries.begin(), entries.begin() + maxDocuments, entries.end(), newer);
        entries.resize(maxDocuments);
    };
    QXmlStreamReader xml(&input);
    Entry entry;
    int order = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("bookmark")) {
            const QXmlStreamAttributes attributes = xml.attributes();
            entry = Entry{attributes.value(QLatin1String("href")).toUtf8(), QString(),
                          std::max(secondsOf(attributes.value(QLatin1String("visited"))),
                                   secondsOf(attributes.value(QLatin1String("modified")))),
                          order++};
        } else if (xml.isStartElement() && xml.name() == QLatin1String("mime-type")) {
            entry.mimeType = xml.attributes().value(QLatin1String("type")).toString();
        } else if (xml.isEndElement() && xml.name() == QLatin1String("bookmark")) {
            entries << entry;
            if (entries.size() == 2 * maxDocuments)
                keepNewest();
        }
    }
    if (xml.hasError()) {
        list.failure = xml.errorString();
        return list;
    }
    keepNewest();
    std::sort(entries.begin(), entries.end(), newer);

    static const QMimeDatabase mimeTypes;
    QHash<QString, QString> icons;
    for (const Entry &each : qAsConst(entries)) {
        gchar *local = g_filename_from_uri(each.uri.constData(), nullptr, nullptr);
        if (!local) // not a file here (a network place, "recent://")
            continue;
        const QString path = QFile::decodeName(local);
        g_free(local);
        // The MIME database takes its time for each question: once per type.
        auto icon = icons.find(each.mimeType);
        if (icon == icons.end()) {
            const QMimeType type = mimeTypes.mimeTypeForName(each.mimeType);
            icon = icons.insert(each.mimeType, type.isValid() ? type.iconName()
                                                              : QStringLiteral("text-x-generic"));
        }
        const QString name = QFileInfo(path).fileName();
        list.documents << Document{path, name, foldForSearch(name), *icon, each.used};
    }
    return list;
}

void RecentDocuments::refresh()
{
    if (m_reading)
        return;
    const QString file = listFile();
    m_reading = new QFutureWatcher<List>;
    QObject::connect(m_reading, &QFutureWatcherBase::finished, m_reading, [this] {
        const List list = m_reading->result();
        m_reading->deleteLater();
        m_reading = nullptr;
        take(list);
    });
    m_reading->setFuture(QtConcurrent::run(fileReads(), &RecentDocuments::read, file,
                                           file == m_file ? m_version : Version()));
}

void RecentDocuments::take(const List &list)
{
    if (!list.changed)
        return;
    m_file = list.file;
    m_version = list.version;
    // A list that cannot be read is told of once, and read again once it changed; the
    // documents found before stay meanwhile.
    if (!list.failure.isEmpty()) {
        LOG(WARNING) << "最近文档列表无法读取: " << list.failure;
        return;
    }
    m_documents = list.documents;
    answersChanged();
}

QStringList RecentDocuments::gone(const QStringList &paths)
{
    QStringList gone;
    for (const QString &path : paths)
        if (!QFileInfo::exists(path))
            gone << path;
    return gone;
}

void RecentDocuments::check(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    if (m_checking) {
        m_toCheck = paths;
        return;
    }
    m_checking = new QFutureWatcher<QStringList>;
    QObject::connect(m_checking, &QFutureWatcherBase::finished, m_checking, [this] {
        const QStringList found = m_checking->result();
        m_checking->deleteLater();
        m_checking = nullptr;
        if (!m_toCheck.isEmpty())
            check(std::exchange(m_toCheck, QStringList()));
        dropGone(found);
    });
    m_checking->setFuture(QtConcurrent::run(fileReads(), &RecentDocuments::gone, paths));
}

void RecentDocuments::dropGone(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    const QSet<QString> gone(paths.cbegin(), paths.cend());
    m_documents.erase(
        std::remove_if(m_documents.begin(), m_documents.end(),
                       [&](const Document &document) { return gone.contains(document.path); }),
        m_documents.end());
    answersChanged();
}

QVector<ActionRow> RecentDocuments::query(const SearchQuery &query, const QString &)
{
    if (query.isEmpty())
        return {};
    refresh();
    struct Found
    {
        MatchBand band;
        const Document *document;
    };
    QVector<Found> found;
    for (const Document &document : qAsConst(m_documents)) {
        const MatchBand band = matchItem(query, document.folded, QStringView());
        if (band != MatchBand::None && band != MatchBand::Fuzzy)
            found << Found{band, &document};
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Found &a, const Found &b) { return a.band < b.band; });
    QVector<ActionRow> rows;
    QStringList shown;
    for (const Found &hit : qAsConst(found)) {
        ActionRow result = row(hit.band, hit.document->name, QFileInfo(hit.document->path).path());
        result.placement = ActionPlacement::AfterCatalogue;
        result.iconName = hit.document->iconName;
        result.payload = hit.document->path;
        rows << result;
        shown << hit.document->path;
        if (rows.size() == maxRows)
            break;
    }
    check(shown);
    return rows;
}

ActionOutcome RecentDocuments::run(const ActionRow &row, const ActionContext &context)
{
    // Opened as the document it was, never run: a script on the list stays a text.
    if (!QFileInfo::exists(row.payload))
        return ActionOutcome::refused(QStringLiteral("打开失败, 文件不存在"));
    return ActionOutcome::later(DesktopShell::openPath(row.payload, context.userTime),
                                QStringLiteral("打开失败, 无法启动"));
}
