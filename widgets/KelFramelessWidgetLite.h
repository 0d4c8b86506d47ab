#pragma once

#include <QWidget>

#include "FramelessDrag.h"
#include "kelwidgets_export.h"

// A borderless window the user drags by pressing the left button anywhere on it.
class KELWIDGETS_EXPORT KelFramelessWidgetLite : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KelFramelessWidgetLite)

public:
    explicit KelFramelessWidgetLite(QWidget *parent = nullptr);

public slots:
    void setWindowMoveFreely(bool bFree);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    FramelessDrag m_drag;
};
