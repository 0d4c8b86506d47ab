#include "DesktopKeys.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <QVector>

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include "fake-input-client-protocol.h"

// Xlib last: its macros (None, KeyPress, Bool, …) clash with Qt's names.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstring>

class DesktopKeys::Backend
{
public:
    virtual ~Backend() = default;
    virtual bool open(QString *error) = 0;
    // keycode is the X server's (evdev + 8), keysym the symbol it gives at the level pressed.
    virtual bool key(unsigned keycode, unsigned keysym, bool down, QString *error) = 0;
    // Global coordinates: the X root window's, which Xwayland keeps equal to the compositor's.
    virtual bool pointerTo(const QPoint &global, QString *error) = 0;
    virtual bool button(bool down, QString *error) = 0;
};

namespace {

bool shellEvalOn(const QString &script, QString *result, QString *error)
{
    QDBusInterface shell(QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
                         QStringLiteral("org.gnome.Shell"));
    const QDBusMessage reply = shell.call(QStringLiteral("Eval"), script);
    if (reply.type() == QDBusMessage::ErrorMessage || reply.arguments().size() != 2) {
        *error = QStringLiteral("org.gnome.Shell.Eval: %1").arg(reply.errorMessage());
        return false;
    }
    const QString value = reply.arguments().at(1).toString();
    if (!reply.arguments().at(0).toBool()) {
        *error = QStringLiteral("the shell threw: %1").arg(value);
        return false;
    }
    if (result)
        *result = value;
    return true;
}

// GNOME: a remote-desktop session of Mutter's, kept for the object's life. Keys go in as keysyms
// and Mutter finds the keys; the pointer only moves relatively, since absolute motion needs a
// screen-cast stream.
class MutterBackend : public DesktopKeys::Backend
{
public:
    ~MutterBackend() override
    {
        if (m_session)
            m_session->call(QStringLiteral("Stop"));
    }

    bool open(QString *error) override
    {
        const QString service = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
        QDBusInterface desktop(service, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), service);
        const QDBusReply<QDBusObjectPath> created = desktop.call(QStringLiteral("CreateSession"));
        if (!created.isValid()) {
            *error = QStringLiteral("CreateSession: %1").arg(created.error().message());
            return false;
        }
        m_session = std::make_unique<QDBusInterface>(service, created.value().path(),
                                                     service + QStringLiteral(".Session"));
        if (!call(QStringLiteral("Start"), {}, error))
            return false;
        // The first keys of a session go nowhere: without this, "stale" typed first reached the
        // window as "ale". A Shift first is harmless, and the shell's view of the modifiers
        // tells when keys have started to arrive.
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (!key(0, XK_Shift_L, true, error))
                return false;
            const bool arrived = QTest::qWaitFor([&] { return shiftHeld() == 1; }, 2000);
            if (!key(0, XK_Shift_L, false, error))
                return false;
            if (!arrived)
                continue;
            if (QTest::qWaitFor([&] { return shiftHeld() == 0; }, 2000))
                return true;
            *error = QStringLiteral("Shift stays down in the shell");
            return false;
        }
        *error = QStringLiteral("keys of the remote-desktop session do not reach the shell");
        return false;
    }

    bool key(unsigned, unsigned keysym, bool down, QString *error) override
    {
        return call(QStringLiteral("NotifyKeyboardKeysym"), {keysym, down}, error);
    }

    bool pointerTo(const QPoint &target, QString *error) override
    {
        // Relative motion as a mouse makes it, corrected until the shell reports the pointer
        // on the spot: the screen's edges clamp it and acceleration may scale it.
        for (int attempt = 0; attempt < 6; ++attempt) {
            QPoint at;
            if (!pointer(&at, error))
                return false;
            if (at == target)
                return true;
            const QPoint by = target - at;
            if (!call(QStringLiteral("NotifyPointerMotionRelative"),
                      {double(by.x()), double(by.y())}, error))
                return false;
            // Not there yet is no failure: the next round measures again.
            (void)QTest::qWaitFor(
                [&] {
                    QPoint now;
                    return pointer(&now, error) && now != at;
                },
                1000);
        }
        *error =
            QStringLiteral("the pointer does not get to %1,%2").arg(target.x()).arg(target.y());
        return false;
    }

    bool button(bool down, QString *error) override
    {
        return call(QStringLiteral("NotifyPointerButton"), {int(BTN_LEFT), down}, error);
    }

