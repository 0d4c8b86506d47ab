#include "InputMethodDriver.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QKeyEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QWindow>
#include <QtTest>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>
// Xlib's macros would shadow QEvent's names.
#undef KeyPress
#undef KeyRelease

namespace {

const QString fcitxService = QStringLiteral("org.fcitx.Fcitx5");
const QString fcitxPath = QStringLiteral("/controller");
const QString fcitxInterface = QStringLiteral("org.fcitx.Fcitx.Controller1");
const QString ibusService = QStringLiteral("org.freedesktop.IBus");
const QString ibusPath = QStringLiteral("/org/freedesktop/IBus");
const QString ibusLatin = QStringLiteral("xkb:us::eng");
const QString ibusPinyin = QStringLiteral("libpinyin");

} // namespace

InputMethodDriver::InputMethodDriver() = default;

InputMethodDriver::~InputMethodDriver()
{
    if (m_display)
        XCloseDisplay(m_display);
    if (m_bus)
        QDBusConnection::disconnectFromBus(m_bus->name());
}

InputMethodDriver::Kind InputMethodDriver::kind()
{
    const QByteArray im = qgetenv("QUIVER_TEST_IM");
    if (im == "fcitx5")
        return Kind::Fcitx5;
    if (im == "ibus")
        return Kind::IBus;
    return Kind::NoSession;
}

QString InputMethodDriver::name()
{
    return QString::fromLocal8Bit(qgetenv("QUIVER_TEST_IM"));
}

bool InputMethodDriver::connect(QString *reason)
{
    m_kind = kind();
    if (m_kind == Kind::NoSession) {
        *reason = QStringLiteral("runs inside tests/inputmethods/im-session.sh");
        return false;
    }
    // A connection of our own: XTest events sent on Qt's would queue behind its requests.
    if (!m_display)
        m_display = XOpenDisplay(nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    if (!m_display || !XTestQueryExtension(m_display, &event, &error, &major, &minor)) {
        *reason = QStringLiteral("needs an X server with the XTest extension");
        return false;
    }
    if (m_kind == Kind::Fcitx5) {
        m_bus = std::make_unique<QDBusConnection>(QDBusConnection::sessionBus());
    } else {
        QString address = qEnvironmentVariable("IBUS_ADDRESS");
        if (address.isEmpty()) {
            QProcess ibus;
            ibus.start(QStringLiteral("ibus"), {QStringLiteral("address")});
            ibus.waitForFinished();
            address = QString::fromLocal8Bit(ibus.readAllStandardOutput()).trimmed();
        }
        // A name once connected stays with its connection, dead or not.
        const QString name = QStringLiteral("quiver-test-ibus");
        m_bus.reset();
        QDBusConnection::disconnectFromBus(name);
        m_bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, name));
    }
    if (!m_bus->isConnected() || state() < 0) {
        *reason = QStringLiteral("%1 does not answer on D-Bus").arg(name());
        return false;
    }
    qApp->installEventFilter(this);
    return true;
}

QDBusConnection InputMethodDriver::bus() const
{
    return *m_bus;
}

bool InputMethodDriver::waitForKeyboardFocus(const QWindow *window, int timeoutMs)
{
    return waitForKeyboardFocus(window->winId(), timeoutMs);
}

bool InputMethodDriver::waitForKeyboardFocus(const QString &title, int timeoutMs)
{
    Window window = None;
    return QTest::qWaitFor([&] { return (window = clientWindow(title)) != None; }, timeoutMs) &&
           waitForKeyboardFocus(window, timeoutMs);
}

bool InputMethodDriver::waitForKeyboardFocus(unsigned long target, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            Window focus = None;
            int revert = 0;
            XGetInputFocus(m_display, &focus, &revert);
            // The focus may be on a child of ours; walk up to the root.
            while (focus != None && focus != PointerRoot && focus != target) {
                Window root = None, parent = None, *children = nullptr;
                unsigned int count = 0;
                if (!XQueryTree(m_display, focus, &root, &parent, &children, &count))
                    return false;
                if (children)
                    XFree(children);
                focus = parent == root ? None : parent;
            }
            return focus == target;
        },
        timeoutMs);
}

bool InputMethodDriver::waitForFocusedContext(int timeoutMs)
{
    return QTest::qWaitFor([this] { return state() > 0; }, timeoutMs);
}

bool InputMethodDriver::waitForFocusedContextOf(const QString &program, int timeoutMs)
{
    if (m_kind == Kind::IBus)
        return waitForFocusedContext(timeoutMs);
    return waitForFcitxContext(program, true, timeoutMs);
}

