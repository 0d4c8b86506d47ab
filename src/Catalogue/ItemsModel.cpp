#include "Catalogue/ItemsModel.h"

#include <QPixmap>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "Core/DataControl.h"
#include "Icons/IconLoader.h"
#include "Catalogue/ItemRoles.h"
#include "Core/SettingsControl.h"

namespace {
// Ids of the catalogue are positive; an item shown without a group has none.
QVariant idOrNone(int id)
{
    return id > 0 ? QVariant(id) : QVariant();
}

int idOf(const QVariant &value)
{
    bool ok = false;
    const int id = value.toInt(&ok);
    return ok ? id : 0;
}
} // namespace

QVector<ItemsModel::Row> ItemsModel::readRows(QSqlQuery &query, int typeId, int groupId)
{
    // Looked up once per query rather than once per value.
    const QSqlRecord record = query.record();
    const int id = record.indexOf(QStringLiteral("ID"));
    const int name = record.indexOf(QStringLiteral("Name"));
    const int iconPath = record.indexOf(QStringLiteral("IconPath"));
    const int order = record.indexOf(QStringLiteral("Row"));
    const int type = record.indexOf(QStringLiteral("TypesID"));
    const int group = record.indexOf(QStringLiteral("GroupsID"));
    QVector<Row> rows;
    while (query.next()) {
        Row row;
        row.id = query.value(id).toInt();
        row.typeId = type < 0 ? typeId : query.value(type).toInt();
        row.groupId = group < 0 ? groupId : query.value(group).toInt();
        if (order >= 0)
            row.order = rowPosition(query.value(order)).toDouble();
        if (name >= 0)
            row.name = query.value(name).toString();
        if (iconPath >= 0)
            row.iconKey = heldKey(query.value(iconPath));
        rows.append(std::move(row));
    }
    // Held all day: not with the room its growth left.
    rows.squeeze();
    return rows;
}

void ItemsModel::reset(QVector<Row> rows, QVector<ActionRow> actions)
{
    beginResetModel();
    // Replaced rather than cleared throughout: a cleared vector keeps its room, that of a large
    // group shown before.
    m_shared = {};
    QVector<Held> held;
    held.reserve(rows.size());
    for (Row &row : rows)
        held << Held{row.order, std::move(row.name), std::move(row.iconKey), row.id,
                     share({row.typeId, row.groupId, row.action})};
    rows = {};
    m_rows = std::move(held);
    m_actions = std::move(actions);
    // Let go with the rows that read them; the new rows hold their own.
    m_keys = {};
    m_found = {};
    m_answerIcons = {};
    m_byOrder = {};
    m_places = {};
    const bool unnamed = std::any_of(m_rows.cbegin(), m_rows.cend(),
                                     [](const Held &row) { return row.name.isNull(); });
    if (unnamed) {
        const auto byOrder = [this](int left, int right) {
            return m_rows.at(left).order < m_rows.at(right).order;
        };
        QVector<int> shown(m_rows.size());
        std::iota(shown.begin(), shown.end(), 0);
        // Stable, as the proxy sorts: equal orders keep the query's order.
        if (!std::is_sorted(shown.cbegin(), shown.cend(), byOrder)) {
            std::stable_sort(shown.begin(), shown.end(), byOrder);
            m_places = QVector<int>(m_rows.size());
            for (int place = 0; place < shown.size(); ++place)
                m_places[shown.at(place)] = place;
            m_byOrder = std::move(shown);
        }
    }
    endResetModel();
}

const ActionRow *ItemsModel::actionAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || index.row() >= m_rows.size())
        return nullptr;
    const int action = shared(index.row()).action;
    return action < 0 ? nullptr : &m_actions.at(action);
}

QModelIndex ItemsModel::indexOfId(int id) const
{
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows.at(row).id == id)
            return index(row);
    return QModelIndex();
}

void ItemsModel::setIconKey(const QModelIndex &at, const QString &hashName)
{
    if (!at.isValid())
        return;
    Held &row = m_rows[at.row()];
    // Empty, not null, which would read the key anew.
    row.iconKey = hashName.isNull() ? QString(QLatin1String("")) : hashName;
    m_found.remove(row.id);
    emit dataChanged(at, at, {Qt::DecorationRole});
}

int ItemsModel::share(const Shared &shared)
{
    // From the last one held: neighbouring rows mostly lie in the same group.
    for (int at = m_shared.size() - 1; at >= 0; --at)
        if (m_shared.at(at) == shared)
            return at;
    m_shared << shared;
    return m_shared.size() - 1;
}

void ItemsModel::releaseFoundIcons()
{
    m_holding = false;
    if (!m_heldBack || m_rows.isEmpty())
        return;
    m_heldBack = false;
    emit dataChanged(index(0), index(m_rows.size() - 1), {Qt::DecorationRole});
}

QModelIndex ItemsModel::index(int row, int column, const QModelIndex &parent) const
{
    return row >= 0 && row < m_rows.size() && column == 0 && !parent.isValid()
               ? createIndex(row, column)
               : QModelIndex();
}

int ItemsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QIcon ItemsModel::icon(int at) const
{
    const IconLoader &icons = IconLoader::instance();
    if (!SettingsControl::instance().isIconLoadEnabled())
        return icons.appIcon();
    if (m_rows.at(at).iconKey.isNull())
        readShown(at);
    const Held &row = m_rows.at(at);
    const QIcon cached = icons.cacheIcon(row.iconKey);
    if (!cached.isNull())
        return cached;
    QIcon &found = m_found[row.id];
    if (found.isNull()) {
        if (m_holding) {
            m_heldBack = true;
            // Of an icon's size, so that the name stands where it will stay.
            static const QIcon blank = [] {
                QPixmap pixmap(64, 64);
                pixmap.fill(Qt::transparent);
                return QIcon(pixmap);
            }();
            return blank;
        }
        const QSqlRecord record =
            DataControl::instance().item_select(QStringLiteral("Type, Path"), row.id);
        found = icons.itemIcon(record.value(QStringLiteral("Type")).toInt(),
                               record.value(QStringLiteral("Path")).toString());
    }
    return found;
}

