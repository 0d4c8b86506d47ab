#include "KelFramelessDialogLite.h"

KelFramelessDialogLite::KelFramelessDialogLite(QWidget *parent)
    : QDialog(parent)
{
    // The hint alone: subclasses add a window type or further hints themselves.
    setWindowFlags(Qt::FramelessWindowHint);
}

void KelFramelessDialogLite::setWindowMoveFreely(bool bFree)
{
    m_drag.moveFreely = bFree;
}

void KelFramelessDialogLite::mousePressEvent(QMouseEvent *event)
{
    m_drag.press(event);
    QDialog::mousePressEvent(event);
}

void KelFramelessDialogLite::mouseReleaseEvent(QMouseEvent *event)
{
    m_drag.release(event);
    QDialog::mouseReleaseEvent(event);
}

void KelFramelessDialogLite::mouseMoveEvent(QMouseEvent *event)
{
    m_drag.move(this);
    QDialog::mouseMoveEvent(event);
}
