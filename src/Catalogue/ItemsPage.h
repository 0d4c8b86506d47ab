#pragma once

#include <QObject>
#include <QPersistentModelIndex>

#include <memory>

class ItemsListView;
class ItemsModel;
class QAbstractButton;
class QAction;
class QKeyEvent;
class QLineEdit;
class QListView;
class QSortFilterProxyModel;
class QSqlQuery;
class QStackedWidget;
class ResultsListView;
class SearchIndex;
struct ActionRow;

// The right-hand pages: the current group's items, and the results of a search or of the
// history, with the search box that fills them. Owns their models and the search index, and
// the keys the box and the lists answer in instant search.
class ItemsPage final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ItemsPage)

public:
    struct Widgets
    {
        ItemsListView *items;
        ResultsListView *results;
        QLineEdit *search;
        QStackedWidget *pages;
        QAbstractButton *back;
    };

    ItemsPage(const Widgets &widgets, QWidget *window);
    ~ItemsPage() override;

    ItemsModel *itemsModel() const { return m_items; }
    QSortFilterProxyModel *itemsProxy() const { return m_proxy; }
    // The answer a results row stands for; null for an item.
    const ActionRow *actionAt(const QModelIndex &index) const;

    // Shows a group's items; an invalid group shows none.
    void showGroup(const QModelIndex &group);
    // Reads the shown group's items again, after a change made to them.
    void reload();
    // The search box's text, as Enter or instant search runs it.
    void search();
    void history();
    bool isOnResults() const;
    // Back to the catalogue page, a typed search cleared with it.
    void leaveResults();
    void showMainPage();
    // Escape on the results page: a typed search ends with it; other results stay for the
    // back button.
    void escapeResults();
    // Makes the item current in the items list, where it is shown.
    void select(int itemId);
    void moveSelected(QAction *action);
    // The index reads the catalogue from now on (after it opened), when instant search is on.
    void setSearchable(bool searchable) { m_searchable = searchable; }
    // Brings the search index up to date after delay ms, unless it is already, and reads ahead
    // what the search box's other answers read from files.
    void refreshSearchSoon(int delay);
    // A run was counted: the index ranks the item higher without reading the catalogue again.
    void ran(int id, quint64 changesBefore);

signals:
    // Enter in the box or a list, in instant search.
    void runRequested(const QModelIndex &index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillItems(QSqlQuery &query);
    void showResultsPage();
    void onTextChanged(const QString &text);
    // A search box answer read off the GUI thread came in.
    void answersArrived();
    bool searchBoxKey(QKeyEvent *event);
    bool listKey(QListView *view, QKeyEvent *event);

    Widgets m_widgets;
    QWidget *m_window;
    ItemsModel *m_items;
    QSortFilterProxyModel *m_proxy;
    ItemsModel *m_results;
    std::unique_ptr<SearchIndex> m_index;
    QPersistentModelIndex m_group;
    bool m_searchable = false;
};
