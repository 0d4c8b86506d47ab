// FormMain: the types column and the groups bar.
#include "FormMain.h"
#include "ui_FormMain.h"

#include <QAction>
#include <QFileInfo>
#include <QCoreApplication>
#include <QProgressDialog>
#include <QSqlQuery>
#include <QStandardItemModel>

#include "ApplicationImport.h"
#include "DataControl.h"
#include "IconLoader.h"
#include "ItemRoles.h"
#include "ItemsModel.h"
#include "KelMessageBox.h"
#include "Questions.h"

namespace {
// A type or group row: centred name, the stored position, and the cached icon if its file is
// there.
QStandardItem *catalogueRow(const QSqlQuery &query)
{
    auto *item = new QStandardItem(query.value(QStringLiteral("Name")).toString());
    item->setTextAlignment(Qt::AlignCenter);
    item->setData(rowPosition(query.value(QStringLiteral("Row"))), RowRole);
    item->setIcon(
        IconLoader::instance().cacheIcon(query.value(QStringLiteral("IconPath")).toString()));
    return item;
}
} // namespace

void FormMain::data_typesUpdate()
{
    m_itemsModel->clear();
    m_groupsModel->clear();
    m_typesModel->clear();
    QSqlQuery query =
        DataControl::instance().types_select(QStringLiteral("Name, ID, Row, IconPath"));
    while (query.next()) {
        QStandardItem *item = catalogueRow(query);
        item->setData(query.value(QStringLiteral("ID")), TypesIdRole);
        m_typesModel->appendRow(item);
    }
    // The first type stored becomes current, wherever sorting then places it.
    ui->listView_types->setCurrentIndex(m_typesModel->index(0, 0));
    m_typesModel->sort(0, Qt::AscendingOrder);
    // An empty catalogue tells how things come into it.
    ui->listView_items->setEmptyHint(
        m_typesModel->rowCount() > 0
            ? QString()
            : QStringLiteral("右键点击左侧的分类栏，可以添加分类，或导入已安装的应用程序。\n"
                             "有了分组之后，把文件、文件夹或链接拖到这里即可添加。"));
}

void FormMain::data_typesImportApplications()
{
    QProgressDialog progress(QStringLiteral("正在导入应用程序…"), QString(), 0, 0, this);
    progress.setWindowTitle(QCoreApplication::applicationName());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const int added = ApplicationImport::run([&progress](int done, int total) {
        progress.setMaximum(total);
        progress.setValue(done);
    });
    progress.reset();
    data_typesUpdate();
    const QList<QStandardItem *> imported =
        m_typesModel->findItems(QStringLiteral("应用程序"), Qt::MatchExactly);
    if (!imported.isEmpty())
        ui->listView_types->setCurrentIndex(imported.first()->index());
    KelMessageBox::show(this, QStringLiteral("已导入%1个应用程序").arg(added), KelMessageBox::Green,
                        3000, KelMessageBox::Bottom, QString());
}

void FormMain::data_groupsUpdate(const QModelIndex &typeIndex)
{
    const QModelIndex type = typeIndex.isValid() ? typeIndex : ui->listView_types->currentIndex();
    m_groupsModel->clear();
    m_itemsModel->clear();
    const QVariant typeId = type.data(TypesIdRole);
    QSqlQuery query =
        DataControl::instance().groups_select(QStringLiteral("Name, ID, Row, IconPath"), typeId);
    while (query.next()) {
        QStandardItem *item = catalogueRow(query);
        item->setData(typeId, TypesIdRole);
        item->setData(query.value(QStringLiteral("ID")), GroupsIdRole);
        m_groupsModel->appendRow(item);
    }
    m_groupsModel->sort(0, Qt::AscendingOrder);
    ui->listView_groups->setCurrentIndex(m_groupsModel->index(0, 0));
}

void FormMain::onTypesCurrentRowChanged(QModelIndex currentIndex, QModelIndex)
{
    data_groupsUpdate(currentIndex);
}

void FormMain::onGroupsCurrentRowChanged(QModelIndex currentIndex, QModelIndex)
{
    data_itemsLoad(currentIndex);
}

void FormMain::setCurrentRow(QListView *view, int row)
{
    view->setCurrentIndex(view->model()->index(row, 0));
}

void FormMain::data_typesAdd()
{
    const QString name = Questions::askText(this, QStringLiteral("请输入新分类名称"));
    if (name.isEmpty())
        return;
    DataControl &data = DataControl::instance();
    if (!data.type_add(name)) {
        KelMessageBox::show(this, QStringLiteral("添加失败"), KelMessageBox::Red, 2000,
                            KelMessageBox::Bottom, QString());
        return;
    }
    const int typeId = data.types_maxID();
    data.group_add(QStringLiteral("默认分组"), typeId);
    data_typesUpdate();
    // By its id: its position follows the stored order, where it may tie with an older type.
    const QModelIndexList added =
        m_typesModel->match(m_typesModel->index(0, 0), TypesIdRole, typeId, 1, Qt::MatchExactly);
    if (!added.isEmpty())
        ui->listView_types->setCurrentIndex(added.first());
}

