#include "Actions/ActionProvider.h"

#include <QFutureInterface>
#include <QThreadPool>

ActionOutcome ActionOutcome::done(const QString &notice)
{
    ActionOutcome outcome;
    outcome.status = Status::Done;
    outcome.notice = notice;
    return outcome;
}

ActionOutcome ActionOutcome::later(const QFuture<StartOutcome> &pending, const QString &failure)
{
    ActionOutcome outcome;
    outcome.status = Status::Pending;
    outcome.pending = pending;
    outcome.failure = failure;
    return outcome;
}

ActionOutcome ActionOutcome::cancelled()
{
    ActionOutcome outcome;
    outcome.status = Status::Cancelled;
    return outcome;
}

ActionOutcome ActionOutcome::refused(const QString &notice)
{
    ActionOutcome outcome;
    outcome.status = Status::Refused;
    outcome.notice = notice;
    return outcome;
}

ActionProvider::~ActionProvider() = default;

ActionRow ActionProvider::row(MatchBand band, const QString &title, const QString &note) const
{
    ActionRow row;
    row.provider = key();
    row.band = band;
    row.title = title;
    row.note = note;
    return row;
}

void ActionProvider::answersChanged() const
{
    if (m_answersChanged)
        m_answersChanged();
}

QFuture<StartOutcome> finishedFuture(const StartOutcome &outcome)
{
    QFutureInterface<StartOutcome> finished(QFutureInterfaceBase::Started);
    finished.reportFinished(&outcome);
    return finished.future();
}

QThreadPool *fileReads()
{
    static QThreadPool *const pool = [] {
        auto *pool = new QThreadPool;
        // A few held up by dead mounts still leave threads for the rest.
        pool->setMaxThreadCount(4);
        return pool;
    }();
    return pool;
}
