// A stand-in for logind and, when asked, the session managers of GNOME and KDE, on the bus
// the test gives it (both the "system" and the session bus of a test are its own daemon).
// Every call is written as one line "interface.method arguments" to the file named first;
// with --refuse every call is answered with an error instead, and still written.
//   quiver_sessionstandin <log file> [--gnome] [--kde] [--refuse]
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QFile>
#include <QStringList>

namespace {
QString g_logFile;
bool g_refuse = false;
} // namespace

// Its own meta-object names QDBusContext, through which the bus hands over each call: without
// it sendErrorReply has no call to answer.
class Recorder : public QObject, protected QDBusContext
{
    Q_OBJECT

protected:
    void record(const QString &interface, const QString &method, const QStringList &arguments = {})
    {
        {
            QFile log(g_logFile);
            if (log.open(QIODevice::Append))
                log.write(QStringList(QStringList{interface + '.' + method} + arguments)
                              .join(' ')
                              .append('\n')
                              .toUtf8());
        } // written down before the answer leaves
        if (g_refuse)
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("refused by the stand-in"));
    }
};

class Manager final : public Recorder
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public slots:
    void PowerOff(bool interactive)
    {
        record("org.freedesktop.login1.Manager", "PowerOff", {flag(interactive)});
    }
    void Reboot(bool interactive)
    {
        record("org.freedesktop.login1.Manager", "Reboot", {flag(interactive)});
    }
    void Suspend(bool interactive)
    {
        record("org.freedesktop.login1.Manager", "Suspend", {flag(interactive)});
    }

private:
    static QString flag(bool value) { return value ? "true" : "false"; }
};

class Session final : public Recorder
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")

public slots:
    void Lock() { record("org.freedesktop.login1.Session", "Lock"); }
    void Terminate() { record("org.freedesktop.login1.Session", "Terminate"); }
};

class GnomeSession final : public Recorder
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.SessionManager")

public slots:
    void Logout(uint mode)
    {
        record("org.gnome.SessionManager", "Logout", {QString::number(mode)});
    }
    void Shutdown() { record("org.gnome.SessionManager", "Shutdown"); }
    void Reboot() { record("org.gnome.SessionManager", "Reboot"); }
};

class KdeShutdown final : public Recorder
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.Shutdown")

public slots:
    void logout() { record("org.kde.Shutdown", "logout"); }
    void logoutAndShutdown() { record("org.kde.Shutdown", "logoutAndShutdown"); }
    void logoutAndReboot() { record("org.kde.Shutdown", "logoutAndReboot"); }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 2)
        return 2;
    g_logFile = arguments.at(1);
    g_refuse = arguments.contains("--refuse");
    QDBusConnection bus = QDBusConnection::sessionBus();
    Manager manager;
    Session session;
    GnomeSession gnome;
    KdeShutdown kde;
    // The session managers first: a test waits for logind's name and then finds them there.
    if (arguments.contains("--gnome") && (!bus.registerObject("/org/gnome/SessionManager", &gnome,
                                                              QDBusConnection::ExportAllSlots) ||
                                          !bus.registerService("org.gnome.SessionManager")))
        return 1;
    if (arguments.contains("--kde") &&
        (!bus.registerObject("/Shutdown", &kde, QDBusConnection::ExportAllSlots) ||
         !bus.registerService("org.kde.Shutdown")))
        return 1;
    if (!bus.registerObject("/org/freedesktop/login1", &manager, QDBusConnection::ExportAllSlots) ||
        !bus.registerObject("/org/freedesktop/login1/session/auto", &session,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService("org.freedesktop.login1"))
        return 1;
    return app.exec();
}

#include "sessionstandin.moc"
