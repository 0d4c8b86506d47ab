#include "Window/WindowPlacement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {
QScreen *screenOf(const QWidget *window)
{
    return QGuiApplication::screenAt(window->frameGeometry().center());
}
} // namespace

void WindowPlacement::remember(const QWidget *window)
{
    if (const QScreen *screen = screenOf(window))
        m_positions.insert(screen->name(), window->pos());
}

void WindowPlacement::placeOnPointerScreen(QWidget *window, bool atCursor) const
{
    QScreen *pointer = QGuiApplication::screenAt(QCursor::pos());
    if (!pointer)
        return;
    if (!atCursor) {
        // A window left on no screen (one taken away since) comes to the pointer's as well.
        if (screenOf(window) == pointer)
            return;
        const auto remembered = m_positions.constFind(pointer->name());
        if (remembered != m_positions.cend()) {
            window->move(*remembered);
            return;
        }
    }
    QRect frame = window->frameGeometry();
    frame.moveCenter(pointer->availableGeometry().center());
    window->move(frame.topLeft());
}
