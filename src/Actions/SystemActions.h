#pragma once

#include "Actions/ActionProvider.h"

#include <QDBusConnection>

// 锁屏, 注销, 关机, 重启 and 睡眠, found by name and pinyin ("sp" finds 锁屏) and by their
// other names ("lock", "shutdown"). They are requests on D-Bus: to logind
// (org.freedesktop.login1, on the system bus) for the session and the machine, and to the
// session manager for logging out, so that the desktop ends the session its own way: KDE's
// org.kde.Shutdown where it runs (also before shutting down or restarting), else GNOME's
// org.gnome.SessionManager, else logind ends the session. Logging out, shutting down and
// restarting ask first.
class SystemActions final : public ActionProvider
{
public:
    enum class Action { Lock, LogOut, PowerOff, Reboot, Suspend };

    // systemBus: where logind is asked; the machine's own unless a test gives its own.
    explicit SystemActions(
        std::function<QDBusConnection()> systemBus = &QDBusConnection::systemBus);

    QString key() const override { return QStringLiteral("SystemActions"); }
    QString label() const override;
    QVector<ActionRow> query(const SearchQuery &query, const QString &typed) override;
    ActionOutcome run(const ActionRow &row, const ActionContext &context) override;

    // What is asked before the action ("确定要关机吗？"); empty when it is done at once.
    static QString question(Action action);
    static QString name(Action action);

private:
    struct Entry
    {
        Action action;
        QString foldedName;
        QString foldedAliases;
    };

    QVector<Entry> m_entries;
    std::function<QDBusConnection()> m_systemBus;
};
