#include "Catalogue/ItemsPage.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QTimer>

#include "Actions/ActionProviders.h"
#include "Core/DataControl.h"
#include "Catalogue/ItemRoles.h"
#include "Catalogue/ItemsListView.h"
#include "Catalogue/ItemsModel.h"
#include "KelBlockSignals.h"
#include "KelElapsedTimer.h"
#include "KelMessageBox.h"
#include "Catalogue/ResultsListView.h"
#include "Search/SearchIndex.h"
#include "Core/SettingsControl.h"

#include <easylogging++.h>

namespace {
enum Page { CataloguePage = 0, ResultsPage = 1 };

// The items by their position, compared as the numbers they are rather than as two variants
// per comparison: a switch to a large group sorts it anew.
class OrderProxy final : public QSortFilterProxyModel
{
public:
    explicit OrderProxy(ItemsModel *items, QObject *parent)
        : QSortFilterProxyModel(parent)
        , m_items(items)
    {
        setSourceModel(items);
        setSortRole(RowRole);
    }

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override
    {
        return m_items->orderAt(left.row()) < m_items->orderAt(right.row());
    }

private:
    ItemsModel *m_items;
};
} // namespace

ItemsPage::ItemsPage(const Widgets &widgets, QWidget *window)
    : QObject(window)
    , m_widgets(widgets)
    , m_window(window)
    , m_items(new ItemsModel(this))
    , m_proxy(new OrderProxy(m_items, this))
    , m_results(new ItemsModel(this))
    , m_index(std::make_unique<SearchIndex>())
{
    m_proxy->sort(0, Qt::AscendingOrder);
    widgets.items->setModel(m_proxy);
    widgets.results->setModel(m_results);
    showMainPage();

    connect(m_items, &QAbstractItemModel::dataChanged, this,
            [](const QModelIndex &topLeft, const QModelIndex &, const QVector<int> &roles) {
                // Renamed in place; the renumberings of a drag are stored by the drag.
                if (roles.contains(Qt::DisplayRole) || roles.contains(Qt::EditRole))
                    DataControl::instance().item_rename(topLeft.data().toString(),
                                                        topLeft.data(ItemIdRole));
            });
    connect(widgets.back, &QAbstractButton::clicked, this, &ItemsPage::leaveResults);
    connect(widgets.search, &QLineEdit::returnPressed, this, &ItemsPage::search);
    connect(widgets.search, &QLineEdit::textChanged, this, &ItemsPage::onTextChanged);
    for (QWidget *keys :
         std::initializer_list<QWidget *>{widgets.search, widgets.items, widgets.results})
        keys->installEventFilter(this);
    widgets.items->viewport()->installEventFilter(this);
    connect(widgets.items->actionRefresh(), &QAction::triggered, this, &ItemsPage::reload);
    connect(widgets.items->moveMenu(), &QMenu::triggered, this, &ItemsPage::moveSelected);
    // Switched on with text in the box, the box shows its results at once, as typing would.
    connect(&SettingsControl::instance(), &SettingsControl::instantSearchChanged, this,
            [this](bool instant) {
                if (instant)
                    onTextChanged(m_widgets.search->text());
            });
    connect(&ActionProviders::shared(), &ActionProviders::answersChanged, this,
            &ItemsPage::answersArrived);
}

ItemsPage::~ItemsPage() = default;

const ActionRow *ItemsPage::actionAt(const QModelIndex &index) const
{
    return m_results->actionAt(index);
}

void ItemsPage::showGroup(const QModelIndex &group)
{
    m_group = group;
    reload();
}

void ItemsPage::reload()
{
    if (!m_group.isValid()) {
        m_items->clear();
        return;
    }
    // Only the order: every other column would still be converted for each item. Names and
    // icon keys are read for the rows shown, when shown.
    QSqlQuery query =
        DataControl::instance().items_select(QStringLiteral("ID, Row"), m_group.data(GroupsIdRole));
    fillItems(query);
    // Items are read again after every change made to them: the index follows soon after,
    // before the next search has to wait for it.
    refreshSearchSoon(300);
}