private:
    bool call(const QString &method, const QVariantList &arguments, QString *error)
    {
        const QDBusMessage reply = m_session->callWithArgumentList(QDBus::Block, method, arguments);
        if (reply.type() != QDBusMessage::ErrorMessage)
            return true;
        *error = QStringLiteral("%1: %2").arg(method, reply.errorMessage());
        return false;
    }

    // global.get_pointer() is [x, y, modifiers] in the seat's state, virtual devices included.
    bool pointerState(QJsonArray *state, QString *error)
    {
        QString json;
        if (!shellEvalOn(QStringLiteral("global.get_pointer()"), &json, error))
            return false;
        *state = QJsonDocument::fromJson(json.toUtf8()).array();
        if (state->size() == 3)
            return true;
        *error = QStringLiteral("global.get_pointer() gave %1").arg(json);
        return false;
    }

    bool pointer(QPoint *at, QString *error)
    {
        QJsonArray state;
        if (!pointerState(&state, error))
            return false;
        *at = QPoint(state.at(0).toInt(), state.at(1).toInt());
        return true;
    }

    int shiftHeld()
    {
        QString error;
        QJsonArray state;
        return pointerState(&state, &error) ? state.at(2).toInt() & ShiftMask : -1;
    }

    std::unique_ptr<QDBusInterface> m_session;
};

// KWin: its fake-input protocol, which it offers to any client when
// KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 (session.sh sets it). A round trip after each request
// means KWin has taken it.
class KwinBackend : public DesktopKeys::Backend
{
public:
    ~KwinBackend() override
    {
        if (m_input)
            org_kde_kwin_fake_input_destroy(m_input);
        if (m_registry)
            wl_registry_destroy(m_registry);
        if (m_display)
            wl_display_disconnect(m_display);
    }

    bool open(QString *error) override
    {
        m_display = wl_display_connect(nullptr);
        if (!m_display) {
            *error = QStringLiteral("cannot connect to WAYLAND_DISPLAY=%1")
                         .arg(qEnvironmentVariable("WAYLAND_DISPLAY"));
            return false;
        }
        static const wl_registry_listener listener = {
            [](void *data, wl_registry *registry, uint32_t name, const char *interface,
               uint32_t version) {
                auto *self = static_cast<KwinBackend *>(data);
                if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) != 0)
                    return;
                self->m_version = std::min<uint32_t>(version, 4);
                self->m_input = static_cast<org_kde_kwin_fake_input *>(wl_registry_bind(
                    registry, name, &org_kde_kwin_fake_input_interface, self->m_version));
            },
            [](void *, wl_registry *, uint32_t) {
            }};
        m_registry = wl_display_get_registry(m_display);
        wl_registry_add_listener(m_registry, &listener, this);
        if (!roundTrip(error))
            return false;
        if (!m_input) {
            *error = QStringLiteral("KWin offers no org_kde_kwin_fake_input (it does to any "
                                    "client with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1)");
            return false;
        }
        if (m_version < ORG_KDE_KWIN_FAKE_INPUT_KEYBOARD_KEY_SINCE_VERSION) {
            *error = QStringLiteral("KWin's fake input is version %1, keys need 4").arg(m_version);
            return false;
        }
        org_kde_kwin_fake_input_authenticate(m_input, "Quiver tests", "Typing in tests");
        return roundTrip(error);
    }

    bool key(unsigned keycode, unsigned, bool down, QString *error) override
    {
        org_kde_kwin_fake_input_keyboard_key(m_input, keycode - 8,
                                             down ? WL_KEYBOARD_KEY_STATE_PRESSED
                                                  : WL_KEYBOARD_KEY_STATE_RELEASED);
        return roundTrip(error);
    }

    bool pointerTo(const QPoint &global, QString *error) override
    {
        org_kde_kwin_fake_input_pointer_motion_absolute(m_input, wl_fixed_from_int(global.x()),
                                                        wl_fixed_from_int(global.y()));
        return roundTrip(error);
    }

    bool button(bool down, QString *error) override
    {
        org_kde_kwin_fake_input_button(m_input, BTN_LEFT,
                                       down ? WL_POINTER_BUTTON_STATE_PRESSED
                                            : WL_POINTER_BUTTON_STATE_RELEASED);
        return roundTrip(error);
    }

private:
    bool roundTrip(QString *error)
    {
        if (wl_display_roundtrip(m_display) >= 0)
            return true;
        *error = QStringLiteral("the Wayland connection to KWin failed (error %1)")
                     .arg(wl_display_get_error(m_display));
        return false;
    }

    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    org_kde_kwin_fake_input *m_input = nullptr;
    uint32_t m_version = 0;
};

