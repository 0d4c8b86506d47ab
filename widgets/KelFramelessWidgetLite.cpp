#include "KelFramelessWidgetLite.h"

KelFramelessWidgetLite::KelFramelessWidgetLite(QWidget *parent)
    : QWidget(parent)
{
    // The hint alone: subclasses add a window type or further hints themselves.
    setWindowFlags(Qt::FramelessWindowHint);
}

void KelFramelessWidgetLite::setWindowMoveFreely(bool bFree)
{
    m_drag.moveFreely = bFree;
}

void KelFramelessWidgetLite::mousePressEvent(QMouseEvent *event)
{
    m_drag.press(event);
    QWidget::mousePressEvent(event);
}

void KelFramelessWidgetLite::mouseReleaseEvent(QMouseEvent *event)
{
    m_drag.release(event);
    QWidget::mouseReleaseEvent(event);
}

void KelFramelessWidgetLite::mouseMoveEvent(QMouseEvent *event)
{
    m_drag.move(this);
    QWidget::mouseMoveEvent(event);
}