void ItemsPage::fillItems(QSqlQuery &query)
{
    QElapsedTimer total;
    total.start();
    const KelBlockSignals blocked(m_widgets.items);

    const QString groupName = m_group.data().toString();
    const bool timed = SettingsControl::instance().isTimeMonitoring();
    if (timed)
        LOG(DEBUG) << QStringLiteral("[ %1 ] 开始监测耗时").arg(groupName);
    // Swapped in one reset: one change for the proxy and the view to take in.
    QVector<ItemsModel::Row> rows = m_items->readRows(query, m_group.data(TypesIdRole).toInt(),
                                                      m_group.data(GroupsIdRole).toInt());
    const int count = rows.size();
    m_items->reset(std::move(rows));
    // Reading a large group leaves freed memory behind (the query's rows, the rows' growth,
    // the pages read); it goes back to the system instead of staying with the process all day.
    if (count > 1000)
        DataControl::instance().releaseMemory();
    if (!timed)
        return;
    // Each row's icon is found now rather than when painted, to time it.
    for (int row = 0; row < count; ++row) {
        QElapsedTimer loading;
        loading.start();
        const QModelIndex item = m_items->index(row);
        item.data(Qt::DecorationRole);
        LOG(DEBUG) << QStringLiteral("  [ %1 ] 加载耗时%2毫秒")
                          .arg(item.data().toString())
                          .arg(loading.elapsed());
    }
    LOG(DEBUG) << QStringLiteral("[ %1 ] 加载总耗时%2毫秒").arg(groupName).arg(total.elapsed());
}

bool ItemsPage::isOnResults() const
{
    return m_widgets.pages->currentIndex() == ResultsPage;
}

void ItemsPage::showResultsPage()
{
    m_widgets.back->show();
    m_widgets.pages->setCurrentIndex(ResultsPage);
}

void ItemsPage::showMainPage()
{
    m_widgets.back->hide();
    m_results->clear();
    m_widgets.pages->setCurrentIndex(CataloguePage);
}

void ItemsPage::leaveResults()
{
    // Typed searches end with their page: the next letter starts a new one, and Enter in the
    // box starts nothing hidden.
    if (SettingsControl::instance().isInstantSearch() && !m_widgets.search->text().isEmpty())
        m_widgets.search->clear(); // shows the catalogue page, as any emptied search does
    else
        showMainPage();
}

void ItemsPage::escapeResults()
{
    if (SettingsControl::instance().isInstantSearch() && !m_widgets.search->text().isEmpty())
        leaveResults();
    else
        m_widgets.pages->setCurrentIndex(CataloguePage);
}

void ItemsPage::search()
{
    const KelElapsedTimer timer(QStringLiteral("查询耗时%1毫秒"));
    showResultsPage();
    const QString text = m_widgets.search->text();
    if (text.isEmpty())
        return;
    const QString columns =
        QStringLiteral("Name, Type, Path, IconPath, Note, RunCount, ID, GroupsID, TypesID");
    if (!SettingsControl::instance().isInstantSearch()) {
        QSqlQuery query = DataControl::instance().items_search(columns, text);
        m_results->reset(m_results->readRows(query));
        return;
    }
    // Nobody reads past the first screens of a ranked list; the rest would only cost time.
    constexpr int shown = 100;
    QVector<MatchBand> bands;
    const QVector<int> ids = m_index->find(text, shown, &bands);
    QVector<ItemsModel::Row> items;
    if (!ids.isEmpty()) {
        QSqlQuery query = DataControl::instance().items_byId(columns, ids);
        // The query returns them in the catalogue's order; the ranking is the ids'.
        QHash<int, ItemsModel::Row> found;
        for (const ItemsModel::Row &row : m_results->readRows(query))
            found.insert(row.id, row);
        for (int id : ids)
            items << found.value(id); // an id of none: an item deleted since the index read it
    }
    // The search box's other answers, ranked among the items by band.
    const QVector<ActionRow> actions = ActionProviders::shared().query(text);
    QVector<ItemsModel::Row> rows;
    for (const ActionProviders::Merged &entry : ActionProviders::merge(bands, actions, shown)) {
        if (entry.isAction) {
            ItemsModel::Row answer;
            answer.name = actions.at(entry.index).title;
            answer.action = entry.index;
            rows << answer;
        } else if (items.at(entry.index).id != 0) {
            rows << items.at(entry.index);
        }
    }
    m_results->reset(std::move(rows), actions);
    m_widgets.results->setCurrentIndex(m_results->index(0, 0));
}

void ItemsPage::onTextChanged(const QString &text)
{
    if (!SettingsControl::instance().isInstantSearch())
        return;
    if (text.isEmpty())
        showMainPage();
    else
        search();
}

