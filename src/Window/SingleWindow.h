#pragma once

#include <QPointer>
#include <QWidget>

// Shows the one window of its kind: created without a parent when there is none, deleted when
// closed (the guarded pointer then clears itself), shown in normal state and activated.
template<class Window>
Window *showSingleWindow(QPointer<Window> &window)
{
    if (!window) {
        window = new Window;
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->showNormal();
    window->raise();
    window->activateWindow();
    return window;
}
