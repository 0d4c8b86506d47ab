#include "Actions/PathCompletion.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QMimeDatabase>
#include <QtConcurrent>

#include <algorithm>

#include "Desktop/ItemStart.h"

QString PathCompletion::label() const
{
    return QStringLiteral("路径");
}

PathCompletion::PathCompletion() = default;

PathCompletion::~PathCompletion()
{
    // A read still under way finishes on its thread; nobody takes its listing.
    qDeleteAll(m_reading);
}

PathCompletion::Listing PathCompletion::read(const QString &folder, const Listing &before)
{
    const QFileInfo info(folder);
    const QDateTime changed = info.lastModified();
    // The time of a change is coarse (a few milliseconds): a second change in the same tick as
    // the one before the listing would leave it alike. Only a listing made well after the
    // folder's last change can be relied on.
    if (before.isFolder && changed.isValid() && changed == before.changed &&
        changed.msecsTo(before.listed) > 1000 && info.isDir())
        return before;
    Listing listing{folder, info.isDir(), changed, QDateTime::currentDateTime(), {}};
    if (!listing.isFolder)
        return listing;
    // The iterator learns from the folder itself which entries are folders and links, without
    // asking the file system for each one; only a link is followed.
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo entry = it.fileInfo();
        const QString name = it.fileName();
        const bool isFolder = entry.isSymLink() ? QFileInfo(it.filePath()).isDir() : entry.isDir();
        listing.entries << Entry{name, foldForSearch(name), isFolder,
                                 name.startsWith(QLatin1Char('.'))};
    }
    return listing;
}

const PathCompletion::Listing *PathCompletion::listed(const QString &folder) const
{
    for (const Listing &listing : m_listings)
        if (listing.folder == folder)
            return &listing;
    return nullptr;
}

void PathCompletion::readSoon(const QString &folder)
{
    if (m_reading.contains(folder))
        return;
    const Listing *known = listed(folder);
    const Listing before = known ? *known : Listing();
    auto *watcher = new QFutureWatcher<Listing>;
    m_reading.insert(folder, watcher);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher, [this, watcher, folder] {
        m_reading.remove(folder);
        watcher->deleteLater();
        take(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(fileReads(), &PathCompletion::read, folder, before));
}

void PathCompletion::take(const Listing &listing)
{
    const auto known = std::find_if(m_listings.begin(), m_listings.end(), [&](const Listing &each) {
        return each.folder == listing.folder;
    });
    const bool same = known != m_listings.end() && known->isFolder == listing.isFolder &&
                      known->entries == listing.entries;
    if (known != m_listings.end())
        m_listings.erase(known);
    m_listings.prepend(listing);
    if (m_listings.size() > 4)
        m_listings.removeLast();
    if (!same)
        answersChanged();
}

QString PathCompletion::fileIcon(const QString &name)
{
    // Files of one suffix share their type; a name without one may be known by itself
    // ("Makefile").
    const int dot = name.indexOf(QLatin1Char('.'), 1);
    const QString key = dot > 0 ? QStringLiteral("*") + name.mid(dot) : name;
    const auto known = m_icons.constFind(key);
    if (known != m_icons.cend())
        return *known;
    static const QMimeDatabase mimeTypes;
    const QString icon = mimeTypes.mimeTypeForFile(name, QMimeDatabase::MatchExtension).iconName();
    if (m_icons.size() > 4096)
        m_icons.clear();
    m_icons.insert(key, icon);
    return icon;
}

QVector<ActionRow> PathCompletion::query(const SearchQuery &, const QString &typed)
{
    QString base;
    if (typed.startsWith(QLatin1Char('/')))
        base = QStringLiteral("/");
    else if (typed.startsWith(QLatin1String("~/")))
        base = QDir::homePath() + QLatin1Char('/');
    else if (typed.startsWith(QLatin1String("./")))
        base = QDir::currentPath() + QLatin1Char('/');
    else
        return {};
    // "~/Doc/no" is the folder "~/Doc/" as typed and the part "no" its entries are matched by.
    const int slash = typed.lastIndexOf(QLatin1Char('/'));
    const QString typedFolder = typed.left(slash + 1);
    const QString part = typed.mid(slash + 1);
    const QString folder =
        QDir::cleanPath(base + typedFolder.mid(typed.startsWith(QLatin1Char('/')) ? 1 : 2));
    // Looked at again on every key: a listing comes in for a later key when the folder changed.
    readSoon(folder);
    const Listing *listing = listed(folder);
    if (!listing || !listing->isFolder)
        return {};

    struct Found
    {
        MatchBand band;
        const Entry *entry;
    };
    QVector<Found> found;
    const bool showHidden = part.startsWith(QLatin1Char('.'));
    const SearchQuery partQuery(part);
    for (const Entry &entry : listing->entries) {
        if (entry.hidden && !showHidden)
            continue;
        const MatchBand band = part.isEmpty() ? MatchBand::NamePrefix
                                              : matchItem(partQuery, entry.folded, QStringView());
        // The letters in order anywhere would list most of a large folder.
        if (band != MatchBand::None && band != MatchBand::Fuzzy)
            found << Found{band, &entry};
    }
    const auto better = [](const Found &a, const Found &b) {
        if (a.band != b.band)
            return a.band < b.band;
        return QString::compare(a.entry->name, b.entry->name, Qt::CaseInsensitive) < 0;
    };
    const int shown = std::min(int(found.size()), maxRows);
    std::partial_sort(found.begin(), found.begin() + shown, found.end(), better);

    QVector<ActionRow> rows;
    // The folder itself, typed whole, opens too.
    if (part.isEmpty() && typedFolder.size() > 1) {
        ActionRow self = row(MatchBand::ExactName, typedFolder, folder);
        self.iconName = QStringLiteral("folder");
        self.payload = folder;
        self.completion = typedFolder;
        rows << self;
    }
    for (int i = 0; i < shown; ++i) {
        const Entry &entry = *found.at(i).entry;
        const QString path = QDir(folder).filePath(entry.name);
        const QString title =
            typedFolder + entry.name + (entry.folder ? QStringLiteral("/") : QString());
        ActionRow result = row(found.at(i).band, title, path);
        // By the name alone: reading every listed file's start would cost a key press dear.
        result.iconName = entry.folder ? QStringLiteral("folder") : fileIcon(entry.name);
        result.payload = path;
        result.completion = title;
        rows << result;
    }
    return rows;
}

ActionOutcome PathCompletion::run(const ActionRow &row, const ActionContext &context)
{
    const QString &path = row.payload;
    const int type = QFileInfo(path).isDir() ? 1 : 0;
    ItemStart start = ItemStart::begin(path, type, QString(), QString(), context.userTime);
    if (!start.untrustedCommand.isEmpty()) {
        if (!context.confirm ||
            !context.confirm(QStringLiteral("此应用程序入口不受信任，是否仍要启动？\n\n") +
                             start.untrustedCommand))
            return ActionOutcome::cancelled();
        start = start.confirmed();
    }
    if (!start.refusal.isEmpty())
        return ActionOutcome::refused(start.refusal);
    if (!start.start)
        return ActionOutcome::refused(QStringLiteral("打开失败, 无法启动"));
    return ActionOutcome::later(*start.start, QStringLiteral("打开失败, 无法启动"));
}