bool InputMethodDriver::waitForContextOf(const QString &program, int timeoutMs)
{
    return m_kind == Kind::IBus || waitForFcitxContext(program, false, timeoutMs);
}

bool InputMethodDriver::waitForFcitxContext(const QString &program, bool focused, int timeoutMs)
{
    // One line per input context: "IC [<id>] program:<name> frontend:dbus cap:<hex> focus:1".
    const QRegularExpression line(QStringLiteral("program:%1 .* focus:%2$")
                                      .arg(QRegularExpression::escape(program),
                                           focused ? QStringLiteral("1") : QStringLiteral("\\d")),
                                  QRegularExpression::MultilineOption);
    QString contexts;
    const bool found = QTest::qWaitFor(
        [&] {
            QDBusInterface controller(fcitxService, fcitxPath, fcitxInterface, *m_bus);
            const QDBusReply<QString> reply = controller.call(QStringLiteral("DebugInfo"));
            contexts = reply.value();
            return reply.isValid() && line.match(contexts).hasMatch();
        },
        timeoutMs);
    if (!found) {
        Window focus = None;
        int revert = 0;
        XGetInputFocus(m_display, &focus, &revert);
        qWarning("no %s context of %s; X focus on 0x%lx; fcitx5 has:\n%s",
                 focused ? "focused" : "input", qPrintable(program), focus, qPrintable(contexts));
    }
    return found;
}

unsigned long InputMethodDriver::clientWindow(const QString &title)
{
    const Atom clients = XInternAtom(m_display, "_NET_CLIENT_LIST", False);
    const Atom name = XInternAtom(m_display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(m_display, "UTF8_STRING", False);
    // Reads a property of 8 or 32 bit items as bytes; empty where there is none.
    const auto property = [this](Window window, Atom atom, Atom type) {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0, left = 0;
        unsigned char *data = nullptr;
        QByteArray value;
        if (XGetWindowProperty(m_display, window, atom, 0, 1024, False, type, &actualType, &format,
                               &count, &left, &data) == Success &&
            data) {
            value = QByteArray(reinterpret_cast<const char *>(data),
                               int(count * (format == 32 ? sizeof(long) : format / 8)));
            XFree(data);
        }
        return value;
    };
    const QByteArray list = property(DefaultRootWindow(m_display), clients, XA_WINDOW);
    const auto *windows = reinterpret_cast<const long *>(list.constData());
    for (int i = 0; i < list.size() / int(sizeof(long)); ++i)
        if (QString::fromUtf8(property(Window(windows[i]), name, utf8)) == title)
            return Window(windows[i]);
    return None;
}

bool InputMethodDriver::activateWindow(const QString &title)
{
    const Window window = clientWindow(title);
    if (window == None)
        return false;
    const Window root = DefaultRootWindow(m_display);
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2; // From a pager: no focus stealing prevention applies.
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(m_display, False);
    return true;
}

bool InputMethodDriver::setActive(bool active, int timeoutMs)
{
    if (m_kind == Kind::Fcitx5) {
        QDBusInterface controller(fcitxService, fcitxPath, fcitxInterface, *m_bus);
        if (!controller.call(active ? QStringLiteral("Activate") : QStringLiteral("Deactivate"))
                 .errorMessage()
                 .isEmpty())
            return false;
    } else if (!ibusSetEngine(active ? ibusPinyin : ibusLatin)) {
        return false;
    }
    if (m_kind == Kind::IBus) {
        // One engine for every window, whichever has the keyboard.
        const QString wanted = active ? ibusPinyin : ibusLatin;
        return QTest::qWaitFor([&] { return ibusEngine() == wanted; }, timeoutMs);
    }
    const int wanted = active ? 2 : 1;
    return QTest::qWaitFor([&] { return state() == wanted; }, timeoutMs);
}

bool InputMethodDriver::selectIBusEngine(const QString &engine)
{
    return m_kind == Kind::IBus && ibusSetEngine(engine) &&
           QTest::qWaitFor([&] { return ibusEngine() == engine; }, 5000);
}

int InputMethodDriver::state()
{
    if (m_kind == Kind::IBus)
        return ibusState();
    QDBusInterface controller(fcitxService, fcitxPath, fcitxInterface, *m_bus);
    const QDBusReply<int> reply = controller.call(QStringLiteral("State"));
    return reply.isValid() ? reply.value() : -1;
}

QString InputMethodDriver::currentInputMethod()
{
    if (m_kind == Kind::IBus)
        return ibusEngine();
    QDBusInterface controller(fcitxService, fcitxPath, fcitxInterface, *m_bus);
    const QDBusReply<QString> reply = controller.call(QStringLiteral("CurrentInputMethod"));
    return reply.isValid() ? reply.value() : QString();
}

int InputMethodDriver::ibusState()
{
    // The daemon names the input context that has the focus; "/" or nothing when none has.
    QDBusMessage get = QDBusMessage::createMethodCall(
        ibusService, ibusPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << ibusService << QStringLiteral("CurrentInputContext");
    const QDBusMessage reply = m_bus->call(get);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return -1;
    const QString context =
        reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusObjectPath>().path();
    if (context.isEmpty() || context == QLatin1String("/"))
        return 0;
    return ibusEngine() == ibusPinyin ? 2 : 1;
}

QString InputMethodDriver::ibusEngine()
{
    const QDBusMessage reply = m_bus->call(QDBusMessage::createMethodCall(
        ibusService, ibusPath, ibusService, QStringLiteral("GetGlobalEngine")));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return QString();
    // An IBusEngineDesc: a variant holding (s type name, a{sv} attachments, s engine name, …).
    const QDBusArgument description =
        reply.arguments().at(0).value<QDBusVariant>().variant().value<QDBusArgument>();
    QString typeName, engine;
    description.beginStructure();
    description >> typeName;
    description.beginMap();
    while (!description.atEnd()) {
        QString key;
        QDBusVariant value;
        description.beginMapEntry();
        description >> key >> value;
        description.endMapEntry();
    }
    description.endMap();
    description >> engine;
    return engine;
}

bool InputMethodDriver::ibusSetEngine(const QString &engine)
{
    const QDBusMessage reply =
        m_bus->call(QDBusMessage::createMethodCall(ibusService, ibusPath, ibusService,
                                                   QStringLiteral("SetGlobalEngine"))
                    << engine);
    return reply.type() == QDBusMessage::ReplyMessage;
}

unsigned char InputMethodDriver::keycode(unsigned long keysym)
{
    // Picks up keymap changes first: Xlib refreshes its copy only on the notices it reads.
    while (XPending(m_display)) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == MappingNotify)
            XRefreshKeyboardMapping(&event.xmapping);
    }
    return XKeysymToKeycode(m_display, keysym);
}

