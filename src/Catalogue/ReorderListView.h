#pragma once

#include <QListView>

#include <memory>

#include "Catalogue/DragReorder.h"

// A list over a model sorted by RowRole that the user reorders by dragging its entries; it accepts
// drags of its own format only.
class ReorderListView : public QListView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReorderListView)

public:
    ~ReorderListView() override;

protected:
    ReorderListView(QWidget *parent, const QString &format, int idRole, DragReorder::Store store);

    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    std::unique_ptr<DragReorder> m_reorder;
};
