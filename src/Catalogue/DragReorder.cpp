#include "Catalogue/DragReorder.h"

#include <QAbstractItemView>
#include <QDrag>
#include <QDragMoveEvent>
#include <QMimeData>

#include "Core/DataControl.h"
#include "Icons/IconLoader.h"
#include "Catalogue/ItemRoles.h"

DragReorder::DragReorder(QAbstractItemView *view, QString format, int idRole, Store store)
    : m_view(view)
    , m_format(std::move(format))
    , m_idRole(idRole)
    , m_store(std::move(store))
{}

void DragReorder::renumber(bool store)
{
    const QList<QPersistentModelIndex> rows = m_rows();
    DataControl &data = DataControl::instance();
    if (store)
        data.database_transaction(true);
    for (int row = 0; row < rows.size(); ++row) {
        QAbstractItemModel *model = const_cast<QAbstractItemModel *>(rows.at(row).model());
        model->setData(rows.at(row), double(row), RowRole);
        if (store)
            m_store(rows.at(row).data(m_idRole), row);
    }
    if (store)
        data.database_transaction(false);
}

void DragReorder::run(const QModelIndex &dragged, const QPixmap &pixmap)
{
    if (!dragged.isValid())
        return;
    auto *mime = new QMimeData;
    mime->setData(m_format, QByteArray());
    auto *drag = new QDrag(m_view);
    drag->setMimeData(mime);
    drag->setDragCursor(
        IconLoader::instance().loadPixmap(QStringLiteral(":/icon/exchange.svg"), QSize(32, 32)),
        Qt::MoveAction);
    drag->setHotSpot(QPoint(25, 25));
    if (!pixmap.isNull())
        drag->setPixmap(pixmap);

    // Even numbering first, so that "just before" and "just after" a target are well defined.
    renumber(false);
    m_dragged = dragged;
    drag->exec(Qt::MoveAction);
    m_dragged = QPersistentModelIndex();
    // Whatever order the preview left is the order kept, dropped or cancelled.
    renumber(true);
}

void DragReorder::preview(QDragMoveEvent *event)
{
    const QModelIndex target = m_view->indexAt(event->pos());
    if (!target.isValid() || !m_dragged.isValid()) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    if (target != m_view->currentIndex()) {
        const double dragged = m_dragged.data(RowRole).toDouble();
        const double over = target.data(RowRole).toDouble();
        const_cast<QAbstractItemModel *>(m_dragged.model())
            ->setData(m_dragged, over < dragged ? over - 0.5 : over + 0.5, RowRole);
        if (m_sort)
            m_sort();
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}