// A plain X server: XTest, synced so the server has queued each event.
class XTestBackend : public DesktopKeys::Backend
{
public:
    explicit XTestBackend(Display *display)
        : m_display(display)
    {}

    bool open(QString *error) override
    {
        int event = 0, firstError = 0, major = 0, minor = 0;
        if (XTestQueryExtension(m_display, &event, &firstError, &major, &minor))
            return true;
        *error = QStringLiteral("the X server has no XTEST extension");
        return false;
    }

    bool key(unsigned keycode, unsigned, bool down, QString *) override
    {
        XTestFakeKeyEvent(m_display, keycode, down, CurrentTime);
        XSync(m_display, False);
        return true;
    }

    bool pointerTo(const QPoint &global, QString *) override
    {
        XTestFakeMotionEvent(m_display, DefaultScreen(m_display), global.x(), global.y(),
                             CurrentTime);
        XSync(m_display, False);
        return true;
    }

    bool button(bool down, QString *) override
    {
        XTestFakeButtonEvent(m_display, Button1, down, CurrentTime);
        XSync(m_display, False);
        return true;
    }

private:
    Display *m_display;
};

// A window that is gone answers with an X error, which would end the process by default.
class IgnoreXErrors
{
public:
    explicit IgnoreXErrors(Display *display)
        : m_display(display)
        , m_previous(XSetErrorHandler([](Display *, XErrorEvent *) { return 0; }))
    {}
    ~IgnoreXErrors()
    {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
    }

private:
    Display *m_display;
    XErrorHandler m_previous;
};

unsigned keysymOfQtKey(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return XK_a + (key - Qt::Key_A);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return XK_F1 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Return:
        return XK_Return;
    case Qt::Key_Enter:
        return XK_KP_Enter;
    case Qt::Key_Escape:
        return XK_Escape;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return XK_Tab;
    case Qt::Key_Backspace:
        return XK_BackSpace;
    case Qt::Key_Delete:
        return XK_Delete;
    case Qt::Key_Insert:
        return XK_Insert;
    case Qt::Key_Home:
        return XK_Home;
    case Qt::Key_End:
        return XK_End;
    case Qt::Key_Left:
        return XK_Left;
    case Qt::Key_Right:
        return XK_Right;
    case Qt::Key_Up:
        return XK_Up;
    case Qt::Key_Down:
        return XK_Down;
    case Qt::Key_PageUp:
        return XK_Prior;
    case Qt::Key_PageDown:
        return XK_Next;
    case Qt::Key_Menu:
        return XK_Menu;
    case Qt::Key_Print:
        return XK_Print;
    default:
        // Digits, space and punctuation: Qt's key is the Latin-1 code, as is the keysym.
        return key >= 0x20 && key <= 0x7e ? unsigned(key) : 0;
    }
}

} // namespace

DesktopKeys::DesktopKeys() = default;

DesktopKeys::~DesktopKeys()
{
    m_backend.reset();
    if (m_display)
        XCloseDisplay(m_display);
}

bool DesktopKeys::fail(const QString &why)
{
    m_error = why;
    return false;
}

bool DesktopKeys::open()
{
    m_desktop = qEnvironmentVariable("QUIVER_TEST_DESKTOP");
    if (m_desktop.isEmpty())
        return fail(
            QStringLiteral("not in a desktop session: run through tests/desktops/session.sh"));
    // A connection of our own: the test itself may run on any Qt platform.
    m_display = XOpenDisplay(nullptr);
    if (!m_display)
        return fail(QStringLiteral("cannot open DISPLAY=%1").arg(qEnvironmentVariable("DISPLAY")));
    if (m_desktop == QLatin1String("gnome"))
        m_backend = std::make_unique<MutterBackend>();
    else if (m_desktop == QLatin1String("kwin"))
        m_backend = std::make_unique<KwinBackend>();
    else
        m_backend = std::make_unique<XTestBackend>(m_display);
    return m_backend->open(&m_error);
}

