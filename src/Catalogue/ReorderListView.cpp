#include "Catalogue/ReorderListView.h"

#include <QDragEnterEvent>
#include <QMimeData>

ReorderListView::ReorderListView(QWidget *parent,
                                 const QString &format,
                                 int idRole,
                                 DragReorder::Store store)
    : QListView(parent)
    , m_reorder(std::make_unique<DragReorder>(this, format, idRole, std::move(store)))
{
    setAcceptDrops(true);
    setDefaultDropAction(Qt::MoveAction);
    setMovement(QListView::Free);
    m_reorder->setRows([this] {
        QList<QPersistentModelIndex> rows;
        for (int row = 0; row < model()->rowCount(); ++row)
            rows << model()->index(row, 0);
        return rows;
    });
    m_reorder->setSort([this] { model()->sort(0, Qt::AscendingOrder); });
}

ReorderListView::~ReorderListView() = default;

void ReorderListView::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasFormat(m_reorder->format()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void ReorderListView::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasFormat(m_reorder->format()))
        m_reorder->preview(event);
    else
        event->ignore();
}

void ReorderListView::startDrag(Qt::DropActions)
{
    if (model())
        m_reorder->run(currentIndex(), QPixmap());
}
