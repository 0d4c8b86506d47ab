// The system actions as D-Bus requests, answered by a stand-in logind (and GNOME's and KDE's
// session managers) on a bus daemon of the test's own, which is both its session and its
// "system" bus: nothing here can reach the machine's logind.
#include "Actions/SystemActions.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFutureWatcher>
#include <QProcess>

namespace {
QProcess *g_bus = nullptr;

// Started before anything could connect to a bus, so that every connection is to this one.
bool startPrivateBus()
{
    g_bus = new QProcess;
    g_bus->start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"),
                  QStringLiteral("--print-address")});
    if (!g_bus->waitForStarted() || !g_bus->waitForReadyRead(10000))
        return false;
    const QByteArray address = g_bus->readLine().trimmed();
    if (!address.startsWith("unix:"))
        return false;
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    return true;
}
} // namespace

class TestSystemActions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void shouldRequestTheActionFromTheSession_data();
    void shouldRequestTheActionFromTheSession();
    void shouldReportARefusedRequest_data();
    void shouldReportARefusedRequest();

private:
    void startStandIn(const QStringList &options);
    void waitForStandIn();
    QStringList calls() const;
    static ActionRow rowFor(SystemActions &actions, const QString &name);

    QTemporaryDir m_dir;
    QProcess m_standIn;
};

void TestSystemActions::initTestCase()
{
    QVERIFY(g_bus && g_bus->state() == QProcess::Running);
    QCOMPARE(qgetenv("DBUS_SYSTEM_BUS_ADDRESS"), qgetenv("DBUS_SESSION_BUS_ADDRESS"));
    // The very same daemon on both: the machine's logind is out of reach.
    const auto busId = [](const QDBusConnection &bus) {
        const QDBusMessage reply = bus.call(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")));
        return reply.arguments().value(0).toString();
    };
    QVERIFY(!busId(QDBusConnection::systemBus()).isEmpty());
    QCOMPARE(busId(QDBusConnection::systemBus()), busId(QDBusConnection::sessionBus()));
}

void TestSystemActions::waitForStandIn()
{
    // Calls reach the stand-in in the order they were sent: once it answered this one, it has
    // written down every call sent before.
    const QDBusMessage reply = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")));
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
}

void TestSystemActions::startStandIn(const QStringList &options)
{
    m_standIn.setProcessChannelMode(QProcess::ForwardedChannels);
    m_standIn.start(QStringLiteral(QUIVER_SESSION_STANDIN),
                    QStringList{m_dir.filePath(QStringLiteral("calls"))} + options);
    QVERIFY(m_standIn.waitForStarted());
    QTRY_VERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(
        QStringLiteral("org.freedesktop.login1")));
}

void TestSystemActions::cleanup()
{
    if (m_standIn.state() != QProcess::NotRunning) {
        m_standIn.kill();
        m_standIn.waitForFinished();
    }
    // The next stand-in must not meet this one's names.
    QTRY_VERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
        QStringLiteral("org.freedesktop.login1")));
    QFile::remove(m_dir.filePath(QStringLiteral("calls")));
}