unsigned long InputMethodDriver::syncKeysym()
{
    // A key no shortcut and no input method uses, so it passes through untouched. Xvfb's usual
    // keymap has no F20; F12 is free too.
    return keycode(XK_F20) ? XK_F20 : XK_F12;
}

bool InputMethodDriver::fakeKey(unsigned long keysym, bool press)
{
    const KeyCode code = keycode(keysym);
    if (!code)
        return false;
    XTestFakeKeyEvent(m_display, code, press, CurrentTime);
    // The server has the key once this returns; what the application makes of it comes later.
    XSync(m_display, False);
    return true;
}

bool InputMethodDriver::press(unsigned long keysym)
{
    return fakeKey(keysym, true);
}

bool InputMethodDriver::release(unsigned long keysym)
{
    return fakeKey(keysym, false);
}

bool InputMethodDriver::tap(unsigned long keysym, std::initializer_list<unsigned long> modifiers)
{
    bool ok = true;
    for (unsigned long modifier : modifiers)
        ok = press(modifier) && ok;
    ok = press(keysym) && release(keysym) && ok;
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it)
        ok = release(*it) && ok;
    return ok;
}

bool InputMethodDriver::type(const QString &text)
{
    for (const QChar c : text) {
        // Latin-1 characters are their own keysyms.
        const KeySym keysym = c.unicode();
        if (c.unicode() > 0xff)
            return false;
        const KeyCode code = keycode(keysym);
        if (!code)
            return false;
        // The keysym a key gives without Shift is its first; any other needs Shift.
        const bool shifted = XkbKeycodeToKeysym(m_display, code, 0, 0) != keysym;
        if (!(shifted ? tap(keysym, {XK_Shift_L}) : tap(keysym)))
            return false;
    }
    return true;
}

bool InputMethodDriver::sync(int timeoutMs)
{
    const int wanted = m_syncSeen + 1;
    if (!tap(syncKeysym()))
        return false;
    return QTest::qWaitFor([&] { return m_syncSeen >= wanted; }, timeoutMs);
}

bool InputMethodDriver::eventFilter(QObject *watched, QEvent *event)
{
    // Taken where it is first seen, the window, so no widget gets it and it is counted once.
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease ||
        type == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_F20 || key->key() == Qt::Key_F12) {
            if (type == QEvent::KeyRelease && !key->isAutoRepeat())
                ++m_syncSeen;
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
