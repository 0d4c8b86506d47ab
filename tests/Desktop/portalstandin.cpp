// A stand-in for the desktop portal's GlobalShortcuts interface on a test's session bus: it
// creates sessions, binds what it is asked to at once (the user's consent taken as given), and
// reports a press when the test calls Press(id). LastTrigger() tells which combination was
// asked for.
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QTimer>

struct Shortcut
{
    QString id;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(Shortcut)

QDBusArgument &operator<<(QDBusArgument &argument, const Shortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Shortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

class Portal final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)

public:
    uint version() const { return 1; }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap &options)
    {
        m_session = QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                        .arg(sender(), options.value("session_handle_token").toString());
        return answer(options, {{"session_handle", m_session}});
    }

    QDBusObjectPath BindShortcuts(const QDBusObjectPath &session,
                                  const QList<Shortcut> &bound,
                                  const QString &,
                                  const QVariantMap &options)
    {
        if (!bound.isEmpty())
            m_lastTrigger = bound.first().properties.value("preferred_trigger").toString();
        QVariantMap results;
        results.insert("shortcuts", QVariant::fromValue(bound));
        Q_UNUSED(session)
        return answer(options, results);
    }

    QString LastTrigger() const { return m_lastTrigger; }

    void Press(const QString &id)
    {
        QDBusMessage activated =
            QDBusMessage::createSignal("/org/freedesktop/portal/desktop",
                                       "org.freedesktop.portal.GlobalShortcuts", "Activated");
        activated << QVariant::fromValue(QDBusObjectPath(m_session)) << id
                  << QVariant::fromValue(qulonglong(0)) << QVariantMap();
        QDBusConnection::sessionBus().send(activated);
    }

private:
    QString sender() const
    {
        QString name = message().service().mid(1);
        return name.replace('.', '_');
    }

    // The request object the caller listens on, answered once the call has returned.
    QDBusObjectPath answer(const QVariantMap &options, const QVariantMap &results)
    {
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(sender(), options.value("handle_token").toString());
        QTimer::singleShot(50, this, [path, results] {
            QDBusMessage response =
                QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
            response << 0u << results;
            QDBusConnection::sessionBus().send(response);
        });
        return QDBusObjectPath(path);
    }

    QString m_session;
    QString m_lastTrigger;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<Shortcut>();
    qDBusRegisterMetaType<QList<Shortcut>>();
    Portal portal;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject("/org/freedesktop/portal/desktop", &portal,
                            QDBusConnection::ExportAllSlots |
                                QDBusConnection::ExportAllProperties) ||
        !bus.registerService("org.freedesktop.portal.Desktop"))
        return 1;
    return app.exec();
}

#include "portalstandin.moc"
