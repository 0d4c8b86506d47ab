#include "Catalogue/CatalogueListModel.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <numeric>

#include "Icons/IconLoader.h"
#include "Catalogue/ItemRoles.h"

CatalogueListModel::CatalogueListModel(Kind kind, QObject *parent)
    : QAbstractListModel(parent)
    , m_kind(kind)
{}

int CatalogueListModel::load(QSqlQuery &query, int typeId)
{
    const QSqlRecord record = query.record();
    const int id = record.indexOf(QStringLiteral("ID"));
    const int name = record.indexOf(QStringLiteral("Name"));
    const int order = record.indexOf(QStringLiteral("Row"));
    const int iconPath = record.indexOf(QStringLiteral("IconPath"));
    QVector<Row> rows;
    int first = 0;
    while (query.next()) {
        Row row;
        row.id = query.value(id).toInt();
        row.typeId = m_kind == Kind::Types ? row.id : typeId;
        row.order = rowPosition(query.value(order)).toDouble();
        row.name = query.value(name).toString();
        row.iconKey = query.value(iconPath).toString();
        if (rows.isEmpty())
            first = row.id;
        rows << row;
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row &a, const Row &b) { return a.order < b.order; });
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
    return first;
}

void CatalogueListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

QModelIndex CatalogueListModel::indexOfId(int id) const
{
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows.at(row).id == id)
            return index(row);
    return QModelIndex();
}

void CatalogueListModel::setIconKey(const QModelIndex &index, const QString &hashName)
{
    if (!index.isValid() || index.model() != this)
        return;
    m_rows[index.row()].iconKey = hashName;
    emit dataChanged(index, index, {Qt::DecorationRole});
}

int CatalogueListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant CatalogueListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return row.name;
    case Qt::DecorationRole:
        // Held once per key by the loader, shared by every row that names it.
        return IconLoader::instance().cacheIcon(row.iconKey);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case TypesIdRole:
        return row.typeId;
    case GroupsIdRole:
        return m_kind == Kind::Groups ? QVariant(row.id) : QVariant();
    case RowRole:
        return row.order;
    default:
        return QVariant();
    }
}

bool CatalogueListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return false;
    Row &row = m_rows[index.row()];
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        // An editor closed without a change is no rename to store.
        if (row.name == value.toString())
            return true;
        row.name = value.toString();
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
        return true;
    }
    if (role == RowRole) {
        row.order = value.toDouble();
        emit dataChanged(index, index, {RowRole});
        return true;
    }
    return false;
}

Qt::ItemFlags CatalogueListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
           Qt::ItemIsDropEnabled;
}

void CatalogueListModel::sort(int, Qt::SortOrder)
{
    QVector<int> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return m_rows.at(a).order < m_rows.at(b).order; });
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QVector<int> newRow(m_rows.size());
    QVector<Row> sorted;
    sorted.reserve(m_rows.size());
    for (int position = 0; position < order.size(); ++position) {
        newRow[order.at(position)] = position;
        sorted << m_rows.at(order.at(position));
    }
    m_rows = std::move(sorted);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after << index.sibling(newRow.at(index.row()), 0);
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
