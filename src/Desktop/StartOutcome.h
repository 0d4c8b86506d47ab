#pragma once

#include <QString>

// What a start, or a request to the session, came to once it was tried: made, or not made and,
// where it is known, why.
struct StartOutcome
{
    bool made = false;
    // Why it was not made, for the user, in Chinese: the notice says it after its own text.
    // Empty when nothing more than the failure is known.
    QString reason;

    explicit operator bool() const { return made; }
    static StartOutcome success() { return {true, QString()}; }
    static StartOutcome failure(const QString &reason = QString()) { return {false, reason}; }
};
