#pragma once

#include <QDialog>

#include "FramelessDrag.h"
#include "kelwidgets_export.h"

// A borderless window the user drags by pressing the left button anywhere on it.
class KELWIDGETS_EXPORT KelFramelessDialogLite : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KelFramelessDialogLite)

public:
    explicit KelFramelessDialogLite(QWidget *parent = nullptr);

public slots:
    void setWindowMoveFreely(bool bFree);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    FramelessDrag m_drag;
};
