#pragma once

#include <QString>

// Bringing the window to the front on behalf of another process (a second start, a desktop
// shortcut running "Quiver --show"). Window managers that prevent focus stealing (KWin,
// Mutter) let a window take the focus only with the caller's proof of a user action: its
// startup identifier or activation token.
namespace Activation {
// This process's own, as its starter passed it: DESKTOP_STARTUP_ID, else XDG_ACTIVATION_TOKEN.
QString callerToken();
// Makes the next activation and mapping of a window use the token: on X11 the user time the
// startup identifier carries ("…_TIME<n>"), and the identifier itself, so the starter's busy
// cursor ends.
void prepare(const QString &token);
// Ends the starter's launch feedback (its busy cursor or bouncing icon) for an X11 startup
// identifier. Qt ends it only for a window it maps anew; a command for a window already shown,
// or one that hides it, ends it here.
void end(const QString &token);
} // namespace Activation
