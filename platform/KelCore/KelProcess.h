#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Starting programs beyond what QProcess does: as administrator through pkexec, with arguments
// split as a shell reads them and the session's display passed on.
class KelProcess final
{
public:
    // Starts file with administrator rights through pkexec, with parameters split as item
    // arguments are and the display passed through, in the working folder (the file's own when
    // none is given). Detached, it returns once the user was authorised and the program starts,
    // however long the password takes, without waiting for the program; false when that did not
    // happen (no pkexec, the password dialog cancelled, not authorised, parameters a shell
    // could not read). With detached false the call waits for pkexec to end and is true only on
    // its success.
    static bool runAsAdministrator(const QString &file,
                                   const QString &parameters,
                                   bool detached,
                                   const QString &workingDirectory = QString());

    // An argument string as a shell reads it: words apart at blanks, quotes and backslashes
    // keeping blanks and quotes inside a word ("'My Documents/a b.txt' -v"). Nothing when the
    // quotes do not close; an empty string gives no arguments.
    static std::optional<QStringList> splitArguments(const QString &arguments);

    // "NAME=value" for the variables a graphical program needs to reach this session's display
    // (DISPLAY, XAUTHORITY, WAYLAND_DISPLAY), as absolute as they can be made.
    static QStringList displayEnvironment();
};
