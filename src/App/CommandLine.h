#pragma once

#include <QString>
#include <QStringList>

#include "Desktop/Activation.h"

#include <optional>

// What the program was asked on its command line: a plain start, or one of the commands a
// desktop's own shortcut settings can bind ("Quiver --toggle"), which go to the running
// instance.
struct CommandLine
{
    enum class Command { Start, Toggle, Show, Hide, Quit };

    // Needs a QCoreApplication for the help text.
    static CommandLine parse(const QStringList &arguments);

    // The message that hands the command to the running instance, with what lets the window
    // take the focus from the caller: its startup identifier or activation token, and the X
    // server time of its start. The starter beside the program writes the same lines.
    QString message(const Activation::Request &request) const;
    static CommandLine fromMessage(const QString &message, Activation::Request *request);

    Command command = Command::Start;
    // "--remove-shortcut": take away the desktop shortcut this install registered, then end.
    bool removeShortcut = false;
    // Set when the program ends at once, after printing output or error.
    std::optional<int> exitCode;
    QString output;
    QString error;
};
