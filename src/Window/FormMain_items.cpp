// FormMain: the items list, search, history and moving items.
#include "FormMain.h"
#include "ui_FormMain.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSortFilterProxyModel>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardItemModel>

#include "ActionProviders.h"
#include "DataControl.h"
#include "ItemRoles.h"
#include "ItemsModel.h"
#include "KelBlockSignals.h"
#include "KelElapsedTimer.h"
#include "KelMessageBox.h"
#include "SearchIndex.h"
#include "SettingsControl.h"

#include <easylogging++.h>

#include <malloc.h>

void FormMain::data_itemsLoad(const QModelIndex &groupIndex)
{
    const QModelIndex group =
        groupIndex.isValid() ? groupIndex : ui->listView_groups->currentIndex();
    QSqlQuery query = DataControl::instance().items_select(
        QStringLiteral("ID, Name, Path, Type, Note, RunCount, Row, IconPath"),
        group.data(GroupsIdRole));
    data_itemsUpdate(query);
    // Items are read again after every change made to them: the index follows soon after,
    // before the next search has to wait for it.
    refreshSearchSoon(300);
}

void FormMain::data_itemsUpdate(QSqlQuery &query)
{
    QElapsedTimer total;
    total.start();
    const KelBlockSignals blocked(ui->listView_items);

    const QModelIndex group = ui->listView_groups->currentIndex();
    const QString groupName = group.data().toString();
    const bool timed = SettingsControl::instance().isTimeMonitoring();
    if (timed)
        LOG(DEBUG) << QStringLiteral("[ %1 ] 开始监测耗时").arg(groupName);
    // Swapped in one reset: one change for the proxy and the view to take in.
    QVector<ItemsModel::Row> rows = m_itemsModel->readRows(query, group.data(TypesIdRole).toInt(),
                                                           group.data(GroupsIdRole).toInt());
    const int count = rows.size();
    m_itemsModel->reset(std::move(rows));
    // Reading a large group leaves freed memory behind (the query's rows, the rows' growth);
    // it goes back to the system instead of staying with the process all day.
    if (count > 1000)
        malloc_trim(0);
    if (!timed)
        return;
    // Each row's icon is found now rather than when painted, to time it.
    for (int row = 0; row < count; ++row) {
        QElapsedTimer loading;
        loading.start();
        const QModelIndex item = m_itemsModel->index(row);
        item.data(Qt::DecorationRole);
        LOG(DEBUG) << QStringLiteral("  [ %1 ] 加载耗时%2毫秒")
                          .arg(item.data().toString())
                          .arg(loading.elapsed());
    }
    LOG(DEBUG) << QStringLiteral("[ %1 ] 加载总耗时%2毫秒").arg(groupName).arg(total.elapsed());
}

void FormMain::data_resultsUpdate(QSqlQuery &query)
{
    m_resultsModel->reset(m_resultsModel->readRows(query));
}

void FormMain::showResultsPage()
{
    ui->toolButton_back->show();
    ui->stackedWidget->setCurrentIndex(1);
}

void FormMain::leaveResults()
{
    // Typed searches end with their page: the next letter starts a new one, and Enter in the
    // box starts nothing hidden.
    if (SettingsControl::instance().isInstantSearch() && !ui->lineEdit_search->text().isEmpty())
        ui->lineEdit_search->clear(); // shows the catalogue page, as any emptied search does
    else
        showMainPage();
}

void FormMain::showMainPage()
{
    ui->toolButton_back->hide();
    m_resultsModel->clear();
    ui->stackedWidget->setCurrentIndex(0);
}

void FormMain::data_itemSearch()
{
    const KelElapsedTimer timer(QStringLiteral("查询耗时%1毫秒"));
    showResultsPage();
    const QString text = ui->lineEdit_search->text();
    if (text.isEmpty())
        return;
    const QString columns =
        QStringLiteral("Name, Type, Path, IconPath, Note, RunCount, ID, GroupsID, TypesID");
    if (!SettingsControl::instance().isInstantSearch()) {
        QSqlQuery query = DataControl::instance().items_search(columns, text);
        data_resultsUpdate(query);
        return;
    }
    // Nobody reads past the first screens of a ranked list; the rest would only cost time.
    constexpr int shown = 100;
    QVector<MatchBand> bands;
    const QVector<int> ids = m_searchIndex->find(text, shown, &bands);
    QVector<ItemsModel::Row> items;
    if (!ids.isEmpty()) {
        QSqlQuery query = DataControl::instance().items_byId(columns, ids);
        // The query returns them in the catalogue's order; the ranking is the ids'.
        QHash<int, ItemsModel::Row> found;
        for (const ItemsModel::Row &row : m_resultsModel->readRows(query))
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
    m_resultsModel->reset(std::move(rows), actions);
    ui->listView_result->setCurrentIndex(m_resultsModel->index(0, 0));
}

void FormMain::onSearchTextChanged(const QString &text)
{
    if (!SettingsControl::instance().isInstantSearch())
        return;
    if (text.isEmpty())
        showMainPage();
    else
        data_itemSearch();
}

void FormMain::data_itemHistory()
{
    KelMessageBox::information(this, QStringLiteral("进入历史记录"), KelMessageBox::Bottom, 2000,
                               QString(), QString());
    showResultsPage();
    QSqlQuery query = DataControl::instance().items_history(QStringLiteral(
        "Name, Type, Path, IconPath, Note, RunCount, RunDate, ID, GroupsID, TypesID"));
    data_resultsUpdate(query);
}

void FormMain::data_itemGoIndex(QModelIndex index)
{
    const int typeId = index.data(TypesIdRole).toInt();
    const int groupId = index.data(GroupsIdRole).toInt();
    const int itemId = index.data(ItemIdRole).toInt();
    const auto findRow = [](const QAbstractItemModel *model, int role, int id) {
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, 0).data(role).toInt() == id)
                return model->index(row, 0);
        return QModelIndex();
    };
    const QModelIndex type = findRow(m_typesModel, TypesIdRole, typeId);
    if (type.isValid())
        ui->listView_types->setCurrentIndex(type);
    const QModelIndex group = findRow(m_groupsModel, GroupsIdRole, groupId);
    if (group.isValid())
        ui->listView_groups->setCurrentIndex(group);
    const QModelIndex item = m_itemsModel->indexOfId(itemId);
    if (item.isValid())
        ui->listView_items->setCurrentIndex(m_itemsProxy->mapFromSource(item));
    leaveResults();
}

void FormMain::data_itemsMove(QAction *action)
{
    const auto target = action->data().value<QPair<int, int>>();
    const QModelIndexList selected = ui->listView_items->selectionModel()->selectedIndexes();
    DataControl &data = DataControl::instance();
    data.database_transaction(true);
    for (const QModelIndex &index : selected) {
        if (index.data(GroupsIdRole).toInt() == target.second)
            KelMessageBox::information(this, index.data().toString() + QStringLiteral(" 无需移动"),
                                       KelMessageBox::Bottom, 2000, QString(), QString());
        else
            data.item_move(index.data(ItemIdRole), target.second, target.first);
    }
    data.database_transaction(false);
    data_itemsLoad(QModelIndex());
    KelMessageBox::information(this, QStringLiteral("移动完成"), KelMessageBox::Top, 3000,
                               KelMessageBox::getDefaultColor(KelMessageBox::Green), QString());
}
