#pragma once

#include <QFuture>
#include <QModelIndex>
#include <QObject>
#include <QVariant>

#include <functional>

#include "Desktop/StartOutcome.h"

struct ActionRow;
class ItemsPage;
class QWidget;

// Starting what the catalogue and the search box hold: an item by its stored record, as
// administrator, its folder; an answer of the search box. Refusals and what came of a start are
// notices over the window; an item's start that was made is counted.
class ItemRunner final : public QObject
{
    Q_OBJECT

public:
    // window: the parent of the questions and notices. items: the lists whose rows it runs,
    // told of the runs counted.
    ItemRunner(QWidget *window, ItemsPage *items);

    // What a row of the items or results list shows: an answer, or the item of its id.
    void runRow(const QModelIndex &index);
    void runRows(const QModelIndexList &rows);
    // Every item of the group shown.
    void runGroup();
    void run(const QVariant &id);
    void runAsAdministrator(const QVariant &id);
    void openFolder(const QVariant &id);
    void copyPath(const QVariant &id);
    void runAnswer(const ActionRow &answer);

signals:
    // The start of an item or an answer was made (an item whose type starts nothing counts).
    void started();

private:
    void count(const QVariant &id);
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
    ItemsPage *m_items;
};
