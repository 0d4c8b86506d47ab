#pragma once

#include <QString>

#include <optional>

// Bringing the window to the front on behalf of another process (a second start, a desktop
// shortcut running "quiver --toggle"). Window managers that prevent focus stealing (KWin,
// Mutter) let a window take the focus only with proof of a user action newer than the last
// input into the window that has it: the caller's startup identifier or activation token, and
// the X server time the caller read when it was started.
namespace Activation {
struct Request
{
    // DESKTOP_STARTUP_ID, else XDG_ACTIVATION_TOKEN, as the caller's starter passed it.
    QString token;
    // The X server time of the user's action; 0 when unknown.
    quint32 userTime = 0;
};

// This process's own: the token its starter passed, and the X server's time now (0 off X11).
// Needs the application object.
Request fromCaller(const QString &token);
// This process's token, as its starter passed it; read before the application object, which
// takes the startup identifier out of the environment.
QString callerToken();
// Takes what the starter left for this process alone out of the environment (its token,
// GIO's record of the entry that started it), so that programs started from here neither reuse
// a spent token nor claim our entry. After the application object has read it.
void forgetCaller();
// Makes the next activation and mapping of a window carry the request: its user time (given,
// or the "…_TIME<n>" an X11 startup identifier ends with) as the time of the activation
// request, and the identifier itself, so that the starter's launch feedback ends.
void prepare(const Request &request);
// The window the window manager names active (_NET_ACTIVE_WINDOW), 0 for none; nullopt where
// it names none at all (no EWMH window manager, or not X11).
std::optional<quint32> activeWindow();
// Ends the starter's launch feedback (its busy cursor or bouncing icon) for an X11 startup
// identifier. Qt ends it only for a window it maps anew; a command for a window already shown,
// or one that hides it, ends it here.
void end(const QString &token);
} // namespace Activation
