// FormMain: running items, opening their folder and copying their path, through ItemRunner.
#include "Window/FormMain.h"
#include "ui_FormMain.h"

#include "Window/CallUp.h"
#include "Core/DataControl.h"
#include "Catalogue/ItemRoles.h"
#include "Window/ItemRunner.h"
#include "Catalogue/ItemsModel.h"
#include "Catalogue/ItemsPage.h"
#include "KelMessageBox.h"
#include "Core/SettingsControl.h"

void FormMain::init_running()
{
    m_runner = new ItemRunner(this);
    connect(m_runner, &ItemRunner::itemStarted, this, &FormMain::recordRun);
    connect(m_runner, &ItemRunner::answerStarted, this, [this] {
        if (SettingsControl::instance().isThenHide())
            m_callUp->hideWindow(false);
    });
}

void FormMain::refuse(const QString &text)
{
    KelMessageBox::information(this, text, KelMessageBox::Bottom, 3000,
                               KelMessageBox::getDefaultColor(KelMessageBox::Red), QString());
}

void FormMain::recordRun(const QVariant &id)
{
    DataControl &data = DataControl::instance();
    const quint64 before = data.catalogueChanges();
    if (data.item_ran(id))
        m_items->ran(id.toInt(), before);
    if (SettingsControl::instance().isThenHide())
        m_callUp->hideWindow(false);
}

void FormMain::data_itemRun(QModelIndex index)
{
    if (const ActionRow *answer = m_items->actionAt(index))
        m_runner->runAnswer(*answer);
    else
        m_runner->run(index.data(ItemIdRole));
}

void FormMain::data_itemRun()
{
    const QModelIndexList selected = ui->listView_items->selectionModel()->selectedIndexes();
    for (const QModelIndex &index : selected)
        data_itemRun(index);
}

void FormMain::data_itemRunAsAdmin()
{
    m_runner->runAsAdministrator(ui->listView_items->currentIndex().data(ItemIdRole));
}

void FormMain::data_itemOpenFolder()
{
    m_runner->openFolder(ui->listView_items->currentIndex().data(ItemIdRole));
}

void FormMain::data_itemCopyFolder()
{
    m_runner->copyPath(ui->listView_items->currentIndex().data(ItemIdRole));
}

void FormMain::data_groupsRunAll()
{
    const ItemsModel *items = m_items->itemsModel();
    for (int row = 0; row < items->rowCount(); ++row)
        data_itemRun(items->index(row, 0));
}
