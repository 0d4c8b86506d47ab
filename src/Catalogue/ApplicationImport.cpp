#include "Catalogue/ApplicationImport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include "Core/DataControl.h"
#include "Desktop/DesktopEntry.h"
#include "Desktop/DesktopIcons.h"
#include "Desktop/GLibSupport.h"
#include "Icons/IconStore.h"

#include <algorithm>

namespace {
const QString typeName = QStringLiteral("应用程序");

// The desktop-file id of an entry in an applications folder ("org.gnome.Terminal.desktop",
// "kde-okular.desktop" for kde/okular.desktop): the same application, wherever its file lies.
QString desktopId(const QString &path)
{
    for (const QString &data : DesktopIcons::dataFolders()) {
        const QString folder =
            QDir(data).absoluteFilePath(QStringLiteral("applications")) + QLatin1Char('/');
        if (path.startsWith(folder))
            return path.mid(folder.size()).replace(QLatin1Char('/'), QLatin1Char('-'));
    }
    return QString();
}

// What items of the catalogue already point at: entry files by their real path (a link or a
// relative path counts as what it leads to) and by their desktop-file id.
struct Known
{
    QSet<QString> paths;
    QSet<QString> ids;

    bool contains(const QString &path) const
    {
        const QString real = QFileInfo(path).canonicalFilePath();
        const QString id = desktopId(path);
        return paths.contains(real) || (!id.isEmpty() && ids.contains(id));
    }
};

Known entriesInCatalogue()
{
    Known known;
    QSqlQuery query = DataControl::instance().items_ofType(QStringLiteral("Path"), 0);
    while (query.next()) {
        const QFileInfo file(query.value(0).toString());
        // A link to an entry is that entry.
        if (!DesktopEntry::isEntryFile(file.filePath()))
            continue;
        known.paths << file.canonicalFilePath();
        const QString id = desktopId(file.absoluteFilePath());
        if (!id.isEmpty())
            known.ids << id;
    }
    return known;
}

// The id of the type named "应用程序", made when there is none.
QVariant importType()
{
    DataControl &data = DataControl::instance();
    QSqlQuery types = data.types_select(QStringLiteral("ID, Name"));
    while (types.next())
        if (types.value(1).toString() == typeName)
            return types.value(0);
    data.type_add(typeName);
    return data.types_maxID();
}

// The groups of the type by name, made as they are first needed.
class Groups
{
public:
    explicit Groups(const QVariant &typeId)
        : m_typeId(typeId)
    {
        read();
    }

    QVariant id(const QString &name)
    {
        if (!m_ids.contains(name)) {
            DataControl::instance().group_add(name, m_typeId);
            read();
        }
        return m_ids.value(name);
    }

private:
    void read()
    {
        QSqlQuery query =
            DataControl::instance().groups_select(QStringLiteral("ID, Name"), m_typeId);
        while (query.next())
            m_ids.insert(query.value(1).toString(), query.value(0));
    }

    QVariant m_typeId;
    QHash<QString, QVariant> m_ids;
};
} // namespace

QStringList ApplicationImport::installedEntries()
{
    QStringList entries;
    GList *all = g_app_info_get_all();
    for (GList *each = all; each; each = each->next) {
        auto *info = static_cast<GAppInfo *>(each->data);
        if (G_IS_DESKTOP_APP_INFO(info) && g_app_info_should_show(info))
            if (const char *file = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(info)))
                entries << QFile::decodeName(file);
    }
    g_list_free_full(all, g_object_unref);
    return entries;
}

namespace {
// The groups in the order they are made in, that of the freedesktop menu's main categories.
const QStringList groupOrder{
    QStringLiteral("影音"), QStringLiteral("开发"), QStringLiteral("教育"), QStringLiteral("游戏"),
    QStringLiteral("图形"), QStringLiteral("网络"), QStringLiteral("办公"), QStringLiteral("科学"),
    QStringLiteral("设置"), QStringLiteral("系统"), QStringLiteral("工具"), QStringLiteral("其他")};
} // namespace

QString ApplicationImport::groupOf(const QStringList &categories)
{
    static const QHash<QString, QString> groups{
        {QStringLiteral("AudioVideo"), QStringLiteral("影音")},
        {QStringLiteral("Audio"), QStringLiteral("影音")},
        {QStringLiteral("Video"), QStringLiteral("影音")},
        {QStringLiteral("Development"), QStringLiteral("开发")},
        {QStringLiteral("Education"), QStringLiteral("教育")},
        {QStringLiteral("Game"), QStringLiteral("游戏")},
        {QStringLiteral("Graphics"), QStringLiteral("图形")},
        {QStringLiteral("Network"), QStringLiteral("网络")},
        {QStringLiteral("Office"), QStringLiteral("办公")},
        {QStringLiteral("Science"), QStringLiteral("科学")},
        {QStringLiteral("Settings"), QStringLiteral("设置")},
        {QStringLiteral("System"), QStringLiteral("系统")},
        {QStringLiteral("Utility"), QStringLiteral("工具")},
    };
    for (const QString &category : categories)
        if (groups.contains(category))
            return groups.value(category);
    return QStringLiteral("其他");
}

int ApplicationImport::run(const std::function<void(int done, int total)> &progress)
{
    struct Found
    {
        QString path;
        DesktopEntry entry;
        QString iconHash;
    };
    const Known known = entriesInCatalogue();
    QList<Found> found;
    for (const QString &installed : installedEntries()) {
        const QString path = QFileInfo(installed).absoluteFilePath();
        if (known.contains(path))
            continue;
        const DesktopEntry entry = DesktopEntry::read(path);
        if (entry.kind() == DesktopEntry::Kind::Application)
            found << Found{path, entry, QString()};
    }
    if (found.isEmpty())
        return 0;
    std::sort(found.begin(), found.end(), [](const Found &a, const Found &b) {
        return QString::localeAwareCompare(a.entry.name(), b.entry.name()) < 0;
    });

    // Rendering is the costly part, and many entries share an icon: each is rendered once,
    // before the catalogue is touched, so that no transaction waits on it.
    DesktopIcons::rescan();
    QHash<QString, QString> storedIcons;
    for (int i = 0; i < found.size(); ++i) {
        if (progress)
            progress(i, found.size());
        const QString icon = found.at(i).entry.icon();
        if (!storedIcons.contains(icon))
            storedIcons.insert(
                icon, IconStore::store(DesktopIcons::render(DesktopIcons::icon(icon), 64),
                                       found.at(i).entry.name(), QStringLiteral("拖拽添加")));
        found[i].iconHash = storedIcons.value(icon);
    }

    DataControl &data = DataControl::instance();
    data.database_transaction(true);
    const QVariant typeId = importType();
    Groups groups(typeId);
    QSet<QString> needed;
    for (const Found &each : qAsConst(found))
        needed << groupOf(each.entry.categories());
    for (const QString &group : groupOrder)
        if (needed.contains(group))
            groups.id(group);
    int added = 0;
    for (const Found &each : qAsConst(found)) {
        const QVariantMap item{{QStringLiteral("Name"), each.entry.name()},
                               {QStringLiteral("Type"), 0},
                               {QStringLiteral("Path"), each.path},
                               {QStringLiteral("Note"), each.entry.note()},
                               {QStringLiteral("IconPath"), each.iconHash}};
        if (data.item_add(item, typeId, groups.id(groupOf(each.entry.categories()))))
            ++added;
    }
    data.database_transaction(false);
    if (progress)
        progress(found.size(), found.size());
    return added;
}
