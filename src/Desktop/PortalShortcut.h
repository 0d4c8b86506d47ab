#pragma once

#include "Desktop/DesktopShortcut.h"

#include <QDBusObjectPath>
#include <QVariantMap>

#include <functional>

// A shortcut of the XDG desktop portal's GlobalShortcuts interface, where the portal offers it.
// The portal asks the user to confirm it and tells the running program of each press
// (activated()); nothing is started. It lasts as long as the portal session, that is as long as
// the program runs.
class PortalShortcut final : public DesktopShortcut
{
    Q_OBJECT

public:
    static bool isAvailable();

    QString place() const override;
    // Asks the portal and answers at once that the answer is pending: the outcome comes later
    // with finished(), once the user has confirmed the shortcut in the portal's dialog.
    Result bind(const QKeySequence &keys, const QStringList &command) override;
    bool unbind() override;
    bool isBound() const override;
    bool isBoundTo(const QStringList &command, const QKeySequence &keys = {}) const override;

    // The combination as the portal's shortcuts format writes it ("CTRL+ALT+space").
    static QString trigger(const QKeySequence &keys);

private slots:
    void onResponse(uint response, const QVariantMap &results);
    void onActivated(const QDBusObjectPath &session,
                     const QString &id,
                     qulonglong timestamp,
                     const QVariantMap &options);

private:
    // Calls a method that answers through a request object, and runs then with its answer.
    void request(const QString &method,
                 QVariantList arguments,
                 std::function<void(uint, const QVariantMap &)> then);
    void bindInSession();

    QString m_session;
    QString m_trigger;
    QString m_pendingRequest;
    std::function<void(uint, const QVariantMap &)> m_then;
    bool m_bound = false;
    bool m_rebind = false;
    int m_tokens = 0;
};
