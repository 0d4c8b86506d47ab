#include "KelWidgetHelper.h"

#include <QWidget>

void KelWidgetHelper::setWindowStaysOnTop(QWidget *widget, bool onTop, bool keepShown)
{
    if (widget->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop)
        return;
    // Changing a window flag re-creates the native window hidden; the flag itself is what the
    // window manager reads at every later map, so it survives hiding and showing again.
    const bool wasVisible = widget->isVisible();
    const QRect geometry = widget->geometry();
    widget->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (keepShown && wasVisible) {
        widget->setGeometry(geometry);
        widget->show();
    }
}
