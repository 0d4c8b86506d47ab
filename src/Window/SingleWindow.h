#pragma once

#include <QPointer>
#include <QWidget>

#include "KelWindowPlacement.h"

// Shows the one window of its kind: created without a parent when there is none, fitted to the
// screen of the window it is opened from and centred on it, deleted when closed (the guarded
// pointer then clears itself), shown in normal state and activated.
template<class Window>
Window *showSingleWindow(QPointer<Window> &window, const QWidget *openedFrom)
{
    if (!window) {
        window = new Window;
        window->setAttribute(Qt::WA_DeleteOnClose);
        KelWindowPlacement::placeOver(window, openedFrom);
    }
    window->showNormal();
    window->raise();
    window->activateWindow();
    return window;
}