void FormMain::data_typesRename()
{
    const QModelIndex type = ui->listView_types->currentIndex();
    const QString name =
        Questions::askText(this, QStringLiteral("请输入新分类名称"), type.data().toString());
    if (name.isEmpty())
        return;
    DataControl::instance().type_rename(name, type.data(TypesIdRole));
    data_typesUpdate();
    setCurrentRow(ui->listView_types, type.row());
}

void FormMain::data_typesDelete()
{
    const QModelIndex type = ui->listView_types->currentIndex();
    if (!Questions::confirm(this, QStringLiteral("确定要删除'%1'嘛").arg(type.data().toString())))
        return;
    const int row = type.row();
    DataControl::instance().type_delete(type.data(TypesIdRole));
    data_typesUpdate();
    setCurrentRow(ui->listView_types, row);
}

void FormMain::data_groupsAdd()
{
    const QModelIndex type = ui->listView_types->currentIndex();
    if (!type.isValid()) {
        KelMessageBox::information(this, QStringLiteral("你需要先创建一个分类"),
                                   KelMessageBox::Bottom, 3000,
                                   KelMessageBox::getDefaultColor(KelMessageBox::Red), QString());
        return;
    }
    const QString name = Questions::askText(this, QStringLiteral("请输入新分组名称"));
    if (name.isEmpty())
        return;
    DataControl::instance().group_add(name, type.data(TypesIdRole));
    data_groupsUpdate(QModelIndex());
    setCurrentRow(ui->listView_groups, m_groupsModel->rowCount() - 1);
}

void FormMain::data_groupsRename()
{
    const QModelIndex group = ui->listView_groups->currentIndex();
    const QString name =
        Questions::askText(this, QStringLiteral("请输入新分组的名称"), group.data().toString());
    if (name.isEmpty())
        return;
    const int row = group.row();
    DataControl::instance().group_rename(name, group.data(GroupsIdRole));
    data_groupsUpdate(QModelIndex());
    setCurrentRow(ui->listView_groups, row);
}

void FormMain::data_groupsDelete()
{
    const QModelIndex group = ui->listView_groups->currentIndex();
    if (!Questions::confirm(this, QStringLiteral("确定要删除'%1'嘛").arg(group.data().toString())))
        return;
    const int row = group.row();
    DataControl::instance().group_delete(group.data(GroupsIdRole));
    data_groupsUpdate(QModelIndex());
    setCurrentRow(ui->listView_groups, row);
}

void FormMain::data_groupsClear()
{
    const QModelIndex group = ui->listView_groups->currentIndex();
    if (!Questions::confirm(
            this, QStringLiteral("确定要清除'%1'的所有内容吗").arg(group.data().toString())))
        return;
    const int row = group.row();
    DataControl::instance().group_clear(group.data(GroupsIdRole));
    data_itemsLoad(QModelIndex());
    setCurrentRow(ui->listView_groups, row);
}

void FormMain::data_groupsDeleteAll()
{
    if (m_typesModel->rowCount() == 0 || m_groupsModel->rowCount() == 0) {
        KelMessageBox::information(this, QStringLiteral("没有有效的分类可以删除"),
                                   KelMessageBox::Bottom, 3000,
                                   KelMessageBox::getDefaultColor(KelMessageBox::Red), QString());
        return;
    }
    const QModelIndex type = ui->listView_types->currentIndex();
    if (!Questions::confirm(
            this, QStringLiteral("确定要清除'%1'下的所有分组吗").arg(type.data().toString())))
        return;
    DataControl::instance().group_deleteAll(type.data(TypesIdRole));
    data_groupsUpdate(QModelIndex());
}

void FormMain::data_groupsMove(QAction *action)
{
    const QModelIndex group = ui->listView_groups->currentIndex();
    const QVariant target = action->data();
    if (target.toInt() == group.data(TypesIdRole).toInt()) {
        KelMessageBox::show(this, QStringLiteral("目标和当前一致，无需移动"), QVariant(), 2000,
                            KelMessageBox::Bottom, QString());
        return;
    }
    const int row = group.row();
    DataControl::instance().group_move(target, group.data(GroupsIdRole));
    data_groupsUpdate(QModelIndex());
    setCurrentRow(ui->listView_groups, row);
}

void FormMain::model_dataChanged(QModelIndex topLeft, QModelIndex, QVector<int> roles)
{
    // Only a changed name is written: icons, ids and the renumberings of a drag are none, and
    // would otherwise rewrite every row's name, one write each, when a drag starts.
    if (!roles.isEmpty() && !roles.contains(Qt::DisplayRole) && !roles.contains(Qt::EditRole))
        return;
    const QAbstractItemModel *model = topLeft.model();
    const QString name = topLeft.data().toString();
    DataControl &data = DataControl::instance();
    if (model == m_typesModel)
        data.type_rename(name, topLeft.data(TypesIdRole));
    else if (model == m_groupsModel)
        data.group_rename(name, topLeft.data(GroupsIdRole));
    else if (model == m_itemsModel)
        data.item_rename(name, topLeft.data(ItemIdRole));
}
