#include "Catalogue/ItemEditing.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QSortFilterProxyModel>

#include "Catalogue/CatalogueColumn.h"
#include "Core/DataControl.h"
#include "Catalogue/Form_Attribute.h"
#include "Icons/Form_IconSelector.h"
#include "Catalogue/ItemDrop.h"
#include "Catalogue/ItemRoles.h"
#include "Catalogue/ItemsListView.h"
#include "Catalogue/ItemsModel.h"
#include "Catalogue/ItemsPage.h"
#include "KelElapsedTimer.h"
#include "KelMessageBox.h"
#include "KelWindowPlacement.h"
#include "Core/Questions.h"
#include "Catalogue/ShareFormat.h"
#include "Core/SharedItems.h"

namespace {
// What the item runs, for telling whether an edit changed it.
QString runFingerprint(const QVariant &id)
{
    const QSqlRecord item =
        DataControl::instance().item_select(QStringLiteral("Type, Path, Arguments"), id);
    return SharedItems::fingerprint(item.value(QStringLiteral("Type")).toInt(),
                                    item.value(QStringLiteral("Path")).toString(),
                                    item.value(QStringLiteral("Arguments")).toString());
}
} // namespace

ItemEditing::ItemEditing(CatalogueColumn *column,
                         ItemsPage *page,
                         ItemsListView *view,
                         QWidget *window)
    : QObject(window)
    , m_column(column)
    , m_page(page)
    , m_view(view)
    , m_window(window)
{
    connect(view->actionAdd(), &QAction::triggered, this, qOverload<>(&ItemEditing::add));
    connect(view, &ItemsListView::dropIn, this, qOverload<const QList<QUrl> &>(&ItemEditing::add));
    connect(view->actionPaste(), &QAction::triggered, this, &ItemEditing::paste);
    connect(view->actionCopy(), &QAction::triggered, this, &ItemEditing::share);
    connect(view->actionRename(), &QAction::triggered, this, &ItemEditing::rename);
    connect(view->actionDelete(), &QAction::triggered, this, &ItemEditing::remove);
    connect(view->actionDeleteSelected(), &QAction::triggered, this, &ItemEditing::remove);
    connect(view->actionAttribute(), &QAction::triggered, this, &ItemEditing::editAttributes);
    connect(view->actionSetIcon(), &QAction::triggered, this, qOverload<>(&ItemEditing::setIcon));
}

bool ItemEditing::hasCurrentGroup()
{
    if (m_column->currentGroup().isValid())
        return true;
    KelMessageBox::information(m_window, QStringLiteral("你需要先创建一个分组"),
                               KelMessageBox::Bottom, 3000,
                               KelMessageBox::getDefaultColor(KelMessageBox::Red), QString());
    return false;
}

