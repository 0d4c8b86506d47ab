// FormMain: items coming into the catalogue and going out of it.
#include "FormMain.h"
#include "ui_FormMain.h"

#include <QApplication>
#include <QClipboard>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>

#include "DataControl.h"
#include "Form_Attribute.h"
#include "ItemDrop.h"
#include "ItemRoles.h"
#include "ItemsModel.h"
#include "KelElapsedTimer.h"
#include "KelMessageBox.h"
#include "Questions.h"
#include "ShareFormat.h"

bool FormMain::hasCurrentGroup()
{
    if (ui->listView_groups->currentIndex().isValid())
        return true;
    refuse(QStringLiteral("你需要先创建一个分组"));
    return false;
}

bool FormMain::runAttribute(const QModelIndex &index, bool edit)
{
    Form_Attribute dialog(index);
    dialog.setEditMode(edit);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    data_itemsLoad(QModelIndex());
    return true;
}

void FormMain::data_itemAdd()
{
    if (hasCurrentGroup())
        runAttribute(ui->listView_groups->currentIndex(), false);
}

void FormMain::data_itemAttribute()
{
    const QModelIndex item = ui->listView_items->currentIndex();
    if (item.isValid())
        runAttribute(item, true);
}

void FormMain::data_itemAdd(const QList<QUrl> &listUrl)
{
    // A page download waits in an event loop that lets the next drop in: it waits its turn, so
    // one drop never lands in the middle of another's transaction.
    m_pendingDrops << listUrl;
    if (m_addingDrops)
        return;
    m_addingDrops = true;
    while (!m_pendingDrops.isEmpty())
        addDropped(m_pendingDrops.takeFirst());
    m_addingDrops = false;
}

void FormMain::addDropped(const QList<QUrl> &listUrl)
{
    const KelElapsedTimer timer(QStringLiteral("item add :%1毫秒"));
    if (!hasCurrentGroup())
        return;
    const QModelIndex group = ui->listView_groups->currentIndex();
    const QVariant typeId = group.data(TypesIdRole);
    const QVariant groupId = group.data(GroupsIdRole);
    DataControl &data = DataControl::instance();
    ItemDrop drop(this);
    data.database_transaction(true);
    for (const QUrl &url : listUrl) {
        QVariantMap record;
        const ItemDrop::Outcome outcome = drop.read(url, record);
        if (outcome == ItemDrop::Outcome::Stop)
            break;
        if (outcome == ItemDrop::Outcome::Record)
            data.item_add(record, typeId, groupId);
    }
    data.database_transaction(false);
    data_itemsLoad(QModelIndex());
}

void FormMain::data_itemShare()
{
    QList<QSqlRecord> shared;
    for (const QModelIndex &index : ui->listView_items->selectionModel()->selectedRows(0))
        shared << DataControl::instance().item_select(
            QStringLiteral("Name, Type, Path, Arguments, WorkingDirectory, Note"),
            index.data(ItemIdRole));
    QApplication::clipboard()->setText(ShareFormat::toText(shared));
    KelMessageBox::show(this, QStringLiteral("已复制，粘贴给他人即可"), QVariant(), 2000);
}

void FormMain::data_itemAddFromJson()
{
    if (!hasCurrentGroup())
        return;
    const auto pasted = ShareFormat::fromText(QApplication::clipboard()->text());
    if (!pasted) {
        KelMessageBox::show(this, QStringLiteral("你需要先复制分享的数据"), KelMessageBox::Red,
                            3000);
        return;
    }
    const QModelIndex group = ui->listView_groups->currentIndex();
    DataControl &data = DataControl::instance();
    data.database_transaction(true);
    for (const QVariantMap &item : *pasted)
        data.item_add(item, group.data(TypesIdRole), group.data(GroupsIdRole));
    data.database_transaction(false);
    data_itemsLoad(QModelIndex());
    KelMessageBox::show(this, QStringLiteral("完成"), KelMessageBox::Green, 3000);
}

void FormMain::data_itemRename()
{
    const QModelIndex item = ui->listView_items->currentIndex();
    if (!item.isValid())
        return;
    const QString name =
        Questions::askText(this, QStringLiteral("请输入新名称"), item.data().toString());
    if (name.isEmpty())
        return;
    const int row = item.row();
    DataControl::instance().item_rename(name, item.data(ItemIdRole));
    data_itemsLoad(QModelIndex());
    setCurrentRow(ui->listView_items, row);
}

void FormMain::data_itemDelete()
{
    const QModelIndexList selected = ui->listView_items->selectionModel()->selectedIndexes();
    DataControl &data = DataControl::instance();
    if (selected.size() == 1) {
        const QModelIndex item = selected.first();
        if (!Questions::confirm(this,
                                QStringLiteral("确定要删除'%1'嘛").arg(item.data().toString())))
            return;
        data.item_delete(item.data(ItemIdRole));
        m_itemsModel->removeRow(m_itemsProxy->mapToSource(item).row());
    } else if (selected.size() > 1) {
        if (!Questions::confirm(
                this, QStringLiteral("确定要删除选中的这%1个项目吗").arg(selected.size())))
            return;
        data.database_transaction(true);
        for (const QModelIndex &item : selected)
            data.item_delete(item.data(ItemIdRole));
        data.database_transaction(false);
        data_itemsLoad(QModelIndex());
    }
}
