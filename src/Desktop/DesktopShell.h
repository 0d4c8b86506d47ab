#pragma once

#include <QFuture>
#include <QString>
#include <QStringList>

#include "Desktop/StartOutcome.h"

class QUrl;

// Starting things the way the Linux desktop does: programs as detached processes, documents,
// folders and addresses through the applications the desktop associates with them (GIO),
// command lines through the shell. Every start runs on the application's thread pool, so a
// slow start never stalls the window; the future tells whether the start was made. Whatever is
// started runs in a session of its own: neither the terminal the launcher was started from
// (its Ctrl+C, its hang-up) nor the launcher's end reaches it.
namespace DesktopShell {
// Starts a program itself. A relative program or working folder is taken against the current
// folder at the moment of the call; a working folder that does not exist fails the start.
QFuture<StartOutcome>
startProgram(const QString &program, const QStringList &arguments, const QString &workingDirectory);
// userTime, where given, is the X server time of the user's action that asks for the start: an
// application that announces its start gets a startup identifier that carries it
// (DESKTOP_STARTUP_ID), so that its window may take the focus.

// Opens a document or folder with its associated application; not made when none would take
// it. An application that wants a terminal runs in x-terminal-emulator, as entries do.
QFuture<StartOutcome> openPath(const QString &path, quint32 userTime = 0);
// Opens an address with the handler of its scheme, never through a shell; local files are
// refused.
QFuture<StartOutcome> openAddress(const QUrl &url, quint32 userTime = 0);
// A command line: text with a URL scheme ("mailto:", "steam://") goes to its handler, a bare
// command runs detached through /bin/sh in the user's home folder.
QFuture<StartOutcome> openCommand(const QString &text, quint32 userTime = 0);
// Whether openCommand hands the text to the shell: it has no URL scheme.
bool isShellCommand(const QString &text);
// Starts the application a desktop entry describes, as the desktop does (GIO): Exec with its
// field codes, Terminal (in Debian's x-terminal-emulator when there is one), Path, TryExec and
// D-Bus activation. Arguments go into Exec where its file field code stands (options as they
// are, relative file names taken against the working folder), as a command line would have
// them. A working folder, when given, comes before the entry's Path; with neither it starts in
// the home folder. shown: the entry's text as the user was shown it, which is started instead
// of what the file holds by now.
QFuture<StartOutcome> launchEntry(const QString &entry,
                                  const QStringList &arguments,
                                  const QString &workingDirectory,
                                  quint32 userTime = 0,
                                  const QByteArray &shown = QByteArray());
// Runs the command (a program and its arguments) in the user's terminal, in the folder:
// Debian's x-terminal-emulator ("-e"), or else the terminal GIO finds for the desktop. A
// terminal that cannot show it (no display, an option it does not take) ends at once: one that
// ends within its first second, other than well, was not started, and the reason says so.
QFuture<StartOutcome> runInTerminal(const QStringList &command, const QString &folder);
// Starts a program with administrator rights (pkexec), parameters split as item arguments are,
// in the working folder (the program's own when none is given); anything but a program is
// refused.
QFuture<StartOutcome> startAsAdministrator(const QString &program,
                                           const QString &parameters,
                                           const QString &workingDirectory = QString());
// Whether starting the program as administrator goes as far as asking for the password: it is
// a program, and pkexec is there to ask.
bool asksForAdministrator(const QString &program);
// The Exec line with the arguments, each a word of its own quoted as Exec quotes, in place of
// its first file field code standing as a word (%f, %F, %u, %U; at the end without one), and
// every other file field code gone, also one inside a quoted word. Relative file names that
// exist under folder become absolute. Empty when Exec is empty or cannot be read.
QString execWithArguments(const QString &exec, const QStringList &arguments, const QString &folder);

// Whether the system can execute the file itself: executable, and an ELF binary (AppImages
// included) or a script with a "#!" line. Anything else is a document, however its permission
// bits are set (every file on FAT, exFAT and NTFS drives has the executable bit).
bool isProgram(const QString &path);
} // namespace DesktopShell
