#pragma once

#include <QVariant>
#include <Qt>

// Item-data roles carried by the rows of every catalogue model.
enum ItemRole {
    TypesIdRole = Qt::UserRole + 1,
    GroupsIdRole = Qt::UserRole + 2,
    ItemIdRole = Qt::UserRole + 3,
    // The display position; the sort role of the types and groups models and the items proxy.
    // Kept as a floating-point number so that a previewed drag position (n ± 0.5) sorts right.
    RowRole = Qt::UserRole + 4,
    // On the results page, a row that is a search box's answer other than an item: its index
    // among the page's answers; none for an item.
    ActionRowRole = Qt::UserRole + 5,
};

// The RowRole value of a stored Row: rows never numbered sort before every number, among
// themselves in the order the query returned them.
inline QVariant rowPosition(const QVariant &row)
{
    return row.isNull() ? -1.0 : row.toDouble();
}
