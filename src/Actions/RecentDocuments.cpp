#include "RecentDocuments.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>

#include <algorithm>

#include "DesktopShell.h"
#include "GLibSupport.h"

#include <easylogging++.h>

#include <sys/stat.h>

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

void RecentDocuments::refresh()
{
    const QString file = listFile();
    // GLib writes the list anew and renames it over the old one: a new file each time.
    struct stat status = {};
    const bool exists = ::stat(QFile::encodeName(file).constData(), &status) == 0;
    const Version version{
        exists ? quint64(status.st_ino) : 0, exists ? qint64(status.st_size) : -1,
        exists ? qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec : 0};
    if (file == m_file && version == m_version)
        return;
    m_file = file;
    m_version = version;
    m_documents.clear();
    if (!exists)
        return;

    GBookmarkFile *bookmarks = g_bookmark_file_new();
    GError *error = nullptr;
    if (!g_bookmark_file_load_from_file(bookmarks, QFile::encodeName(file).constData(), &error)) {
        LOG(WARNING) << "最近文档列表无法读取: " << QString::fromUtf8(error->message);
        g_clear_error(&error);
        g_bookmark_file_free(bookmarks);
        return;
    }
    static const QMimeDatabase mimeTypes;
    QHash<QString, QString> icons;
    gsize count = 0;
    gchar **uris = g_bookmark_file_get_uris(bookmarks, &count);
    for (gsize i = 0; i < count; ++i) {
        const char *uri = uris[i];
        gchar *local = g_filename_from_uri(uri, nullptr, nullptr);
        if (!local) // not a file here (a network place, "recent://")
            continue;
        const QString path = QFile::decodeName(local);
        g_free(local);
        if (!QFileInfo::exists(path))
            continue;
        qint64 used = 0;
        for (GDateTime *time : {g_bookmark_file_get_visited_date_time(bookmarks, uri, nullptr),
                                g_bookmark_file_get_modified_date_time(bookmarks, uri, nullptr)})
            if (time)
                used = std::max<qint64>(used, g_date_time_to_unix(time));
        const QString mimeType =
            GLibSupport::takeString(g_bookmark_file_get_mime_type(bookmarks, uri, nullptr));
        const QString name = QFileInfo(path).fileName();
        // The MIME database takes its time for each question: once per type.
        auto icon = icons.find(mimeType);
        if (icon == icons.end()) {
            const QMimeType type = mimeTypes.mimeTypeForName(mimeType);
            icon = icons.insert(mimeType, type.isValid() ? type.iconName()
                                                         : QStringLiteral("text-x-generic"));
        }
        m_documents << Document{path, name, foldForSearch(name), *icon, used};
    }
    g_strfreev(uris);
    g_bookmark_file_free(bookmarks);
    // Latest first, so that ties in a band go to the latest.
    std::stable_sort(m_documents.begin(), m_documents.end(),
                     [](const Document &a, const Document &b) { return a.used > b.used; });
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
    for (const Found &hit : qAsConst(found)) {
        // Gone since the list was read.
        if (!QFileInfo::exists(hit.document->path))
            continue;
        ActionRow result = row(hit.band, hit.document->name, QFileInfo(hit.document->path).path());
        result.placement = ActionPlacement::AfterCatalogue;
        result.iconName = hit.document->iconName;
        result.payload = hit.document->path;
        rows << result;
        if (rows.size() == maxRows)
            break;
    }
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
