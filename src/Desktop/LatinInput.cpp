#include "LatinInput.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWindow>
#include <QWidget>
#include <QX11Info>

#include "GLibSupport.h"

#include <private/qguiapplication_p.h>
#include <qpa/qplatforminputcontext.h>
#include <qpa/qplatformintegration.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

// Xlib's names clash with Qt's (QEvent::KeyPress).
#undef KeyPress
#undef KeyRelease

#include <memory>

namespace {
constexpr int callTimeoutMs = 1000;

// IBus's own bus: its address in the environment, else in the file the daemon writes for
// this display.
QDBusConnection ibusBus()
{
    const QString name = QStringLiteral("quiver-ibus");
    QDBusConnection bus(name);
    if (bus.isConnected())
        return bus;
    QString address = qEnvironmentVariable("IBUS_ADDRESS");
    if (address.isEmpty()) {
        QFile machine(QStringLiteral("/etc/machine-id"));
        QString display = qEnvironmentVariable("DISPLAY");
        QString host = display.section(QLatin1Char(':'), 0, 0);
        if (host.isEmpty())
            host = QStringLiteral("unix");
        const QString number = display.section(QLatin1Char(':'), 1).section(QLatin1Char('.'), 0, 0);
        QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (config.isEmpty())
            config = QDir::homePath() + QStringLiteral("/.config");
        if (machine.open(QIODevice::ReadOnly)) {
            QFile socket(config + QStringLiteral("/ibus/bus/") +
                         QString::fromLatin1(machine.readAll().trimmed()) + QLatin1Char('-') +
                         host + QLatin1Char('-') + number);
            if (socket.open(QIODevice::ReadOnly))
                for (const QByteArray &line : socket.readAll().split('\n'))
                    if (line.startsWith("IBUS_ADDRESS="))
                        address = QString::fromUtf8(line.mid(13));
        }
    }
    if (address.isEmpty())
        return bus;
    return QDBusConnection::connectToBus(address, name);
}

// The engine IBus types Latin with: the user's first keyboard layout engine.
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
    if (m_method == Method::Fcitx5)
        connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow *focused) {
            if (m_window && focused == m_window->windowHandle())
                windowFocused();
        });
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

int LatinInput::fcitxState()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.fcitx.Fcitx5"), QStringLiteral("/controller"),
        QStringLiteral("org.fcitx.Fcitx.Controller1"), QStringLiteral("State"));
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(call, QDBus::Block, callTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0).toInt() : 0;
}

void LatinInput::calledUp()
{
    if (m_method == Method::IBus)
        ibusToLatin();
    m_pending = m_method == Method::Fcitx5;
}

void LatinInput::windowFocused()
{
    const bool check = m_pending && m_everFocused;
    m_pending = false;
    m_everFocused = true;
    if (check && fcitxState() == 2)
        switchLikeTheUser();
}

void LatinInput::switchLikeTheUser()
{
    QPlatformInputContext *input = QGuiApplicationPrivate::platformIntegration()->inputContext();
    if (!input || !QX11Info::isPlatformX11())
        return;
    const quint32 code = XKeysymToKeycode(QX11Info::display(), XK_Shift_L);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier, code, XK_Shift_L, 0);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Shift, Qt::ShiftModifier, code, XK_Shift_L,
                      ShiftMask);
    input->filterEvent(&press);
    input->filterEvent(&release);
}

void LatinInput::ibusToLatin()
{
    const QDBusConnection bus = ibusBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.IBus"), QStringLiteral("/org/freedesktop/IBus"),
        QStringLiteral("org.freedesktop.IBus"), QStringLiteral("SetGlobalEngine"));
    call << ibusLatinEngine();
    bus.call(call, QDBus::Block, callTimeoutMs);
}