void ItemsModel::readShown(int row) const
{
    // About a screenful of tiles several times over; one query for all of them.
    constexpr int block = 256;
    const bool byOrder = !m_places.isEmpty();
    const int first = (byOrder ? m_places.at(row) : row) / block * block;
    const int last = std::min(first + block, int(m_rows.size()));
    QVector<int> rows;
    QVector<int> ids;
    for (int place = first; place < last; ++place) {
        const int at = byOrder ? m_byOrder.at(place) : place;
        const Held &each = m_rows.at(at);
        if ((each.name.isNull() || each.iconKey.isNull()) && shared(at).action < 0) {
            rows << at;
            ids << each.id;
        }
    }
    if (ids.isEmpty())
        return;
    QHash<int, QPair<QString, QString>> read;
    QSqlQuery query =
        DataControl::instance().items_byId(QStringLiteral("ID, Name, CAST(IconPath AS BLOB)"), ids);
    while (query.next())
        read.insert(query.value(0).toInt(), {query.value(1).toString(), heldKey(query.value(2))});
    // Empty rather than null for an item gone or without a name or icon: it counts as read.
    const QString none(QLatin1String(""));
    for (int at : qAsConst(rows)) {
        Held &each = m_rows[at];
        const auto found = read.constFind(each.id);
        if (each.name.isNull())
            each.name = found == read.cend() || found->first.isNull() ? none : found->first;
        if (each.iconKey.isNull())
            each.iconKey = found == read.cend() ? none : found->second;
    }
}

QString ItemsModel::heldKey(const QVariant &value) const
{
    // Text or bytes alike; a key is made a string only the first time it is read.
    const QByteArray key = value.toByteArray();
    if (key.isEmpty())
        return QString(QLatin1String(""));
    QString &held = m_keys[key];
    if (held.isNull())
        held = QString::fromUtf8(key);
    return held;
}

QVariant ItemsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const Held &row = m_rows.at(index.row());
    const Shared &common = shared(index.row());
    // First: the sorting proxy asks for it twice per comparison.
    if (role == RowRole && common.action < 0)
        return std::isnan(row.order) ? QVariant() : QVariant(row.order);
    if (common.action >= 0) {
        const ActionRow &action = m_actions.at(common.action);
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return action.title;
        case Qt::DecorationRole: {
            QIcon &icon = m_answerIcons[action.iconName];
            if (icon.isNull())
                icon = IconLoader::instance().answerIcon(action.iconName);
            return icon;
        }
        case Qt::ToolTipRole:
            return action.note.isEmpty() ? action.title
                                         : action.title + QLatin1Char('\n') + action.note;
        case ActionRowRole:
            return common.action;
        default:
            return QVariant();
        }
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (row.name.isNull())
            readShown(index.row());
        return m_rows.at(index.row()).name;
    case Qt::DecorationRole:
        return icon(index.row());
    case Qt::ToolTipRole:
        return tooltip(row.id);
    case ItemIdRole:
        return row.id;
    case TypesIdRole:
        return idOrNone(common.typeId);
    case GroupsIdRole:
        return idOrNone(common.groupId);
    default:
        return QVariant();
    }
}

bool ItemsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return false;
    Held &row = m_rows[index.row()];
    Shared common = shared(index.row());
    QVector<int> roles{role};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (row.name == value.toString())
            return true;
        row.name = value.toString();
        roles = {Qt::DisplayRole, Qt::EditRole};
        break;
    case ItemIdRole:
        row.id = idOf(value);
        break;
    case TypesIdRole:
        common.typeId = idOf(value);
        row.shared = share(common);
        break;
    case GroupsIdRole:
        common.groupId = idOf(value);
        row.shared = share(common);
        break;
    case RowRole: {
        const double order =
            value.isValid() ? value.toDouble() : std::numeric_limits<double>::quiet_NaN();
        if (order == row.order || (std::isnan(order) && std::isnan(row.order)))
            return true;
        row.order = order;
        break;
    }
    default:
        return false;
    }
    // Named by role: a change that names none reads as an edit of the name, which the window
    // writes to the catalogue.
    emit dataChanged(index, index, roles);
    return true;
}

Qt::ItemFlags ItemsModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    if (index.row() < m_rows.size() && shared(index.row()).action >= 0)
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
           Qt::ItemIsDropEnabled | Qt::ItemIsEnabled;
}

bool ItemsModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > m_rows.size())
        return false;
    beginRemoveRows(parent, row, row + count - 1);
    m_rows.remove(row, count);
    m_byOrder = {};
    m_places = {};
    endRemoveRows();
    return true;
}

QString ItemsModel::tooltip(int id)
{
    const QSqlRecord record =
        DataControl::instance().item_select(QStringLiteral("Name, Path, Note, RunCount"), id);
    const QString note = record.value(QStringLiteral("Note")).toString();
    QString tip = QStringLiteral("名称:") + record.value(QStringLiteral("Name")).toString() +
                  QLatin1Char('\n') + QStringLiteral("路径:") +
                  record.value(QStringLiteral("Path")).toString() + QLatin1Char('\n');
    if (!note.isEmpty())
        tip += QStringLiteral("备注:") + note + QLatin1Char('\n');
    return tip + QStringLiteral("运行次数:") + record.value(QStringLiteral("RunCount")).toString();
}
