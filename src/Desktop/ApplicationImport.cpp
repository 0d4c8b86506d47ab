#include "ApplicationImport.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include "DataControl.h"
#include "DesktopEntry.h"
#include "DesktopIcons.h"
#include "GLibSupport.h"
#include "IconStore.h"

#include <algorithm>

namespace {
const QString typeName = QStringLiteral("应用程序");

// Items point at their entry files; a path stored relative counts as its absolute form.
QSet<QString> entriesInCatalogue()
{
    QSet<QString> paths;
    QSqlQuery query = DataControl::instance().items_ofType(QStringLiteral("Path"), 0);
    while (query.next())
        paths << QFileInfo(query.value(0).toString()).absoluteFilePath();
    return paths;
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
    };
    const QSet<QString> known = entriesInCatalogue();
    QList<Found> found;
    for (const QString &installed : installedEntries()) {
        const QString path = QFileInfo(installed).absoluteFilePath();
        if (known.contains(path))
            continue;
        const DesktopEntry entry = DesktopEntry::read(path);
        if (entry.kind() == DesktopEntry::Kind::Application)
            found << Found{path, entry};
    }
    if (found.isEmpty())
        return 0;
    std::sort(found.begin(), found.end(), [](const Found &a, const Found &b) {
        return QString::localeAwareCompare(a.entry.name(), b.entry.name()) < 0;
    });

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
    // Rendering is the costly part, and many entries share an icon.
    QHash<QString, QString> storedIcons;
    int done = 0;
    int added = 0;
    for (const Found &each : qAsConst(found)) {
        if (progress)
            progress(done++, found.size());
        const QString icon = each.entry.icon();
        if (!storedIcons.contains(icon))
            storedIcons.insert(icon,
                               IconStore::store(DesktopIcons::render(DesktopIcons::icon(icon), 64),
                                                each.entry.name(), QStringLiteral("拖拽添加")));
        const QVariantMap item{{QStringLiteral("Name"), each.entry.name()},
                               {QStringLiteral("Type"), 0},
                               {QStringLiteral("Path"), each.path},
                               {QStringLiteral("Note"), each.entry.note()},
                               {QStringLiteral("IconPath"), storedIcons.value(icon)}};
        if (data.item_add(item, typeId, groups.id(groupOf(each.entry.categories()))))
            ++added;
    }
    data.database_transaction(false);
    if (progress)
        progress(found.size(), found.size());
    return added;
}
