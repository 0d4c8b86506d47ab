// FormMain: the slots of the catalogue's lists and menus, each handed on to the component that
// owns what it changes.
#include "FormMain.h"
#include "ui_FormMain.h"

#include "CatalogueColumn.h"
#include "ItemEditing.h"
#include "ItemRoles.h"
#include "ItemsPage.h"

void FormMain::data_typesAdd()
{
    m_column->addType();
}

void FormMain::data_typesRename()
{
    m_column->renameType();
}

void FormMain::data_typesDelete()
{
    m_column->deleteType();
}

void FormMain::data_typesUpdate()
{
    m_column->reload();
}

void FormMain::data_typesImportApplications()
{
    m_column->importApplications();
}

void FormMain::data_typesSetIcon()
{
    m_column->setTypeIcon();
}

void FormMain::data_groupsAdd()
{
    m_column->addGroup();
}

void FormMain::data_groupsDelete()
{
    m_column->deleteGroup();
}

void FormMain::data_groupsDeleteAll()
{
    m_column->deleteAllGroups();
}

void FormMain::data_groupsMove(QAction *action)
{
    m_column->moveGroup(action);
}

void FormMain::data_groupsRename()
{
    m_column->renameGroup();
}

void FormMain::data_groupsClear()
{
    m_column->clearGroup();
}

void FormMain::data_groupsSetIcon()
{
    m_column->setGroupIcon();
}

void FormMain::data_itemSearch()
{
    m_items->search();
}

void FormMain::data_itemHistory()
{
    m_items->history();
}

void FormMain::data_itemGoIndex(QModelIndex index)
{
    m_column->locate(index.data(TypesIdRole).toInt(), index.data(GroupsIdRole).toInt());
    m_items->select(index.data(ItemIdRole).toInt());
    m_items->leaveResults();
}

void FormMain::data_itemsMove(QAction *action)
{
    m_items->moveSelected(action);
}

void FormMain::data_itemAdd()
{
    m_editing->add();
}

void FormMain::data_itemAdd(const QList<QUrl> &listUrl)
{
    m_editing->add(listUrl);
}

void FormMain::data_itemAttribute()
{
    m_editing->editAttributes();
}

void FormMain::data_itemShare()
{
    m_editing->share();
}

void FormMain::data_itemAddFromJson()
{
    m_editing->paste();
}

void FormMain::data_itemRename()
{
    m_editing->rename();
}

void FormMain::data_itemDelete()
{
    m_editing->remove();
}

void FormMain::data_itemSetIcon()
{
    m_editing->setIcon();
}

void FormMain::data_itemSetIcon(const QModelIndex &index, const QString &hashName)
{
    m_editing->setIcon(index, hashName);
}
