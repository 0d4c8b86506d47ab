#pragma once

#include <QFuture>
#include <QString>

#include <optional>

// What starting one catalogue item comes to, by its type (0 file, 1 folder, 2 web address,
// 3 command line): a refusal known at once, with nothing started; a start whose outcome
// arrives later; or, for a type this program does not know, nothing at all.
struct ItemStart
{
    static ItemStart
    begin(const QString &path, int type, const QString &arguments, const QString &workingDirectory);

    QString refusal;
    std::optional<QFuture<bool>> start;
};
