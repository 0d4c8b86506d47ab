#pragma once

#include <Qt>

// Item-data roles carried by the rows of every catalogue model.
enum ItemRole {
    TypesIdRole = Qt::UserRole + 1,
    GroupsIdRole = Qt::UserRole + 2,
    ItemIdRole = Qt::UserRole + 3,
    // The display position; the sort role of the types and groups models and the items proxy.
    // Kept as a floating-point number so that a previewed drag position (n ± 0.5) sorts right.
    RowRole = Qt::UserRole + 4,
};