bool DesktopKeys::stroke(unsigned keysym, Stroke *stroke)
{
    // Xwayland carries the compositor's keymap, so its keycodes are the compositor's too.
    const KeyCode keycode = XKeysymToKeycode(m_display, keysym);
    if (!keycode)
        return fail(QStringLiteral("the keymap has no key for keysym 0x%1").arg(keysym, 0, 16));
    stroke->keycode = keycode;
    stroke->keysym = unsigned(XkbKeycodeToKeysym(m_display, keycode, 0, 0));
    if (stroke->keysym == keysym)
        return true;
    stroke->shift = true;
    if (XkbKeycodeToKeysym(m_display, keycode, 0, 1) == keysym)
        return true;
    return fail(QStringLiteral("keysym 0x%1 needs more than Shift").arg(keysym, 0, 16));
}

bool DesktopKeys::key(const Stroke &stroke, bool down)
{
    return m_backend->key(stroke.keycode, stroke.keysym, down, &m_error);
}

bool DesktopKeys::type(const QString &text)
{
    if (!m_backend)
        return fail(QStringLiteral("not open"));
    Stroke shift;
    if (!stroke(XK_Shift_L, &shift))
        return false;
    for (const QChar c : text) {
        const ushort code = c.unicode();
        unsigned keysym = code;
        if (c == QLatin1Char('\n'))
            keysym = XK_Return;
        else if (c == QLatin1Char('\t'))
            keysym = XK_Tab;
        else if (code < 0x20 || (code >= 0x7f && code < 0xa0) || code > 0xff)
            return fail(QStringLiteral("cannot type U+%1").arg(code, 4, 16, QLatin1Char('0')));
        Stroke letter;
        if (!stroke(keysym, &letter))
            return false;
        if ((letter.shift && !key(shift, true)) || !key(letter, true) || !key(letter, false) ||
            (letter.shift && !key(shift, false)))
            return false;
    }
    return true;
}

bool DesktopKeys::press(const QKeySequence &keys)
{
    if (!m_backend)
        return fail(QStringLiteral("not open"));
    for (int i = 0; i < keys.count(); ++i) {
        const int combination = keys[i];
        const int modifiers = combination & int(Qt::KeyboardModifierMask);
        const unsigned keysym = keysymOfQtKey(combination & ~int(Qt::KeyboardModifierMask));
        if (!keysym)
            return fail(QStringLiteral("no key for %1").arg(QKeySequence(combination).toString()));
        Stroke main;
        if (!stroke(keysym, &main))
            return false;
        QVector<Stroke> held;
        const std::pair<int, unsigned> modifierKeys[] = {{Qt::ControlModifier, XK_Control_L},
                                                         {Qt::AltModifier, XK_Alt_L},
                                                         {Qt::ShiftModifier, XK_Shift_L},
                                                         {Qt::MetaModifier, XK_Super_L}};
        for (const auto &[modifier, modifierKeysym] : modifierKeys) {
            if (!(modifiers & modifier) && !(modifier == Qt::ShiftModifier && main.shift))
                continue;
            Stroke modifierStroke;
            if (!stroke(modifierKeysym, &modifierStroke))
                return false;
            held.append(modifierStroke);
        }
        for (const Stroke &modifier : held) {
            if (!key(modifier, true))
                return false;
        }
        if (!key(main, true) || !key(main, false))
            return false;
        for (int j = held.size() - 1; j >= 0; --j) {
            if (!key(held.at(j), false))
                return false;
        }
    }
    return true;
}

bool DesktopKeys::pointerTo(const QPoint &global)
{
    return m_backend->pointerTo(global, &m_error);
}

bool DesktopKeys::click(unsigned long window, const QPoint &point)
{
    if (!m_backend)
        return fail(QStringLiteral("not open"));
    m_error.clear();
    int x = 0, y = 0;
    Window child = 0;
    {
        IgnoreXErrors guard(m_display);
        if (!XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), point.x(),
                                   point.y(), &x, &y, &child))
            return fail(QStringLiteral("window 0x%1 is not on the screen").arg(window, 0, 16));
    }
    // GNOME, KWin and openbox count two clicks within 400 to 500 ms as a double click.
    const QPoint global(x, y);
    const qint64 doubleClick = 600;
    if (m_lastClick.isValid() && (global - m_lastClickAt).manhattanLength() < 10 &&
        m_lastClick.elapsed() < doubleClick)
        QTest::qWait(int(doubleClick - m_lastClick.elapsed()));
    // The compositor hands the pointer to the surface under it a little after the motion; a
    // press before that goes to the window the pointer came from. Xwayland's pointer moves once
    // its surface has it. KWin now and then leaves it where it was until the next motion: then a
    // nudge, as a hand on the mouse would give.
    const auto arrived = [&] {
        return pointerPosition() == global;
    };
    bool there = pointerTo(global) && QTest::qWaitFor(arrived, 500);
    for (int nudge = 0; !there && nudge < 4 && m_error.isEmpty(); ++nudge)
        there =
            pointerTo(global + QPoint(1, 1)) && pointerTo(global) && QTest::qWaitFor(arrived, 500);
    if (!there)
        return fail(
            m_error.isEmpty()
                ? QStringLiteral("the X server never saw the pointer on window 0x%1 at %2,%3")
                      .arg(window, 0, 16)
                      .arg(global.x())
                      .arg(global.y())
                : m_error);
    if (!m_backend->button(true, &m_error) || !m_backend->button(false, &m_error))
        return false;
    m_lastClick.start();
    m_lastClickAt = global;
    return true;
}

