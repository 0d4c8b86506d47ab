#pragma once

#include <QDockWidget>

#include "kelwidgets_export.h"

// A dock widget whose floating window can be pinned: while pinned, any move or resize snaps
// back to the geometry it had when pinning was switched on.
class KELWIDGETS_EXPORT KelDockWidget : public QDockWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KelDockWidget)

public:
    explicit KelDockWidget(QWidget *parent = nullptr);

    bool isDisableMoveAndSize() const { return m_pinned; }

public slots:
    void setDisableMoveAndSize(bool bDisable);

protected:
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void holdGeometry();

    bool m_pinned = false;
    QByteArray m_geometry;
};