QStringList TestSystemActions::calls() const
{
    QFile file(m_dir.filePath(QStringLiteral("calls")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

ActionRow TestSystemActions::rowFor(SystemActions &actions, const QString &name)
{
    const QVector<ActionRow> rows = actions.query(SearchQuery(name), name);
    for (const ActionRow &row : rows)
        if (row.title == name)
            return row;
    return ActionRow();
}

void TestSystemActions::shouldRequestTheActionFromTheSession_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("desktop");
    // "yes", "no", or "" when the window supplies no way to ask.
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("call");

    const QStringList none;
    const QStringList gnome{QStringLiteral("--gnome")};
    const QStringList kde{QStringLiteral("--kde")};
    QTest::newRow("lock, not asked") << "锁屏" << none << ""
                                     << ""
                                     << "org.freedesktop.login1.Session.Lock";
    QTest::newRow("sleep, not asked") << "睡眠" << none << ""
                                      << ""
                                      << "org.freedesktop.login1.Manager.Suspend true";
    QTest::newRow("power off") << "关机" << none << "yes"
                               << "确定要关机吗？"
                               << "org.freedesktop.login1.Manager.PowerOff true";
    QTest::newRow("power off, no") << "关机" << none << "no"
                                   << "确定要关机吗？"
                                   << "";
    // A window that forgot to supply the question must not shut the machine down unasked.
    QTest::newRow("power off, no way to ask") << "关机" << none << ""
                                              << "确定要关机吗？"
                                              << "";
    QTest::newRow("restart") << "重启" << none << "yes"
                             << "确定要重启吗？"
                             << "org.freedesktop.login1.Manager.Reboot true";
    QTest::newRow("restart, no") << "重启" << gnome << "no"
                                 << "确定要重启吗？"
                                 << "";
    QTest::newRow("log out without a session manager")
        << "注销" << none << "yes"
        << "确定要注销吗？"
        << "org.freedesktop.login1.Session.Terminate";
    QTest::newRow("log out, no") << "注销" << kde << "no"
                                 << "确定要注销吗？"
                                 << "";
    // GNOME is not to ask again: mode 1 is "no confirmation".
    QTest::newRow("log out of GNOME") << "注销" << gnome << "yes"
                                      << "确定要注销吗？"
                                      << "org.gnome.SessionManager.Logout 1";
    QTest::newRow("log out of KDE") << "注销" << kde << "yes"
                                    << "确定要注销吗？"
                                    << "org.kde.Shutdown.logout";
    QTest::newRow("power off from KDE") << "关机" << kde << "yes"
                                        << "确定要关机吗？"
                                        << "org.kde.Shutdown.logoutAndShutdown";
    QTest::newRow("restart from KDE") << "重启" << kde << "yes"
                                      << "确定要重启吗？"
                                      << "org.kde.Shutdown.logoutAndReboot";
    QTest::newRow("power off from GNOME") << "关机" << gnome << "yes"
                                          << "确定要关机吗？"
                                          << "org.freedesktop.login1.Manager.PowerOff true";
}

void TestSystemActions::shouldRequestTheActionFromTheSession()
{
    QFETCH(QString, action);
    QFETCH(QStringList, desktop);
    QFETCH(QString, answer);
    QFETCH(QString, question);
    QFETCH(QString, call);
    startStandIn(desktop);

    SystemActions actions;
    QStringList asked;
    ActionContext context;
    if (!answer.isEmpty())
        context.confirm = [&](const QString &text) {
            asked << text;
            return answer == QLatin1String("yes");
        };
    const ActionRow row = rowFor(actions, action);
    QCOMPARE(row.provider, QStringLiteral("SystemActions"));
    const ActionOutcome outcome = actions.run(row, context);
    QCOMPARE(asked, question.isEmpty() || answer.isEmpty() ? QStringList() : QStringList{question});
    if (call.isEmpty()) {
        QCOMPARE(outcome.status, ActionOutcome::Status::Cancelled);
        waitForStandIn();
        QCOMPARE(calls(), QStringList());
        return;
    }
    QCOMPARE(outcome.status, ActionOutcome::Status::Pending);
    QVERIFY(outcome.pending);
    QTRY_VERIFY(outcome.pending->isFinished());
    QVERIFY(outcome.pending->result());
    QCOMPARE(calls(), QStringList{call});
}

void TestSystemActions::shouldReportARefusedRequest_data()
{
    QTest::addColumn<QString>("session");
    QTest::addColumn<QString>("reason");
    QTest::newRow("refused") << "refusing"
                             << "没有权限";
    QTest::newRow("no logind") << "none"
                               << "没有会话服务 org.freedesktop.login1";
    // A bus that is not there answers nothing at all, not even an error.
    QTest::newRow("no system bus") << "no bus"
                                   << "无法连接 D-Bus";
}

void TestSystemActions::shouldReportARefusedRequest()
{
    QFETCH(QString, session);
    QFETCH(QString, reason);
    if (session == "refusing")
        startStandIn({QStringLiteral("--refuse")});
    std::function<QDBusConnection()> systemBus = &QDBusConnection::systemBus;
    if (session == "no bus")
        systemBus = [] {
            return QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                 QStringLiteral("nowhere"));
        };
    SystemActions actions(systemBus);
    const ActionOutcome outcome = actions.run(rowFor(actions, QStringLiteral("锁屏")), {});
    QCOMPARE(outcome.status, ActionOutcome::Status::Pending);
    QTRY_VERIFY(outcome.pending->isFinished());
    QVERIFY(!outcome.pending->result());
    QCOMPARE(outcome.failure, QStringLiteral("锁屏失败"));
    QCOMPARE(outcome.pending->result().reason, reason);
    QCOMPARE(calls(), session == "refusing" ? QStringList{"org.freedesktop.login1.Session.Lock"}
                                            : QStringList());
}

int main(int argc, char **argv)
{
    prepareTestEnvironment();
    if (!startPrivateBus()) {
        std::fprintf(stderr, "no dbus-daemon of the test's own\n");
        return 1;
    }
    int result;
    {
        QApplication app(argc, argv);
        silenceLog();
        TestSystemActions test;
        result = QTest::qExec(&test, argc, argv);
    }
    g_bus->kill();
    g_bus->waitForFinished();
    delete g_bus;
    return result;
}

#include "tst_systemactions.moc"