QPoint DesktopKeys::pointerPosition() const
{
    Window root = 0, child = 0;
    int x = 0, y = 0, windowX = 0, windowY = 0;
    unsigned mask = 0;
    XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &x, &y, &windowX,
                  &windowY, &mask);
    return QPoint(x, y);
}

bool DesktopKeys::focusWindow(unsigned long window)
{
    if (!m_backend)
        return fail(QStringLiteral("not open"));
    XWindowAttributes attributes;
    const auto viewable = [&] {
        IgnoreXErrors guard(m_display);
        return XGetWindowAttributes(m_display, window, &attributes) &&
               attributes.map_state == IsViewable;
    };
    if (!QTest::qWaitFor(viewable, 5000))
        return fail(QStringLiteral("window 0x%1 is not shown").arg(window, 0, 16));
    // A window mapped a moment ago, on a loaded machine, can miss the first click while the
    // compositor still settles it: click again, as a user would.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!click(window, QPoint(attributes.width / 2, attributes.height / 2)))
            return false;
        if (QTest::qWaitFor([&] { return hasFocus(window); }, 2000))
            return true;
    }
    return fail(
        QStringLiteral("three clicks left the keyboard with %1").arg(windowTitle(focusedWindow())));
}

unsigned long DesktopKeys::focusedWindow() const
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    return focus;
}

bool DesktopKeys::hasFocus(unsigned long window) const
{
    IgnoreXErrors guard(m_display);
    Window at = focusedWindow();
    while (at > PointerRoot) {
        if (at == window)
            return true;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(m_display, at, &root, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        at = parent == root ? 0 : parent;
    }
    return false;
}

QString DesktopKeys::windowTitle(unsigned long window) const
{
    IgnoreXErrors guard(m_display);
    const auto text = [&](Atom property, Atom type) {
        Atom actualType = 0;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char *data = nullptr;
        QString value;
        if (XGetWindowProperty(m_display, window, property, 0, 1024, False, type, &actualType,
                               &format, &count, &remaining, &data) == Success &&
            data) {
            value = QString::fromUtf8(reinterpret_cast<const char *>(data), int(count));
            XFree(data);
        }
        return value;
    };
    const QString title = text(XInternAtom(m_display, "_NET_WM_NAME", False),
                               XInternAtom(m_display, "UTF8_STRING", False));
    return title.isEmpty() ? text(XA_WM_NAME, XA_STRING) : title;
}

bool DesktopKeys::shellEval(const QString &script, QString *result)
{
    if (m_desktop != QLatin1String("gnome"))
        return fail(QStringLiteral("the shell's Eval is GNOME's"));
    return shellEvalOn(script, result, &m_error);
}

bool DesktopKeys::shellBinds(int combination)
{
    m_error.clear();
    const unsigned keysym = keysymOfQtKey(combination & ~int(Qt::KeyboardModifierMask));
    Stroke main;
    if (!keysym || !stroke(keysym, &main))
        return fail(QStringLiteral("no key for %1").arg(QKeySequence(combination).toString()));
    // Mutter looks bindings up by keycode and the X modifier mask.
    unsigned mask = main.shift ? ShiftMask : 0;
    const std::pair<int, unsigned> masks[] = {{Qt::ShiftModifier, ShiftMask},
                                              {Qt::ControlModifier, ControlMask},
                                              {Qt::AltModifier, Mod1Mask},
                                              {Qt::MetaModifier, Mod4Mask}};
    for (const auto &[modifier, bit] : masks) {
        if (combination & modifier)
            mask |= bit;
    }
    QString action;
    return shellEval(QStringLiteral("global.display.get_keybinding_action(%1, %2)")
                         .arg(main.keycode)
                         .arg(mask),
                     &action) &&
           action.toInt() != 0;
}
