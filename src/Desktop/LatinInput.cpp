#include "Desktop/LatinInput.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include "Desktop/Activation.h"
#include "Desktop/GLibSupport.h"

#include <utility>

namespace {
// Every call blocks the GUI thread as the window comes up or goes: an input method that does not
// answer at once is left alone rather than let the window wait.
constexpr int callTimeoutMs = 200;
// How long a call-up waits for the window manager to give the window the keyboard.
constexpr int focusWaitMs = 1000;

// The connection Qt's fcitx5 frontend talks on, under the name it gives it, else the session
// bus: a call on the frontend's own reaches fcitx5 after the frontend's word that our window
// has the keyboard, so the controller acts on our input context, not on the one before it.
QDBusConnection fcitxBus()
{
    const QDBusConnection frontend(QStringLiteral("fcitx"));
    return frontend.isConnected() ? frontend : QDBusConnection::sessionBus();
}

const QString ibusService = QStringLiteral("org.freedesktop.IBus");
const QString ibusPath = QStringLiteral("/org/freedesktop/IBus");

// IBus's own bus: its address in the environment, else in the file the daemon writes for
// this display. Read anew for each connection, as a restarted daemon listens elsewhere.
QString ibusAddress()
{
    const QString address = qEnvironmentVariable("IBUS_ADDRESS");
    if (!address.isEmpty())
        return address;
    QFile machine(QStringLiteral("/etc/machine-id"));
    if (!machine.open(QIODevice::ReadOnly))
        return QString();
    const QString display = qEnvironmentVariable("DISPLAY");
    QString host = display.section(QLatin1Char(':'), 0, 0);
    if (host.isEmpty())
        host = QStringLiteral("unix");
    const QString number = display.section(QLatin1Char(':'), 1).section(QLatin1Char('.'), 0, 0);
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    QFile socket(config + QStringLiteral("/ibus/bus/") +
                 QString::fromLatin1(machine.readAll().trimmed()) + QLatin1Char('-') + host +
                 QLatin1Char('-') + number);
    if (!socket.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray &line : socket.readAll().split('\n'))
        if (line.startsWith("IBUS_ADDRESS="))
            return QString::fromUtf8(line.mid(13));
    return QString();
}

QDBusConnection ibusBus()
{
    const QString name = QStringLiteral("quiver-ibus");
    {
        const QDBusConnection bus(name);
        if (bus.isConnected())
            return bus;
    }
    // A connection that failed or died stays registered under its name, and connectToBus would
    // hand it back as it is.
    QDBusConnection::disconnectFromBus(name);
    const QString address = ibusAddress();
    if (address.isEmpty())
        return QDBusConnection(name);
    return QDBusConnection::connectToBus(address, name);
}

// The name of IBus's engine for every window; empty when it has none or does not answer.
QString ibusGlobalEngine(const QDBusConnection &bus)
{
    const QDBusMessage reply =
        bus.call(QDBusMessage::createMethodCall(ibusService, ibusPath, ibusService,
                                                QStringLiteral("GetGlobalEngine")),
                 QDBus::Block, callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return QString();
    // An IBusEngineDesc: (s type name, a{sv} attachments, s engine name, …).
    const QDBusArgument description =
        reply.arguments().constFirst().value<QDBusVariant>().variant().value<QDBusArgument>();
    if (description.currentType() != QDBusArgument::StructureType)
        return QString();
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

bool ibusSetGlobalEngine(const QDBusConnection &bus, const QString &engine)
{
    QDBusMessage call = QDBusMessage::createMethodCall(ibusService, ibusPath, ibusService,
                                                       QStringLiteral("SetGlobalEngine"));
    call << engine;
    return bus.call(call, QDBus::Block, callTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

// The engine IBus types Latin with: the user's first keyboard layout engine, so that a
// German or French keyboard stays one.
QString ibusLatinEngine()
{
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    GSettingsSchema *schema =
        source ? g_settings_schema_source_lookup(source, "org.freedesktop.ibus.general", TRUE)
               : nullptr;
    QString engine;
    if (schema) {
        GLibSupport::Object<GSettings> settings(g_settings_new_full(schema, nullptr, nullptr));
        gchar **engines = g_settings_get_strv(settings.get(), "preload-engines");
        for (gchar **name = engines; *name && engine.isEmpty(); ++name)
            if (g_str_has_prefix(*name, "xkb:"))
                engine = QString::fromUtf8(*name);
        g_strfreev(engines);
        g_settings_schema_unref(schema);
    }
    return engine.isEmpty() ? QStringLiteral("xkb:us::eng") : engine;
}
} // namespace

LatinInput::LatinInput(QWidget *window, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_method(method())
{
    if (m_method == Method::Other)
        return;
    m_awaitingFocus.setSingleShot(true);
    m_awaitingFocus.setInterval(focusWaitMs);
    // IBus switched every window at the call: one the window manager kept the keyboard from
    // gets its engine back.
    connect(&m_awaitingFocus, &QTimer::timeout, this, [this] {
        if (m_window && !hasKeyboard())
            ibusGiveBack();
    });
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &LatinInput::focusChanged);
    window->installEventFilter(this);
}

LatinInput::~LatinInput()
{
    ibusGiveBack();
}

LatinInput::Method LatinInput::method()
{
    const QString module = qEnvironmentVariable("QT_IM_MODULE").toLower();
    if (module == QLatin1String("fcitx") || module == QLatin1String("fcitx5"))
        return Method::Fcitx5;
    if (module == QLatin1String("ibus"))
        return Method::IBus;
    return Method::Other;
}

void LatinInput::calledUp()
{
    if (m_method == Method::Other || !m_window)
        return;
    const bool now = hasKeyboard();
    if (now)
        m_awaitingFocus.stop();
    else
        m_awaitingFocus.start();
    if (m_method == Method::IBus)
        ibusToLatin();
    else if (now)
        fcitxToLatin();
}

bool LatinInput::hasKeyboard() const
{
    if (!m_window->isVisible() || m_window->isMinimized() ||
        QGuiApplication::focusWindow() != m_window->windowHandle())
        return false;
    // Qt keeps a window focused for a moment after the window manager gave the keyboard to
    // another program; the window manager's word is the later one.
    const std::optional<quint32> active = Activation::activeWindow();
    return !active || *active == m_window->winId();
}

bool LatinInput::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Hide) {
        m_awaitingFocus.stop();
        ibusGiveBack();
    }
    return QObject::eventFilter(watched, event);
}

void LatinInput::focusChanged(QWindow *focused)
{
    if (!m_window)
        return;
    if (focused && focused == m_window->windowHandle()) {
        const bool firstFocus = !std::exchange(m_everFocused, true);
        if (!m_awaitingFocus.isActive())
            return;
        m_awaitingFocus.stop();
        if (m_method == Method::Fcitx5 && !firstFocus)
            fcitxToLatin();
    } else if (!focused && !m_awaitingFocus.isActive()) {
        // Another program has the keyboard. While a call-up waits, this is only the news of
        // the focus the window had before it.
        ibusGiveBack();
    }
}

void LatinInput::fcitxToLatin()
{
    // Deactivate switches the input context that has the keyboard, ours, to the group's first
    // input method, whatever keys the user switches with and whatever the engine does with
    // Shift. Waited for, so that fcitx5 has switched before the keys typed with the call.
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.fcitx.Fcitx5"), QStringLiteral("/controller"),
        QStringLiteral("org.fcitx.Fcitx.Controller1"), QStringLiteral("Deactivate"));
    fcitxBus().call(call, QDBus::Block, callTimeoutMs);
}

void LatinInput::ibusToLatin()
{
    const QDBusConnection bus = ibusBus();
    if (!bus.isConnected())
        return;
    const QString latin = ibusLatinEngine();
    const QString current = ibusGlobalEngine(bus);
    if (current == latin || !ibusSetGlobalEngine(bus, latin))
        return;
    // Called up again while shown, the engine the user has switched to since is theirs.
    m_ibusUsers = current;
    m_ibusLatin = latin;
}

void LatinInput::ibusGiveBack()
{
    const QString users = std::exchange(m_ibusUsers, QString());
    if (users.isEmpty())
        return;
    const QDBusConnection bus = ibusBus();
    // An engine other than ours was the user's own choice while the window showed.
    if (bus.isConnected() && ibusGlobalEngine(bus) == m_ibusLatin)
        ibusSetGlobalEngine(bus, users);
}