void ItemEditing::runAttribute(const QModelIndex &index, bool edit)
{
    const QVariant id = edit ? index.data(ItemIdRole) : QVariant();
    const QString before = edit ? runFingerprint(id) : QString();
    Form_Attribute dialog(index);
    dialog.setEditMode(edit);
    KelWindowPlacement::placeOver(&dialog, m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // What the user typed in the dialog is approved by its typing.
    if (edit && runFingerprint(id) != before)
        SharedItems::forget({id});
    m_page->reload();
}

void ItemEditing::add()
{
    if (hasCurrentGroup())
        runAttribute(m_column->currentGroup(), false);
}

void ItemEditing::editAttributes()
{
    const QModelIndex item = m_view->currentIndex();
    if (item.isValid())
        runAttribute(item, true);
}

void ItemEditing::add(const QList<QUrl> &urls)
{
    // A page download waits in an event loop that lets the next drop in: it waits its turn, so
    // one drop never lands in the middle of another's transaction.
    m_pendingDrops << urls;
    if (m_addingDrops)
        return;
    m_addingDrops = true;
    while (!m_pendingDrops.isEmpty())
        addDropped(m_pendingDrops.takeFirst());
    m_addingDrops = false;
}

void ItemEditing::addDropped(const QList<QUrl> &urls)
{
    const KelElapsedTimer timer(QStringLiteral("item add :%1毫秒"));
    if (!hasCurrentGroup())
        return;
    const QModelIndex group = m_column->currentGroup();
    const QVariant typeId = group.data(TypesIdRole);
    const QVariant groupId = group.data(GroupsIdRole);
    DataControl &data = DataControl::instance();
    ItemDrop drop(m_window);
    data.database_transaction(true);
    for (const QUrl &url : urls) {
        QVariantMap record;
        const ItemDrop::Outcome outcome = drop.read(url, record);
        if (outcome == ItemDrop::Outcome::Stop)
            break;
        if (outcome == ItemDrop::Outcome::Record)
            data.item_add(record, typeId, groupId);
    }
    data.database_transaction(false);
    m_page->reload();
}

void ItemEditing::share()
{
    QList<QSqlRecord> shared;
    for (const QModelIndex &index : m_view->selectionModel()->selectedRows(0))
        shared << DataControl::instance().item_select(
            QStringLiteral("Name, Type, Path, Arguments, WorkingDirectory, Note"),
            index.data(ItemIdRole));
    QApplication::clipboard()->setText(ShareFormat::toText(shared));
    KelMessageBox::show(m_window, QStringLiteral("已复制，粘贴给他人即可"), QVariant(), 2000);
}

void ItemEditing::paste()
{
    if (!hasCurrentGroup())
        return;
    const auto pasted = ShareFormat::fromText(QApplication::clipboard()->text());
    if (!pasted) {
        KelMessageBox::show(m_window, QStringLiteral("你需要先复制分享的数据"), KelMessageBox::Red,
                            3000);
        return;
    }
    const QModelIndex group = m_column->currentGroup();
    DataControl &data = DataControl::instance();
    data.database_transaction(true);
    QVariantList added;
    for (const QVariantMap &item : *pasted)
        if (data.item_add(item, group.data(TypesIdRole), group.data(GroupsIdRole)))
            added << data.item_lastAdded();
    // Items whose commands nobody approved must not run unasked: without that record they go.
    const bool kept = SharedItems::pasted(added);
    if (!kept)
        for (const QVariant &id : qAsConst(added))
            data.item_delete(id);
    data.database_transaction(false);
    if (!kept) {
        KelMessageBox::show(m_window, QStringLiteral("粘贴失败, 设置文件无法写入"),
                            KelMessageBox::Red, 3000);
        return;
    }
    m_page->reload();
    KelMessageBox::show(m_window, QStringLiteral("完成"), KelMessageBox::Green, 3000);
}

void ItemEditing::rename()
{
    const QModelIndex item = m_view->currentIndex();
    if (!item.isValid())
        return;
    const QString name =
        Questions::askText(m_window, QStringLiteral("请输入新名称"), item.data().toString());
    if (name.isEmpty())
        return;
    const int row = item.row();
    DataControl::instance().item_rename(name, item.data(ItemIdRole));
    m_page->reload();
    m_view->setCurrentIndex(m_view->model()->index(row, 0));
}

void ItemEditing::remove()
{
    const QModelIndexList selected = m_view->selectionModel()->selectedIndexes();
    DataControl &data = DataControl::instance();
    if (selected.size() == 1) {
        const QModelIndex item = selected.first();
        if (!Questions::confirm(m_window,
                                QStringLiteral("确定要删除'%1'嘛").arg(item.data().toString())))
            return;
        data.item_delete(item.data(ItemIdRole));
        SharedItems::forget({item.data(ItemIdRole)});
        m_page->itemsModel()->removeRow(m_page->itemsProxy()->mapToSource(item).row());
    } else if (selected.size() > 1) {
        if (!Questions::confirm(
                m_window, QStringLiteral("确定要删除选中的这%1个项目吗").arg(selected.size())))
            return;
        QVariantList ids;
        data.database_transaction(true);
        for (const QModelIndex &item : selected) {
            data.item_delete(item.data(ItemIdRole));
            ids << item.data(ItemIdRole);
        }
        data.database_transaction(false);
        SharedItems::forget(ids);
        m_page->reload();
    }
}

void ItemEditing::setIcon()
{
    const QModelIndexList selected = m_view->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const auto hashName = Form_IconSelector::choose(m_window);
    if (!hashName)
        return;
    DataControl &data = DataControl::instance();
    data.database_transaction(true);
    for (const QModelIndex &item : selected)
        setIcon(item, *hashName);
    data.database_transaction(false);
}

void ItemEditing::setIcon(const QModelIndex &item, const QString &hashName)
{
    DataControl::instance().item_setIcon(hashName, item.data(ItemIdRole));
    m_page->itemsModel()->setIconKey(m_page->itemsProxy()->mapToSource(item), hashName);
}
