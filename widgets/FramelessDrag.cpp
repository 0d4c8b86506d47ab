#include "FramelessDrag.h"

#include <QCursor>
#include <QMouseEvent>
#include <QWidget>

void FramelessDrag::press(const QMouseEvent *event)
{
    if (moveFreely && event->button() == Qt::LeftButton) {
        m_offset = event->pos();
        m_pressed = true;
    }
}

void FramelessDrag::move(QWidget *window) const
{
    if (moveFreely && m_pressed)
        window->move(QCursor::pos() - m_offset);
}

void FramelessDrag::release(const QMouseEvent *event)
{
    if (moveFreely && event->button() == Qt::LeftButton)
        m_pressed = false;
}
