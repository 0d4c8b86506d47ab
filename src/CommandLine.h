#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What the program was asked on its command line: a plain start, or one of the commands a
// desktop's own shortcut settings can bind ("Quiver --toggle"), which go to the running
// instance.
struct CommandLine
{
    enum class Command { Start, Toggle, Show, Hide, Quit };

    // Needs a QCoreApplication for the help text.
    static CommandLine parse(const QStringList &arguments);

    // The message that hands the command to the running instance, with the caller's startup
    // identifier or activation token, so the window may take the focus from the caller.
    QString message(const QString &startupId) const;
    static CommandLine fromMessage(const QString &message, QString *startupId);

    Command command = Command::Start;
    // Set when the program ends at once, after printing output or error.
    std::optional<int> exitCode;
    QString output;
    QString error;
};
