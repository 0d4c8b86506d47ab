#pragma once

#include "Desktop/DesktopShortcut.h"

#include <QStringList>

// A global shortcut of KDE Plasma's KGlobalAccel (inside KWin, or its own daemon), reached over
// D-Bus: it starts a hidden desktop entry of ours, as Plasma's own command shortcuts do.
class KdeShortcut final : public DesktopShortcut
{
    Q_OBJECT

public:
    // KGlobalAccel answers on the session bus, or can be started there.
    static bool isAvailable();

    QString place() const override;
    Result bind(const QKeySequence &keys, const QStringList &command) override;
    bool unbind() override;
    bool isBound() const override;
    bool isBoundTo(const QStringList &command, const QKeySequence &keys = {}) const override;

    // The hidden entry KGlobalAccel starts: its file in the user's applications folder.
    static QString entryPath();

private:
    // Component, action, and their names as Plasma's shortcut settings show them.
    static QStringList actionId();
    // The command as the entry's Exec line.
    static QString execLine(const QStringList &command);
    // Who holds the key in KGlobalAccel, as "component: action".
    static QString takenBy(int key);
};
