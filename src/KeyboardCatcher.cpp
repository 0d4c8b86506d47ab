#include "KeyboardCatcher.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>
#include <QX11Info>

#include <algorithm>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

// Xlib's names clash with Qt's (QEvent::KeyPress).
namespace {
constexpr int xKeyPress = KeyPress;
}
#undef KeyPress
#undef KeyRelease

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
    xcb_ungrab_keyboard(QX11Info::connection(), XCB_CURRENT_TIME);
    xcb_flush(QX11Info::connection());
    const QVector<Key> caught = std::exchange(m_caught, {});
    for (const Key &key : caught)
        deliver(key);
}

void KeyboardCatcher::deliver(const Key &key)
{
    if (!m_target)
        return;
    QKeyEvent press(QEvent::KeyPress, key.key, key.modifiers, key.text);
    QApplication::sendEvent(m_target, &press);
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
    const auto *keyEvent = static_cast<const xcb_key_press_event_t *>(message);
    if (keyEvent->event != m_window)
        return false;
    if (type == XCB_KEY_RELEASE)
        return true;
    // Translated as Xlib would for a window of its own: the keyboard map and the modifiers.
    XKeyEvent x{};
    x.type = xKeyPress;
    x.display = QX11Info::display();
    x.window = keyEvent->event;
    x.root = keyEvent->root;
    x.time = keyEvent->time;
    x.state = keyEvent->state;
    x.keycode = keyEvent->detail;
    char buffer[16] = {};
    KeySym keysym = NoSymbol;
    const int length = XLookupString(&x, buffer, sizeof buffer - 1, &keysym, nullptr);
    Key key{Qt::Key_unknown, QString(), Qt::NoModifier};
    if (keyEvent->state & ShiftMask)
        key.modifiers |= Qt::ShiftModifier;
    if (keyEvent->state & ControlMask)
        key.modifiers |= Qt::ControlModifier;
    if (keyEvent->state & Mod1Mask)
        key.modifiers |= Qt::AltModifier;
    if (keyEvent->state & Mod4Mask)
        key.modifiers |= Qt::MetaModifier;
    const bool command = key.modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    // The keys that edit and move in a line edit; the rest of the keyboard has nothing to do
    // in the search box.
    static const struct
    {
        KeySym symbol;
        int key;
    } editing[] = {{XK_Return, Qt::Key_Return},
                   {XK_KP_Enter, Qt::Key_Return},
                   {XK_BackSpace, Qt::Key_Backspace},
                   {XK_Delete, Qt::Key_Delete},
                   {XK_Escape, Qt::Key_Escape},
                   {XK_Tab, Qt::Key_Tab},
                   {XK_Up, Qt::Key_Up},
                   {XK_Down, Qt::Key_Down},
                   {XK_Left, Qt::Key_Left},
                   {XK_Right, Qt::Key_Right},
                   {XK_Home, Qt::Key_Home},
                   {XK_End, Qt::Key_End},
                   {XK_Page_Up, Qt::Key_PageUp},
                   {XK_Page_Down, Qt::Key_PageDown}};
    const auto named = std::find_if(std::begin(editing), std::end(editing),
                                    [keysym](const auto &entry) { return entry.symbol == keysym; });
    if (named != std::end(editing))
        key.key = named->key;
    else if (command && keysym >= XK_a && keysym <= XK_z)
        key.key = Qt::Key_A + int(keysym - XK_a); // Ctrl+A, Ctrl+V and the like
    else if (command && keysym >= XK_A && keysym <= XK_Z)
        key.key = Qt::Key_A + int(keysym - XK_A);
    else if (length > 0 && !command && QChar(buffer[0]).isPrint())
        key.text = QString::fromLatin1(buffer, length); // what XLookupString gives
    else
        return true; // modifiers and the like: nothing to keep
    // Keys still arriving from the grab after it ended come after the caught ones.
    if (m_catching)
        m_caught << key;
    else
        deliver(key);
    return true;
}
