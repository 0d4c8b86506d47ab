#pragma once

#include <QString>
#include <QStringList>

// Starting things the way the Linux desktop does: executables as detached processes, documents,
// folders and addresses through their associated applications, command lines through the shell.
namespace DesktopShell {
// Starts the program on the application's thread pool, so a slow start never stalls the
// window; the task gets its own copies of the values.
void startDetached(const QString &program,
                   const QStringList &arguments,
                   const QString &workingDirectory);
// Opens a document or folder with its associated application.
void openPath(const QString &path);
// A web address, or a command line: text with a URL scheme ("mailto:", "steam://") goes to its
// handler, a bare command runs detached through /bin/sh in the user's home folder.
void openCommand(const QString &text);
} // namespace DesktopShell
