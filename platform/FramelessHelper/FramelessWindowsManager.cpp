#include "FramelessWindowsManager.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <QX11Info>

#include <xcb/xcb.h>

namespace {
// Watches one window's mouse events before its widgets see them.
//
// A widget's native window is re-created when its flags change (always-on-top, for one), so the
// filter belongs to the widget and follows it to every new window.
class FramelessFilter final : public QObject
{
public:
    FramelessFilter(QObject *owner, QWidget *widget, QWindow *window)
        : QObject(owner)
        , m_widget(widget)
    {
        setObjectName(filterName());
        if (widget)
            widget->installEventFilter(this);
        hook(window);
    }

    static QString filterName() { return QStringLiteral("FramelessFilter"); }

    QList<QPointer<QObject>> chrome;
    int titleBarHeight = 30;
    int borderWidth = 2;
    int borderHeight = 2;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Qt::Edges edgesAt(const QPoint &pos) const;
    bool isOnChrome(const QPoint &pos) const;
    void updateCursor(Qt::Edges edges);
    void syncPosition();

    void hook(QWindow *window)
    {
        if (window == m_window)
            return;
        m_window = window;
        m_manualMove = false;
        m_cursorSet = false;
        if (window)
            window->installEventFilter(this);
    }

    QPointer<QWidget> m_widget;
    QPointer<QWindow> m_window;
    bool m_manualMove = false;
    QPoint m_pressOffset;
    bool m_cursorSet = false;
};

QWidget *widgetOf(QWindow *window)
{
    return window ? QWidget::find(window->winId()) : nullptr;
}

FramelessFilter *filterOf(QWindow *window)
{
    QObject *owner = widgetOf(window);
    if (!owner)
        owner = window;
    if (!owner)
        return nullptr;
    // Found by name: without a meta-object of its own the filter cannot be told apart by type.
    return dynamic_cast<FramelessFilter *>(
        owner->findChild<QObject *>(FramelessFilter::filterName(), Qt::FindDirectChildrenOnly));
}

Qt::Edges FramelessFilter::edgesAt(const QPoint &pos) const
{
    if (m_window->windowStates() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return {};
    Qt::Edges edges;
    if (pos.x() < borderWidth)
        edges |= Qt::LeftEdge;
    if (pos.x() >= m_window->width() - borderWidth)
        edges |= Qt::RightEdge;
    if (pos.y() < borderHeight)
        edges |= Qt::TopEdge;
    if (pos.y() >= m_window->height() - borderHeight)
        edges |= Qt::BottomEdge;
    return edges;
}

bool FramelessFilter::isOnChrome(const QPoint &pos) const
{
    const QWidget *top = m_widget;
    if (!top)
        return false;
    for (const QWidget *child = top->childAt(pos); child; child = child->parentWidget()) {
        for (const QPointer<QObject> &object : chrome)
            if (object == child)
                return child->isVisible();
    }
    return false;
}

void FramelessFilter::updateCursor(Qt::Edges edges)
{
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        shape = Qt::SizeFDiagCursor;
    else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        shape = Qt::SizeBDiagCursor;
    else if (edges & (Qt::LeftEdge | Qt::RightEdge))
        shape = Qt::SizeHorCursor;
    else if (edges & (Qt::TopEdge | Qt::BottomEdge))
        shape = Qt::SizeVerCursor;

    if (edges) {
        m_window->setCursor(shape);
        m_cursorSet = true;
    } else if (m_cursorSet) {
        m_window->unsetCursor();
        m_cursorSet = false;
    }
}

void FramelessFilter::syncPosition()
{
    // A window manager that places a frameless window at map time may not tell Qt where it put
    // it; Qt then keeps (0, 0), and everything positioned from it (notices, the saved geometry)
    // is off. Ask the X server and tell Qt.
    if (!QX11Info::isPlatformX11() || !m_window->isExposed())
        return;
    xcb_connection_t *connection = QX11Info::connection();
    xcb_translate_coordinates_reply_t *reply = xcb_translate_coordinates_reply(
        connection,
        xcb_translate_coordinates(connection, xcb_window_t(m_window->winId()),
                                  QX11Info::appRootWindow(), 0, 0),
        nullptr);
    if (!reply)
        return;
    const QPoint actual(reply->dst_x, reply->dst_y);
    free(reply);
    if (actual == m_window->position())
        return;
    if (m_widget)
        m_widget->move(actual);
    else
        m_window->setPosition(actual);
}

bool FramelessFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_widget) {
        if (event->type() == QEvent::WinIdChange)
            hook(m_widget->windowHandle());
        return false;
    }
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        const QPoint pos = mouse->localPos().toPoint();
        if (const Qt::Edges edges = edgesAt(pos)) {
            m_window->startSystemResize(edges);
            return true;
        }
        if (pos.y() >= titleBarHeight || isOnChrome(pos))
            return false;
        // Window managers that refuse the request leave the move to us.
        // The offset is taken inside the window: Qt's idea of where the window is on screen
        // can be stale under a reparenting window manager.
        if (!m_window->startSystemMove()) {
            m_manualMove = true;
            m_pressOffset = mouse->localPos().toPoint();
        }
        return true;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (m_manualMove) {
            m_window->setPosition(mouse->globalPos() - m_pressOffset);
            return true;
        }
        if (mouse->buttons() == Qt::NoButton)
            updateCursor(edgesAt(mouse->localPos().toPoint()));
        return false;
    }
    case QEvent::MouseButtonRelease:
        if (m_manualMove && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            m_manualMove = false;
            return true;
        }
        return false;
    case QEvent::MouseButtonDblClick: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint pos = mouse->localPos().toPoint();
        if (mouse->button() != Qt::LeftButton || pos.y() >= titleBarHeight || isOnChrome(pos))
            return false;
        m_window->setWindowStates(m_window->windowStates() ^ Qt::WindowMaximized);
        return true;
    }
    case QEvent::Leave:
        updateCursor({});
        return false;
    case QEvent::Expose:
        syncPosition();
        return false;
    default:
        return false;
    }
}
} // namespace

void FramelessWindowsManager::addWindow(QWindow *window)
{
    if (!window || filterOf(window))
        return;
    window->setFlags(window->flags() | Qt::FramelessWindowHint);
    QWidget *widget = widgetOf(window);
    if (!widget) {
        new FramelessFilter(window, nullptr, window);
        return;
    }
    // Told to the widget as well, without re-creating the window, so the hint survives every
    // later re-creation of its native window.
    widget->overrideWindowFlags(widget->windowFlags() | Qt::FramelessWindowHint);
    new FramelessFilter(widget, widget, window);
}

void FramelessWindowsManager::setHitTestVisibleInChrome(QWindow *window,
                                                        QObject *object,
                                                        bool visible)
{
    FramelessFilter *filter = filterOf(window);
    if (!filter || !object)
        return;
    filter->chrome.removeAll(object);
    if (visible)
        filter->chrome.append(object);
}

void FramelessWindowsManager::setTitleBarHeight(QWindow *window, int height)
{
    if (FramelessFilter *filter = filterOf(window))
        filter->titleBarHeight = height;
}

void FramelessWindowsManager::setBorderWidth(QWindow *window, int width)
{
    if (FramelessFilter *filter = filterOf(window))
        filter->borderWidth = width;
}

void FramelessWindowsManager::setBorderHeight(QWindow *window, int height)
{
    if (FramelessFilter *filter = filterOf(window))
        filter->borderHeight = height;
}
