#pragma once

#include <QSpinBox>

#include "kelwidgets_export.h"

// A spin box that shows its arrow buttons only while the mouse is over it.
class KELWIDGETS_EXPORT KelSpinBox : public QSpinBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KelSpinBox)

public:
    explicit KelSpinBox(QWidget *parent = nullptr);

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
};
