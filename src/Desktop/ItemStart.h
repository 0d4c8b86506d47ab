#pragma once

#include <QFuture>
#include <QString>

#include <functional>
#include <optional>

#include "Desktop/StartOutcome.h"

// What starting one catalogue item comes to, by its type (0 file, 1 folder, 2 web address,
// 3 command line): a refusal known at once, with nothing started; a question to the user first;
// a start whose outcome arrives later; or, for a type this program does not know, nothing at
// all.
struct ItemStart
{
    // userTime: the X server time of the user's action that asks for the start, which lets the
    // started application take the focus.
    static ItemStart begin(const QString &path,
                           int type,
                           const QString &arguments,
                           const QString &workingDirectory,
                           quint32 userTime = 0);
    // What the item runs when it runs a command: the command line a shell is given, or a
    // program or application with its arguments, as the user would read it. Empty for anything
    // else (a document, a folder, an address, a program without arguments).
    static QString command(const QString &path,
                           int type,
                           const QString &arguments,
                           const QString &workingDirectory);

    QString refusal;
    // An application entry nobody vouched for (see DesktopEntry::isTrusted): what it would run,
    // for the user to confirm. Nothing was started.
    QString untrustedCommand;
    // Once the user agreed: starts what untrustedCommand showed, as it was read then, and marks
    // the entry trusted if it still holds that.
    std::function<ItemStart()> confirmed;
    std::optional<QFuture<StartOutcome>> start;
};
