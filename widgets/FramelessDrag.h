#pragma once

#include <QPoint>

class QMouseEvent;
class QWidget;

// The drag-anywhere logic the frameless window bases share: a left press anywhere on the
// window starts a drag that keeps the pressed point under the cursor.
class FramelessDrag final
{
public:
    void press(const QMouseEvent *event);
    void move(QWidget *window) const;
    void release(const QMouseEvent *event);

    bool moveFreely = true;

private:
    QPoint m_offset;
    bool m_pressed = false;
};
