#pragma once

#include <QFuture>
#include <QObject>
#include <QVariant>

#include <functional>

#include "Desktop/StartOutcome.h"

struct ActionRow;
class QWidget;

// Starting what the catalogue and the search box hold: an item by its stored record, as
// administrator, its folder; an answer of the search box. Refusals and what came of a start are
// notices over the window; a start that was made is reported for the window to count.
class ItemRunner final : public QObject
{
    Q_OBJECT

public:
    // window: the parent of the questions and notices.
    explicit ItemRunner(QWidget *window);

    void run(const QVariant &id);
    void runAsAdministrator(const QVariant &id);
    void openFolder(const QVariant &id);
    void copyPath(const QVariant &id);
    void runAnswer(const ActionRow &answer);

signals:
    // The item's start was made (or its type starts nothing, which counts too).
    void itemStarted(const QVariant &id);
    // An answer's start was made.
    void answerStarted();

private:
    void refuse(const QString &text);
    // Calls then when the start was made, else shows failure and the reason, where one is known.
    void whenStarted(const QFuture<StartOutcome> &start,
                     const std::function<void()> &then,
                     const QString &failure = QStringLiteral("打开失败, 无法启动"));
    // A pasted item runs a command it holds only once the user approved it; whether it may.
    bool approvedToRun(const QVariant &id,
                       int type,
                       const QString &path,
                       const QString &arguments,
                       const QString &workingDirectory);

    QWidget *m_window;
};
