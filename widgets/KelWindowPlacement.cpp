#include "KelWindowPlacement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

void KelWindowPlacement::placeOver(QWidget *window, const QWidget *anchor)
{
    const QWidget *over = anchor && anchor->window()->isVisible() ? anchor->window() : nullptr;
    QScreen *screen = over ? QGuiApplication::screenAt(over->frameGeometry().center())
                           : QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();

    // The size it will show at: style sheets applied, and every layout's minimum from the inside
    // out (a hidden window's inner layouts are otherwise only worked out as it shows).
    window->ensurePolished();
    const QList<QWidget *> inside = window->findChildren<QWidget *>();
    for (auto widget = inside.crbegin(); widget != inside.crend(); ++widget)
        if ((*widget)->layout())
            (*widget)->layout()->activate();
    if (QLayout *layout = window->layout())
        layout->activate();
    // The window manager's frame, known once the window was shown.
    const QRect inner = window->geometry();
    const QRect outer = window->frameGeometry();
    const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                         outer.right() - inner.right(), outer.bottom() - inner.bottom());
    window->resize(window->size().boundedTo(available.size().shrunkBy(frame)));

    QRect placed(QPoint(), window->size().grownBy(frame));
    placed.moveCenter(over ? over->frameGeometry().center() : available.center());
    // Inside the area; the top-left corner wins where a minimum size leaves it too large.
    placed.moveRight(qMin(placed.right(), available.right()));
    placed.moveBottom(qMin(placed.bottom(), available.bottom()));
    placed.moveLeft(qMax(placed.left(), available.left()));
    placed.moveTop(qMax(placed.top(), available.top()));
    window->move(placed.topLeft());
}