void ItemsPage::answersArrived()
{
    if (!isOnResults() || !SettingsControl::instance().isInstantSearch() ||
        m_widgets.search->text().isEmpty())
        return;
    // Asked again for the text typed now, never shown for the text it was read for; a row the
    // user moved to stays current.
    const QModelIndex current = m_widgets.results->currentIndex();
    const ActionRow *answer = actionAt(current);
    const bool wasAnswer = answer != nullptr;
    const QString provider = answer ? answer->provider : QString();
    const QString payload = answer ? answer->payload : QString();
    const int id = answer ? 0 : current.data(ItemIdRole).toInt();
    search();
    if (current.row() <= 0)
        return;
    for (int row = 0; row < m_results->rowCount(); ++row) {
        const QModelIndex index = m_results->index(row, 0);
        const ActionRow *other = actionAt(index);
        if (other ? wasAnswer && other->provider == provider && other->payload == payload
                  : !wasAnswer && index.data(ItemIdRole).toInt() == id) {
            m_widgets.results->setCurrentIndex(index);
            return;
        }
    }
}

void ItemsPage::history()
{
    KelMessageBox::information(m_window, QStringLiteral("进入历史记录"), KelMessageBox::Bottom,
                               2000, QString(), QString());
    showResultsPage();
    QSqlQuery query = DataControl::instance().items_history(QStringLiteral(
        "Name, Type, Path, IconPath, Note, RunCount, RunDate, ID, GroupsID, TypesID"));
    m_results->reset(m_results->readRows(query));
}

void ItemsPage::select(int itemId)
{
    const QModelIndex item = m_items->indexOfId(itemId);
    if (item.isValid())
        m_widgets.items->setCurrentIndex(m_proxy->mapFromSource(item));
}

void ItemsPage::moveSelected(QAction *action)
{
    const auto target = action->data().value<QPair<int, int>>();
    const QModelIndexList selected = m_widgets.items->selectionModel()->selectedIndexes();
    DataControl &data = DataControl::instance();
    data.database_transaction(true);
    for (const QModelIndex &index : selected) {
        if (index.data(GroupsIdRole).toInt() == target.second)
            KelMessageBox::information(m_window,
                                       index.data().toString() + QStringLiteral(" 无需移动"),
                                       KelMessageBox::Bottom, 2000, QString(), QString());
        else
            data.item_move(index.data(ItemIdRole), target.second, target.first);
    }
    data.database_transaction(false);
    reload();
    KelMessageBox::information(m_window, QStringLiteral("移动完成"), KelMessageBox::Top, 3000,
                               KelMessageBox::getDefaultColor(KelMessageBox::Green), QString());
}

void ItemsPage::refreshSearchSoon(int delay)
{
    QTimer::singleShot(delay, this, [this] {
        if (m_searchable && SettingsControl::instance().isInstantSearch()) {
            m_index->refresh();
            ActionProviders::shared().prepare();
        }
    });
}

void ItemsPage::ran(int id, quint64 changesBefore)
{
    m_index->ran(id, changesBefore);
}

bool ItemsPage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && watched == m_widgets.items->viewport()) {
        // The first frame shows the cached icons; the others follow right after it.
        watched->removeEventFilter(this);
        m_items->holdFoundIcons();
        QTimer::singleShot(0, m_items, &ItemsModel::releaseFoundIcons);
        return false;
    }
    if (event->type() != QEvent::KeyPress || !SettingsControl::instance().isInstantSearch())
        return QObject::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_widgets.search)
        return searchBoxKey(key);
    return listKey(static_cast<QListView *>(watched), key);
}

bool ItemsPage::searchBoxKey(QKeyEvent *event)
{
    QLineEdit *search = m_widgets.search;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // The results move; the keyboard stays in the box.
        if (!isOnResults())
            return false;
        QApplication::sendEvent(m_widgets.results, event);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (search->text().isEmpty())
            return false; // the results page, as it was
        if (m_widgets.results->currentIndex().isValid())
            emit runRequested(m_widgets.results->currentIndex());
        return true;
    case Qt::Key_Escape:
        if (search->text().isEmpty())
            return false; // on to the window: it hides
        search->clear();
        return true;
    case Qt::Key_Tab: {
        // A path answer completes the text; otherwise Tab moves on as it does anywhere.
        const ActionRow *answer = m_results->actionAt(m_widgets.results->currentIndex());
        if (!isOnResults() || !answer || answer->completion.isEmpty())
            return false;
        // A copy: the new text searches anew, and the answer goes with the old results.
        search->setText(QString(answer->completion));
        return true;
    }
    default:
        return false;
    }
}

bool ItemsPage::listKey(QListView *view, QKeyEvent *event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    // The Enter that ends a rename comes on to the list from its editor: it only renames.
    if (QApplication::focusWidget() != view || !view->currentIndex().isValid())
        return false;
    emit runRequested(view->currentIndex());
    return true;
}
