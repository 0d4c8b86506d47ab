#pragma once

#include <QString>
#include <QStringList>

class KelWinAPI final
{
public:
    // Starts file with administrator rights through pkexec, with parameters split as item
    // arguments are and the display passed through. Detached, it returns once the user was
    // authorised and the program starts, however long the password takes, without waiting for
    // the program; false when that did not happen (no pkexec, the password dialog cancelled, not
    // authorised). With detached false the call waits for pkexec to end and is true only on its
    // success.
    static bool KelShellExecuteExW(const QString &file, const QString &parameters, bool detached);

    // An argument string cut at every single space, empty pieces kept; no quoting. An empty
    // string gives no arguments.
    static QStringList splitArguments(const QString &arguments);

    // "NAME=value" for the variables a graphical program needs to reach this session's display
    // (DISPLAY, XAUTHORITY, WAYLAND_DISPLAY), as absolute as they can be made.
    static QStringList displayEnvironment();
};
