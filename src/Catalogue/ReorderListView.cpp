#include "ReorderListView.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QStandardItemModel>

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
        for (int row = 0; row < m_model->rowCount(); ++row)
            rows << m_model->index(row, 0);
        return rows;
    });
    m_reorder->setSort([this] { m_model->sort(0, Qt::AscendingOrder); });
}

ReorderListView::~ReorderListView() = default;

QStandardItemModel *ReorderListView::standardModel()
{
    if (!m_model)
        m_model = qobject_cast<QStandardItemModel *>(model());
    return m_model;
}

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
    if (standardModel())
        m_reorder->run(currentIndex(), QPixmap());
}
