#include "Window/KeyboardCatcher.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>
#include <QX11Info>

#include <utility>

#include <xcb/xcb.h>

KeyboardCatcher::KeyboardCatcher(QObject *parent)
    : QObject(parent)
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(1000);
    connect(&m_deadline, &QTimer::timeout, this, &KeyboardCatcher::release);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow *window) {
        if (m_catching && m_target && window && window == m_target->window()->windowHandle())
            release();
    });
}

KeyboardCatcher::~KeyboardCatcher()
{
    if (m_window && QX11Info::isPlatformX11()) {
        if (m_catching)
            xcb_ungrab_keyboard(QX11Info::connection(), XCB_CURRENT_TIME);
        xcb_destroy_window(QX11Info::connection(), m_window);
        xcb_flush(QX11Info::connection());
    }
}

bool KeyboardCatcher::ensureWindow()
{
    if (m_window)
        return true;
    if (!QX11Info::isPlatformX11())
        return false;
    xcb_connection_t *connection = QX11Info::connection();
    m_window = xcb_generate_id(connection);
    // Input only, so never drawn; override-redirect, so no window manager handles it; mapped
    // off screen, because only a viewable window can hold a grab.
    const quint32 values[] = {1, XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, m_window, QX11Info::appRootWindow(), -10,
                      -10, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(connection, m_window);
    qApp->installNativeEventFilter(this);
    return true;
}

void KeyboardCatcher::catchFor(QWidget *target)
{
    if (!ensureWindow() || (target->window()->isActiveWindow()))
        return;
    xcb_connection_t *connection = QX11Info::connection();
    const xcb_grab_keyboard_cookie_t cookie = xcb_grab_keyboard(
        connection, 0, m_window, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_grab_keyboard_reply_t *reply = xcb_grab_keyboard_reply(connection, cookie, nullptr);
    // Another client holding the keyboard (a menu, a screen locker) keeps it.
    const bool grabbed = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    free(reply);
    if (!grabbed)
        return;
    m_target = target;
    m_catching = true;
    m_deadline.start();
}

void KeyboardCatcher::release()
{
    if (!m_catching)
        return;
    m_catching = false;
    m_deadline.stop();
    // Sent before the grab ends, so that they come before whatever is typed next.
    const QVector<xcb_key_press_event_t> caught = std::exchange(m_caught, {});
    for (const xcb_key_press_event_t &key : caught)
        deliver(key);
    xcb_ungrab_keyboard(QX11Info::connection(), XCB_CURRENT_TIME);
    xcb_flush(QX11Info::connection());
}

void KeyboardCatcher::deliver(xcb_key_press_event_t key)
{
    if (!m_target)
        return;
    // The key as the server gave it, now to the target's window: Qt reads it there as it reads
    // any key (the keyboard's layout, the modifiers held when it was typed, Unicode), and an
    // input method composes with it.
    const xcb_window_t window = xcb_window_t(m_target->window()->winId());
    key.event = window;
    key.child = XCB_WINDOW_NONE;
    const bool press = (key.response_type & ~0x80) == XCB_KEY_PRESS;
    xcb_send_event(QX11Info::connection(), 0, window,
                   press ? XCB_EVENT_MASK_KEY_PRESS : XCB_EVENT_MASK_KEY_RELEASE,
                   reinterpret_cast<const char *>(&key));
}

bool KeyboardCatcher::nativeEventFilter(const QByteArray &eventType, void *message, long *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const int type = event->response_type & ~0x80;
    // The server's word that the target's window has the keyboard. Qt may not say so: it keeps
    // a window active for a while after it lost the focus, so a window hidden and shown again
    // at once never changes Qt's focus window.
    if (type == XCB_FOCUS_IN && m_catching && m_target &&
        static_cast<const xcb_focus_in_event_t *>(message)->event == m_target->window()->winId()) {
        QMetaObject::invokeMethod(this, &KeyboardCatcher::release, Qt::QueuedConnection);
        return false;
    }
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    const auto *key = static_cast<const xcb_key_press_event_t *>(message);
    if (key->event != m_window)
        return false;
    // Keys still arriving from the grab after it ended come after the caught ones.
    if (m_catching)
        m_caught << *key;
    else
        deliver(*key);
    xcb_flush(QX11Info::connection());
    return true;
}
