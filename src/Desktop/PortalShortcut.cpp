#include "Desktop/PortalShortcut.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>

#include "QHotkey.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {
const char service[] = "org.freedesktop.portal.Desktop";
const char path[] = "/org/freedesktop/portal/desktop";
const char interface[] = "org.freedesktop.portal.GlobalShortcuts";
const char shortcutId[] = "toggle";

// One shortcut as the portal takes it: an id and its properties, a(sa{sv}).
struct PortalShortcutEntry
{
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcutEntry &entry)
{
    argument.beginStructure();
    argument << entry.id << entry.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcutEntry &entry)
{
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.endStructure();
    return argument;
}
} // namespace

Q_DECLARE_METATYPE(PortalShortcutEntry)

namespace {
QDBusMessage portalCall(const QString &method, const QVariantList &arguments)
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(QString::fromLatin1(service), QString::fromLatin1(path),
                                       QString::fromLatin1(interface), method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, 5000);
}
} // namespace

bool PortalShortcut::isAvailable()
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QString::fromLatin1(service), QString::fromLatin1(path),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message.setArguments({QString::fromLatin1(interface), QStringLiteral("version")});
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().value<QDBusVariant>().variant().toUInt() >= 1;
}

QString PortalShortcut::place() const
{
    return QStringLiteral("桌面门户 (xdg-desktop-portal) 的全局快捷键，随本程序运行");
}

QString PortalShortcut::trigger(const QKeySequence &keys)
{
    if (keys.isEmpty())
        return {};
    const int combination = keys[0];
    KeySym lower = NoSymbol, upper = NoSymbol;
    XConvertCase(KeySym(QHotkey::keysym(combination & ~Qt::KeyboardModifierMask)), &lower, &upper);
    const char *name = lower == NoSymbol ? nullptr : XKeysymToString(lower);
    if (!name)
        return {};
    QStringList parts;
    if (combination & Qt::ControlModifier)
        parts << QStringLiteral("CTRL");
    if (combination & Qt::AltModifier)
        parts << QStringLiteral("ALT");
    if (combination & Qt::ShiftModifier)
        parts << QStringLiteral("SHIFT");
    if (combination & Qt::MetaModifier)
        parts << QStringLiteral("LOGO");
    return (parts << QString::fromLatin1(name)).join(QLatin1Char('+'));
}

void PortalShortcut::request(const QString &method,
                             QVariantList arguments,
                             std::function<void(uint, const QVariantMap &)> then)
{
    // The answer comes as a signal of a request object whose path the token makes known in
    // advance: listened to before the call, so that no answer slips past.
    const QString token = QStringLiteral("quiver%1").arg(++m_tokens);
    QString sender = QDBusConnection::sessionBus().baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString requestPath =
        QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    QDBusConnection::sessionBus().connect(
        QString::fromLatin1(service), requestPath, QStringLiteral("org.freedesktop.portal.Request"),
        QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    m_pendingRequest = requestPath;
    m_then = std::move(then);
    QVariantMap options = arguments.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments << options;
    const QDBusMessage reply = portalCall(method, arguments);
    if (reply.type() != QDBusMessage::ReplyMessage)
        onResponse(2, {});
}

void PortalShortcut::onResponse(uint response, const QVariantMap &results)
{
    QDBusConnection::sessionBus().disconnect(QString::fromLatin1(service), m_pendingRequest,
                                             QStringLiteral("org.freedesktop.portal.Request"),
                                             QStringLiteral("Response"), this,
                                             SLOT(onResponse(uint, QVariantMap)));
    if (const auto then = std::exchange(m_then, nullptr))
        then(response, results);
    if (std::exchange(m_rebind, false) && !m_session.isEmpty())
        bindInSession();
}

DesktopShortcut::Result PortalShortcut::bind(const QKeySequence &keys, const QStringList &)
{
    qDBusRegisterMetaType<PortalShortcutEntry>();
    qDBusRegisterMetaType<QList<PortalShortcutEntry>>();
    m_trigger = trigger(keys);
    Result pending;
    pending.pending = true;
    // One question at a time: a new combination asked while one is out is bound after it.
    if (m_then) {
        m_rebind = true;
        return pending;
    }
    if (!m_session.isEmpty()) {
        bindInSession();
        return pending;
    }
    request(QStringLiteral("CreateSession"),
            {QVariantMap{{QStringLiteral("session_handle_token"), QStringLiteral("quiver")}}},
            [this](uint response, const QVariantMap &results) {
                m_session = results.value(QStringLiteral("session_handle")).toString();
                if (response != 0 || m_session.isEmpty()) {
                    m_session.clear();
                    emit finished({});
                    return;
                }
                QDBusConnection::sessionBus().connect(
                    QString::fromLatin1(service), QString::fromLatin1(path),
                    QString::fromLatin1(interface), QStringLiteral("Activated"), this,
                    SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
                bindInSession();
            });
    return pending;
}

void PortalShortcut::bindInSession()
{
    const PortalShortcutEntry entry{
        QString::fromLatin1(shortcutId),
        {{QStringLiteral("description"), QStringLiteral("显示/隐藏 Quiver")},
         {QStringLiteral("preferred_trigger"), m_trigger}}};
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(m_session)),
             QVariant::fromValue(QList<PortalShortcutEntry>{entry}), QString(), QVariantMap()},
            [this](uint response, const QVariantMap &results) {
                const auto bound = qdbus_cast<QList<PortalShortcutEntry>>(
                    results.value(QStringLiteral("shortcuts")));
                m_bound = response == 0 &&
                          std::any_of(bound.cbegin(), bound.cend(), [](const auto &shortcut) {
                              return shortcut.id == QLatin1String(shortcutId);
                          });
                Result result;
                result.bound = m_bound;
                emit finished(result);
            });
}

void PortalShortcut::onActivated(const QDBusObjectPath &session,
                                 const QString &id,
                                 qulonglong,
                                 const QVariantMap &)
{
    if (m_bound && session.path() == m_session && id == QLatin1String(shortcutId))
        emit activated();
}

bool PortalShortcut::unbind()
{
    if (!m_session.isEmpty()) {
        QDBusMessage close = QDBusMessage::createMethodCall(
            QString::fromLatin1(service), m_session,
            QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close"));
        QDBusConnection::sessionBus().call(close, QDBus::Block, 2000);
    }
    m_session.clear();
    m_bound = false;
    return true;
}

bool PortalShortcut::isBound() const
{
    return m_bound;
}

bool PortalShortcut::isBoundTo(const QStringList &, const QKeySequence &keys) const
{
    // Bound for this process alone, whatever would run it.
    return m_bound && (keys.isEmpty() || trigger(keys) == m_trigger);
}
