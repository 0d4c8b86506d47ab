#include "Actions/SystemActions.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFutureInterface>

#include <algorithm>

#include <easylogging++.h>

namespace {
const QString login1 = QStringLiteral("org.freedesktop.login1");
const QString login1Path = QStringLiteral("/org/freedesktop/login1");
const QString login1Manager = QStringLiteral("org.freedesktop.login1.Manager");
// logind's name for the session of whoever calls.
const QString ownSession = QStringLiteral("/org/freedesktop/login1/session/auto");
const QString login1Session = QStringLiteral("org.freedesktop.login1.Session");
const QString kdeShutdown = QStringLiteral("org.kde.Shutdown");
const QString gnomeSession = QStringLiteral("org.gnome.SessionManager");

// A password dialog of polkit may stand between the request and its answer.
constexpr int replyTimeout = 5 * 60 * 1000;

const char *actionId(SystemActions::Action action)
{
    switch (action) {
    case SystemActions::Action::Lock:
        return "lock";
    case SystemActions::Action::LogOut:
        return "logout";
    case SystemActions::Action::PowerOff:
        return "poweroff";
    case SystemActions::Action::Reboot:
        return "reboot";
    case SystemActions::Action::Suspend:
        return "suspend";
    }
    return "";
}

QString iconName(SystemActions::Action action)
{
    switch (action) {
    case SystemActions::Action::Lock:
        return QStringLiteral("system-lock-screen");
    case SystemActions::Action::LogOut:
        return QStringLiteral("system-log-out");
    case SystemActions::Action::PowerOff:
        return QStringLiteral("system-shutdown");
    case SystemActions::Action::Reboot:
        return QStringLiteral("system-reboot");
    case SystemActions::Action::Suspend:
        return QStringLiteral("system-suspend");
    }
    return QString();
}

// Other words people look for them by.
QString aliases(SystemActions::Action action)
{
    switch (action) {
    case SystemActions::Action::Lock:
        return QStringLiteral("锁定屏幕 lock screen");
    case SystemActions::Action::LogOut:
        return QStringLiteral("退出登录 登出 log out logout sign out");
    case SystemActions::Action::PowerOff:
        return QStringLiteral("关闭计算机 shut down shutdown power off poweroff");
    case SystemActions::Action::Reboot:
        return QStringLiteral("重新启动 restart reboot");
    case SystemActions::Action::Suspend:
        return QStringLiteral("休眠 挂起 待机 suspend sleep");
    }
    return QString();
}

bool onSessionBus(const QString &service)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(service);
}

// Why the session refused, for the user.
QString reason(const QDBusError &error, const QString &service)
{
    if (error.name() == QLatin1String("org.freedesktop.login1.NoSessionForPID") ||
        error.name() == QLatin1String("org.freedesktop.login1.NoSuchSession"))
        return QStringLiteral("本程序不在登录会话中");
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
        return QStringLiteral("没有会话服务 %1").arg(service);
    case QDBusError::AccessDenied:
        return QStringLiteral("没有权限");
    case QDBusError::NoReply:
    case QDBusError::Timeout:
        return QStringLiteral("会话服务 %1 没有应答").arg(service);
    case QDBusError::Disconnected:
        return QStringLiteral("无法连接 D-Bus");
    default:
        return QStringLiteral("会话服务 %1 拒绝了请求 (%2)").arg(service, error.name());
    }
}

// The request goes out at once; the future tells later whether it was taken, and why not.
QFuture<StartOutcome> request(const QDBusConnection &bus, const QDBusMessage &call)
{
    const QString what = call.service() + QLatin1Char(' ') + call.member();
    // A bus that never came up answers nothing, not even an error.
    if (!bus.isConnected()) {
        LOG(WARNING) << "system action " << what << " failed: " << bus.lastError().message();
        return finishedFuture(StartOutcome::failure(QStringLiteral("无法连接 D-Bus")));
    }
    QFutureInterface<StartOutcome> outcome(QFutureInterfaceBase::Started);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, replyTimeout));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [outcome, watcher, what, service = call.service()]() mutable {
                         watcher->deleteLater();
                         StartOutcome taken = StartOutcome::success();
                         if (watcher->isError()) {
                             LOG(WARNING) << "system action " << what
                                          << " failed: " << watcher->error().message();
                             taken = StartOutcome::failure(reason(watcher->error(), service));
                         }
                         outcome.reportFinished(&taken);
                     });
    return outcome.future();
}

QDBusMessage call(const QString &service,
                  const QString &path,
                  const QString &interface,
                  const QString &method,
                  const QVariantList &arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    // logind may ask polkit, which may ask the user for a password.
    message.setInteractiveAuthorizationAllowed(true);
    return message;
}

QFuture<StartOutcome> logind(const QDBusConnection &system,
                             const QString &path,
                             const QString &interface,
                             const QString &method,
                             const QVariantList &arguments = {})
{
    return request(system, call(login1, path, interface, method, arguments));
}

