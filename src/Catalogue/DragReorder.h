#pragma once

#include <QList>
#include <QPersistentModelIndex>
#include <QString>

#include <functional>

class QAbstractItemView;
class QDragMoveEvent;
class QPixmap;
class QVariant;

// Reordering a list by dragging one of its entries: the rows are numbered in display order, the
// dragged entry's position is previewed over each entry the cursor passes, and the order left
// when the drag ends is stored in one transaction.
class DragReorder final
{
public:
    using Store = std::function<bool(const QVariant &id, const QVariant &row)>;
    // The rows of the model that holds the order, in display order.
    using Rows = std::function<QList<QPersistentModelIndex>()>;
    // Re-sorts after a preview; empty where the model sorts itself.
    using Sort = std::function<void()>;

    DragReorder(QAbstractItemView *view, QString format, int idRole, Store store);

    void setRows(Rows rows) { m_rows = std::move(rows); }
    void setSort(Sort sort) { m_sort = std::move(sort); }

    // Runs the whole drag of one entry (a row of the model that holds the order); returns when
    // it was dropped or cancelled.
    void run(const QModelIndex &dragged, const QPixmap &pixmap);
    // The preview while the drag moves over the view.
    void preview(QDragMoveEvent *event);

    const QString &format() const { return m_format; }

private:
    void renumber(bool store);

    QAbstractItemView *m_view;
    QString m_format;
    int m_idRole;
    Store m_store;
    Rows m_rows;
    Sort m_sort;
    QPersistentModelIndex m_dragged;
};
