#include "ItemRow.h"

#include <QSqlRecord>
#include <QStandardItemModel>

#include <cmath>

#include "DataControl.h"
#include "ItemRoles.h"

namespace {
// Ids of the catalogue are positive; an item shown without a group has none.
QVariant idOrNone(int id)
{
    return id > 0 ? QVariant(id) : QVariant();
}

// Sets member to value; false when it held that value already.
template<typename T>
bool replace(T &member, T value)
{
    if (member == value)
        return false;
    member = value;
    return true;
}

int idOf(const QVariant &value)
{
    bool ok = false;
    const int id = value.toInt(&ok);
    return ok ? id : 0;
}
} // namespace

ItemRow::ItemRow(const QIcon &icon, const QString &name, int id, int typeId, int groupId)
    : QStandardItem(icon, name)
    , m_id(id)
    , m_typeId(typeId)
    , m_groupId(groupId)
{}

QVariant ItemRow::data(int role) const
{
    switch (role) {
    case ItemIdRole:
        return m_id;
    case TypesIdRole:
        return idOrNone(m_typeId);
    case GroupsIdRole:
        return idOrNone(m_groupId);
    case RowRole:
        return std::isnan(m_row) ? QVariant() : QVariant(m_row);
    case Qt::ToolTipRole:
        return tooltip(m_id);
    default:
        return QStandardItem::data(role);
    }
}

void ItemRow::setData(const QVariant &value, int role)
{
    bool changed = false;
    switch (role) {
    case ItemIdRole:
        changed = replace(m_id, idOf(value));
        break;
    case TypesIdRole:
        changed = replace(m_typeId, idOf(value));
        break;
    case GroupsIdRole:
        changed = replace(m_groupId, idOf(value));
        break;
    case RowRole: {
        const double row =
            value.isValid() ? value.toDouble() : std::numeric_limits<double>::quiet_NaN();
        changed = !(std::isnan(row) && std::isnan(m_row)) && replace(m_row, row);
        break;
    }
    default:
        QStandardItem::setData(value, role);
        return;
    }
    if (!changed)
        return;
    // Named by role: emitDataChanged() names none, and a change that names no role reads as
    // an edit of the name, which the window writes to the catalogue.
    if (QStandardItemModel *owner = model()) {
        const QModelIndex at = index();
        emit owner->dataChanged(at, at, {role});
    }
}

QString ItemRow::tooltip(int id)
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
