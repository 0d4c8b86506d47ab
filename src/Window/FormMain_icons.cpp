// FormMain: choosing the icons of types, groups and items.
#include "FormMain.h"
#include "ui_FormMain.h"

#include <QSortFilterProxyModel>
#include <QStandardItemModel>

#include "DataControl.h"
#include "Form_IconSelector.h"
#include "IconLoader.h"
#include "ItemRoles.h"
#include "ItemsModel.h"

std::optional<QString> FormMain::chooseIcon()
{
    QString hashName;
    Form_IconSelector selector(this);
    selector.setResult(&hashName);
    if (selector.exec() != QDialog::Accepted)
        return std::nullopt;
    return hashName;
}

void FormMain::data_typesSetIcon()
{
    const QModelIndex type = ui->listView_types->currentIndex();
    if (!type.isValid())
        return;
    if (const auto hashName = chooseIcon()) {
        m_typesModel->itemFromIndex(type)->setIcon(IconLoader::instance().cacheIcon(*hashName));
        DataControl::instance().type_setIcon(*hashName, type.data(TypesIdRole));
    }
}

void FormMain::data_groupsSetIcon()
{
    const QModelIndex group = ui->listView_groups->currentIndex();
    if (!group.isValid())
        return;
    if (const auto hashName = chooseIcon()) {
        m_groupsModel->itemFromIndex(group)->setIcon(IconLoader::instance().cacheIcon(*hashName));
        DataControl::instance().group_setIcon(*hashName, group.data(GroupsIdRole));
    }
}

void FormMain::data_itemSetIcon()
{
    const QModelIndexList selected = ui->listView_items->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const auto hashName = chooseIcon();
    if (!hashName)
        return;
    DataControl &data = DataControl::instance();
    data.database_transaction(true);
    for (const QModelIndex &item : selected)
        data_itemSetIcon(item, *hashName);
    data.database_transaction(false);
    // Without an icon of their own the items show their fallbacks, which only a reload computes.
    if (hashName->isEmpty())
        data_itemsLoad(QModelIndex());
}

void FormMain::data_itemSetIcon(const QModelIndex &index, const QString &hashName)
{
    DataControl::instance().item_setIcon(hashName, index.data(ItemIdRole));
    m_itemsModel->setIconKey(m_itemsProxy->mapToSource(index), hashName);
}
