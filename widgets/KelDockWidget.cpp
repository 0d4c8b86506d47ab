#include "KelDockWidget.h"

KelDockWidget::KelDockWidget(QWidget *parent)
    : QDockWidget(parent)
{}

void KelDockWidget::setDisableMoveAndSize(bool bDisable)
{
    m_pinned = bDisable;
    m_geometry = bDisable ? saveGeometry() : QByteArray();
}

void KelDockWidget::holdGeometry()
{
    if (m_pinned && isFloating())
        restoreGeometry(m_geometry);
}

void KelDockWidget::moveEvent(QMoveEvent *event)
{
    holdGeometry();
    QDockWidget::moveEvent(event);
}

void KelDockWidget::resizeEvent(QResizeEvent *event)
{
    holdGeometry();
    QDockWidget::resizeEvent(event);
}
