#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// A global shortcut that the desktop itself owns, for sessions where an X11 key grab only works
// while one of our windows has the focus (Wayland). The desktop runs a command when it is
// pressed, or (the portal) tells the running program with activated().
class DesktopShortcut : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        bool bound = false;
        // Who holds the combination already, when that kept ours from being bound.
        QString takenBy;
        // Asked, and answered later (the portal waits for the user's consent).
        bool pending = false;
    };

    // Where the user finds the shortcut in the desktop's own settings.
    virtual QString place() const = 0;
    // Binds keys to the command, replacing an earlier binding of ours. Nothing of anybody else's
    // is changed: a combination in use is reported in takenBy.
    virtual Result bind(const QKeySequence &keys, const QStringList &command) = 0;
    // Removes ours, wherever it is; true when none is left.
    virtual bool unbind() = 0;
    virtual bool isBound() const = 0;
    // Bound, to this command, and to these keys when some are given.
    virtual bool isBoundTo(const QStringList &command, const QKeySequence &keys = {}) const = 0;

    // The desktop's own way for this session: none on X11, where the grab serves.
    static std::unique_ptr<DesktopShortcut> forSession();
    // Every way this machine offers, for taking ours away wherever it was made.
    static std::vector<std::unique_ptr<DesktopShortcut>> all();
    // Takes away the shortcuts that run this install's command, in every desktop's settings
    // (an uninstall); another install's stay. False when one could not be taken away.
    static bool removeOurs();
    // The command the shortcut runs, as program and arguments: the starter beside the program,
    // else the one on PATH.
    static QStringList toggleCommand();
    // The command as a shell reads it, each word quoted where it needs to be.
    static QString shellCommand(const QStringList &command);
    // A Wayland session, where X11 key grabs reach us only while we have the focus.
    static bool isWaylandSession();

signals:
    void activated();
    // The outcome of a bind that was pending.
    void finished(const DesktopShortcut::Result &result);
};

Q_DECLARE_METATYPE(DesktopShortcut::Result)
