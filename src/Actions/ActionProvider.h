#pragma once

#include <QFuture>
#include <QString>

#include <functional>
#include <optional>

#include "Search/Matcher.h"
#include "Desktop/StartOutcome.h"

class QThreadPool;

// Where a row stands beside the catalogue's results of the same band.
enum class ActionPlacement {
    // Before the catalogue's items of its band: the calculator's result is the first row.
    Lead,
    // After the catalogue's items of its band.
    WithCatalogue,
    // After every catalogue item, ranked by band among the rows placed so.
    AfterCatalogue
};

// One answer of the search box that is not a catalogue item: what the results page shows and
// what running it needs.
struct ActionRow
{
    // The key of the provider that made it; running it goes back to that provider.
    QString provider;
    MatchBand band = MatchBand::None;
    ActionPlacement placement = ActionPlacement::WithCatalogue;
    QString title;
    QString note;
    // A name of the desktop's icon theme ("utilities-terminal", "folder").
    QString iconName;
    // What running it acts on, in the provider's own terms (a result, an address, a path).
    QString payload;
    // What Tab puts into the search box; empty when the row completes nothing.
    QString completion;
};

// What the window supplies to a run: the time of the user's action, for the started program's
// focus, and a way to ask the user. confirm shows the question and is true only for "Yes";
// without it, nothing that asks first is done.
struct ActionContext
{
    quint32 userTime = 0;
    std::function<bool(const QString &question)> confirm;
};

// What running a row came to.
struct ActionOutcome
{
    enum class Status {
        // Done at once; notice, when not empty, confirms it ("已复制: 84").
        Done,
        // A start or request whose result arrives later: pending tells whether it worked, and
        // failure is what to say when it did not (before the reason the outcome gives).
        Pending,
        // The user answered no to the question: nothing was done and nothing is said.
        Cancelled,
        // Nothing was done; notice says why.
        Refused
    };

    Status status = Status::Refused;
    QString notice;
    std::optional<QFuture<StartOutcome>> pending;
    QString failure;

    static ActionOutcome done(const QString &notice = QString());
    static ActionOutcome later(const QFuture<StartOutcome> &pending, const QString &failure);
    static ActionOutcome cancelled();
    static ActionOutcome refused(const QString &notice);
};

// One kind of answer: a query in, rows out; a row run. Providers live on the GUI thread and
// are asked on every key typed, so a query must stay well under a millisecond and never wait
// for the file system: what a file or folder holds is read on fileReads() and answers a later
// query, announced through answersChanged.
class ActionProvider
{
public:
    virtual ~ActionProvider();

    // Called on the GUI thread whenever a read came in that changes the rows for what was
    // asked before: the rows for the text typed now are to be asked for again.
    void setAnswersChanged(std::function<void()> changed) { m_answersChanged = std::move(changed); }
    // Whether a read this provider started has not come in yet.
    virtual bool isReading() const { return false; }

    // Names the provider in rows and in its setting "Search/<key>".
    virtual QString key() const = 0;
    // The name the settings window shows.
    virtual QString label() const = 0;
    // The rows for what was typed; query is the same text prepared for matching names.
    virtual QVector<ActionRow> query(const SearchQuery &query, const QString &typed) = 0;
    virtual ActionOutcome run(const ActionRow &row, const ActionContext &context) = 0;

protected:
    // A row of this provider.
    ActionRow row(MatchBand band, const QString &title, const QString &note) const;
    void answersChanged() const;

private:
    std::function<void()> m_answersChanged;
};

// A future that is already finished with the outcome.
QFuture<StartOutcome> finishedFuture(const StartOutcome &outcome);

// The threads that read folders and files for the answers. A read held up by a dead network
// mount holds up neither the program's other work nor its exit: the pool is never destroyed,
// since destroying it waits for every read.
QThreadPool *fileReads();