QFuture<StartOutcome> sessionManager(const QString &service,
                                     const QString &path,
                                     const QString &interface,
                                     const QString &method,
                                     const QVariantList &arguments = {})
{
    return request(QDBusConnection::sessionBus(),
                   call(service, path, interface, method, arguments));
}

QFuture<StartOutcome> perform(SystemActions::Action action, const QDBusConnection &system)
{
    // "interactive": polkit may ask the user when the machine's policy wants it.
    const QVariantList interactive{true};
    switch (action) {
    case SystemActions::Action::Lock:
        return logind(system, ownSession, login1Session, QStringLiteral("Lock"));
    case SystemActions::Action::LogOut:
        if (onSessionBus(kdeShutdown))
            return sessionManager(kdeShutdown, QStringLiteral("/Shutdown"), kdeShutdown,
                                  QStringLiteral("logout"));
        if (onSessionBus(gnomeSession))
            // 1: no confirmation of its own, the user was asked already.
            return sessionManager(gnomeSession, QStringLiteral("/org/gnome/SessionManager"),
                                  gnomeSession, QStringLiteral("Logout"), {uint(1)});
        return logind(system, ownSession, login1Session, QStringLiteral("Terminate"));
    case SystemActions::Action::PowerOff:
        if (onSessionBus(kdeShutdown))
            return sessionManager(kdeShutdown, QStringLiteral("/Shutdown"), kdeShutdown,
                                  QStringLiteral("logoutAndShutdown"));
        return logind(system, login1Path, login1Manager, QStringLiteral("PowerOff"), interactive);
    case SystemActions::Action::Reboot:
        if (onSessionBus(kdeShutdown))
            return sessionManager(kdeShutdown, QStringLiteral("/Shutdown"), kdeShutdown,
                                  QStringLiteral("logoutAndReboot"));
        return logind(system, login1Path, login1Manager, QStringLiteral("Reboot"), interactive);
    case SystemActions::Action::Suspend:
        return logind(system, login1Path, login1Manager, QStringLiteral("Suspend"), interactive);
    }
    return finishedFuture(StartOutcome::failure());
}
} // namespace

SystemActions::SystemActions(std::function<QDBusConnection()> systemBus)
    : m_systemBus(std::move(systemBus))
{
    for (Action action :
         {Action::Lock, Action::LogOut, Action::PowerOff, Action::Reboot, Action::Suspend})
        m_entries << Entry{action, foldForSearch(name(action)), foldForSearch(aliases(action))};
}

QString SystemActions::label() const
{
    return QStringLiteral("系统操作");
}

QString SystemActions::name(Action action)
{
    switch (action) {
    case Action::Lock:
        return QStringLiteral("锁屏");
    case Action::LogOut:
        return QStringLiteral("注销");
    case Action::PowerOff:
        return QStringLiteral("关机");
    case Action::Reboot:
        return QStringLiteral("重启");
    case Action::Suspend:
        return QStringLiteral("睡眠");
    }
    return QString();
}

QString SystemActions::question(Action action)
{
    switch (action) {
    case Action::LogOut:
        return QStringLiteral("确定要注销吗？");
    case Action::PowerOff:
        return QStringLiteral("确定要关机吗？");
    case Action::Reboot:
        return QStringLiteral("确定要重启吗？");
    case Action::Lock:
    case Action::Suspend:
        break;
    }
    return QString();
}

QVector<ActionRow> SystemActions::query(const SearchQuery &query, const QString &)
{
    if (query.isEmpty())
        return {};
    QVector<ActionRow> rows;
    for (const Entry &entry : qAsConst(m_entries)) {
        const MatchBand band = matchItem(query, entry.foldedName, entry.foldedAliases);
        if (band == MatchBand::None || band == MatchBand::Fuzzy)
            continue;
        ActionRow result = row(band, name(entry.action), QStringLiteral("系统操作"));
        result.iconName = iconName(entry.action);
        result.payload = QString::fromLatin1(actionId(entry.action));
        rows << result;
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const ActionRow &a, const ActionRow &b) { return a.band < b.band; });
    return rows;
}

ActionOutcome SystemActions::run(const ActionRow &row, const ActionContext &context)
{
    for (const Entry &entry : qAsConst(m_entries)) {
        if (row.payload != QLatin1String(actionId(entry.action)))
            continue;
        const QString ask = question(entry.action);
        if (!ask.isEmpty() && (!context.confirm || !context.confirm(ask)))
            return ActionOutcome::cancelled();
        LOG(INFO) << "System action: " << name(entry.action);
        return ActionOutcome::later(perform(entry.action, m_systemBus()),
                                    name(entry.action) + QStringLiteral("失败"));
    }
    return ActionOutcome::refused(QStringLiteral("未知的系统操作"));
}
