#include "QHotkey.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QHash>
#include <QX11Info>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace {
// Locks that must not keep a hotkey from firing: CapsLock and NumLock (Mod2 on every common
// keyboard map).
constexpr quint16 lockMasks[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                 XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr quint16 ignoredMasks = XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2;

quint64 comboKey(quint32 keycode, quint16 modifiers)
{
    return (quint64(keycode) << 16) | modifiers;
}

// Routes grabbed key presses on the root window to the hotkey that owns the combination.
class HotkeyDispatcher final : public QAbstractNativeEventFilter
{
public:
    static HotkeyDispatcher &instance()
    {
        static HotkeyDispatcher dispatcher;
        return dispatcher;
    }

    QHash<quint64, QHotkey *> hotkeys;

    bool nativeEventFilter(const QByteArray &eventType, void *message, long *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & ~0x80) != XCB_KEY_PRESS)
            return false;
        const auto *press = static_cast<const xcb_key_press_event_t *>(message);
        QHotkey *hotkey = hotkeys.value(comboKey(press->detail, press->state & ~ignoredMasks));
        // The grab holds the keyboard still at the press (synchronous mode): whatever is typed
        // next waits in the server until it is let go, so a listener to pressed() can take the
        // keyboard first and no key slips to another window.
        if (hotkey) {
            // The press is the user's action the window shows for: a window manager that
            // prevents focus stealing compares its time with the last input elsewhere. Qt takes
            // event times only from its own windows' events.
            QX11Info::setAppTime(press->time);
            QX11Info::setAppUserTime(press->time);
            emit hotkey->pressed();
        }
        xcb_allow_events(QX11Info::connection(), XCB_ALLOW_ASYNC_KEYBOARD, press->time);
        xcb_flush(QX11Info::connection());
        if (!hotkey)
            return false;
        // Delivered from the event loop, not from inside the X event handling.
        QMetaObject::invokeMethod(hotkey, &QHotkey::activated, Qt::QueuedConnection);
        return true;
    }

private:
    HotkeyDispatcher() { QCoreApplication::instance()->installNativeEventFilter(this); }
};

KeySym keysymOf(int key)
{
    if ((key >= 0x20 && key <= 0x7e) || (key >= 0xa0 && key <= 0xff))
        return KeySym(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return XK_F1 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Escape:
        return XK_Escape;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return XK_Tab;
    case Qt::Key_Backspace:
        return XK_BackSpace;
    case Qt::Key_Return:
        return XK_Return;
    case Qt::Key_Enter:
        return XK_KP_Enter;
    case Qt::Key_Insert:
        return XK_Insert;
    case Qt::Key_Delete:
        return XK_Delete;
    case Qt::Key_Pause:
        return XK_Pause;
    case Qt::Key_Print:
        return XK_Print;
    case Qt::Key_SysReq:
        return XK_Sys_Req;
    case Qt::Key_Clear:
        return XK_Clear;
    case Qt::Key_Home:
        return XK_Home;
    case Qt::Key_End:
        return XK_End;
    case Qt::Key_Left:
        return XK_Left;
    case Qt::Key_Up:
        return XK_Up;
    case Qt::Key_Right:
        return XK_Right;
    case Qt::Key_Down:
        return XK_Down;
    case Qt::Key_PageUp:
        return XK_Prior;
    case Qt::Key_PageDown:
        return XK_Next;
    case Qt::Key_Menu:
        return XK_Menu;
    case Qt::Key_Help:
        return XK_Help;
    default:
        return NoSymbol;
    }
}

quint16 x11Modifiers(Qt::KeyboardModifiers modifiers)
{
    quint16 mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & Qt::MetaModifier)
        mask |= XCB_MOD_MASK_4;
    return mask;
}
} // namespace

QHotkey::QHotkey(QObject *parent)
    : QObject(parent)
{}

QHotkey::~QHotkey()
{
    setRegistered(false);
}

QKeySequence QHotkey::shortcut() const
{
    return m_shortcut;
}

bool QHotkey::setShortcut(const QKeySequence &shortcut, bool autoRegister)
{
    setRegistered(false);
    m_shortcut = shortcut;
    return autoRegister ? setRegistered(true) : true;
}

quint32 QHotkey::keysym(int key)
{
    return quint32(keysymOf(key));
}

bool QHotkey::isRegistered() const
{
    return m_registered;
}

bool QHotkey::setRegistered(bool registered)
{
    if (registered == m_registered)
        return true;
    if (!registered) {
        ungrab();
        return true;
    }
    m_registered = grab();
    return m_registered;
}

bool QHotkey::grab()
{
    if (m_shortcut.isEmpty() || !QX11Info::isPlatformX11())
        return false;
    const int combination = m_shortcut[0];
    const KeySym keysym = keysymOf(combination & ~Qt::KeyboardModifierMask);
    if (keysym == NoSymbol)
        return false;
    const KeyCode keycode = XKeysymToKeycode(QX11Info::display(), keysym);
    if (keycode == 0)
        return false;
    const quint16 modifiers =
        x11Modifiers(Qt::KeyboardModifiers(combination & Qt::KeyboardModifierMask));

    HotkeyDispatcher &dispatcher = HotkeyDispatcher::instance();
    if (dispatcher.hotkeys.contains(comboKey(keycode, modifiers)))
        return false;

    xcb_connection_t *connection = QX11Info::connection();
    const xcb_window_t root = QX11Info::appRootWindow();
    xcb_void_cookie_t cookies[std::size(lockMasks)];
    for (std::size_t i = 0; i < std::size(lockMasks); ++i)
        cookies[i] = xcb_grab_key_checked(connection, 1, root, modifiers | lockMasks[i], keycode,
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC);
    bool refused = false;
    for (xcb_void_cookie_t cookie : cookies) {
        if (xcb_generic_error_t *error = xcb_request_check(connection, cookie)) {
            refused = true;
            free(error);
        }
    }
    if (refused) {
        // Another client holds the combination; leave none of it grabbed.
        for (quint16 lock : lockMasks)
            xcb_ungrab_key(connection, keycode, root, modifiers | lock);
        xcb_flush(connection);
        return false;
    }
    m_keycode = keycode;
    m_modifiers = modifiers;
    dispatcher.hotkeys.insert(comboKey(keycode, modifiers), this);
    return true;
}

void QHotkey::ungrab()
{
    m_registered = false;
    if (!QX11Info::isPlatformX11() || m_keycode == 0)
        return;
    HotkeyDispatcher::instance().hotkeys.remove(comboKey(m_keycode, m_modifiers));
    xcb_connection_t *connection = QX11Info::connection();
    for (quint16 lock : lockMasks)
        xcb_ungrab_key(connection, m_keycode, QX11Info::appRootWindow(), m_modifiers | lock);
    xcb_flush(connection);
    m_keycode = 0;
    m_modifiers = 0;
}
