#include "Catalogue/CatalogueColumn.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSqlQuery>

#include "Catalogue/ApplicationImport.h"
#include "Catalogue/CatalogueListModel.h"
#include "Core/DataControl.h"
#include "Icons/Form_IconSelector.h"
#include "Catalogue/GroupsListView.h"
#include "Catalogue/ItemRoles.h"
#include "KelMessageBox.h"
#include "Core/Questions.h"
#include "Core/SettingsControl.h"
#include "Catalogue/TypesListView.h"

namespace {
const QString catalogueColumns = QStringLiteral("Name, ID, Row, IconPath");
} // namespace

CatalogueColumn::CatalogueColumn(TypesListView *types, GroupsListView *groups, QWidget *window)
    : QObject(window)
    , m_typesView(types)
    , m_groupsView(groups)
    , m_window(window)
    , m_types(new CatalogueListModel(CatalogueListModel::Kind::Types, this))
    , m_groups(new CatalogueListModel(CatalogueListModel::Kind::Groups, this))
{
    types->setModel(m_types);
    groups->setModel(m_groups);
    groups->setTypesModel(m_types);
    // Before the first load, so that the current type's groups fill in as the types arrive.
    connect(types->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &CatalogueColumn::showGroups);
    connect(groups->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &CatalogueColumn::groupChanged);
    for (CatalogueListModel *model : {m_types, m_groups})
        connect(model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex &topLeft, const QModelIndex &, const QVector<int> &roles) {
                    storeName(topLeft, roles);
                });

    connect(types->actionAdd(), &QAction::triggered, this, &CatalogueColumn::addType);
    connect(types->actionRename(), &QAction::triggered, this, &CatalogueColumn::renameType);
    connect(types->actionDelete(), &QAction::triggered, this, &CatalogueColumn::deleteType);
    connect(types->actionSetIcon(), &QAction::triggered, this, &CatalogueColumn::setTypeIcon);
    connect(types->actionImport(), &QAction::triggered, this, &CatalogueColumn::importApplications);
    connect(groups->actionAdd(), &QAction::triggered, this, &CatalogueColumn::addGroup);
    connect(groups->actionRename(), &QAction::triggered, this, &CatalogueColumn::renameGroup);
    connect(groups->actionDelete(), &QAction::triggered, this, &CatalogueColumn::deleteGroup);
    connect(groups->actionDeleteAll(), &QAction::triggered, this,
            &CatalogueColumn::deleteAllGroups);
    connect(groups->moveMenu(), &QMenu::triggered, this, &CatalogueColumn::moveGroup);
    connect(groups->actionClear(), &QAction::triggered, this, &CatalogueColumn::clearGroup);
    connect(groups->actionSetIcon(), &QAction::triggered, this, &CatalogueColumn::setGroupIcon);
}

bool CatalogueColumn::isEmpty() const
{
    return m_types->rowCount() == 0;
}

QModelIndex CatalogueColumn::currentType() const
{
    return m_typesView->currentIndex();
}

QModelIndex CatalogueColumn::currentGroup() const
{
    return m_groupsView->currentIndex();
}

void CatalogueColumn::reload(int typeId, int groupId)
{
    QSqlQuery query = DataControl::instance().types_select(catalogueColumns);
    // The type asked for, else the first type stored, wherever its position places it. The
    // reset left none current, so making it current shows its groups; with no type, none are.
    const int firstStored = m_types->load(query);
    QModelIndex type = m_types->indexOfId(typeId);
    if (!type.isValid())
        type = m_types->indexOfId(firstStored);
    m_wantedGroup = groupId;
    if (type.isValid())
        m_typesView->setCurrentIndex(type);
    else
        showGroups(QModelIndex());
    m_wantedGroup = 0;
    emit emptied(isEmpty());
}

void CatalogueColumn::reloadGroups()
{
    showGroups(m_typesView->currentIndex());
}

void CatalogueColumn::showGroups(const QModelIndex &type)
{
    // One reset of the groups, one of the items: the first group made current after the reset
    // shows its items; with no group, none are shown.
    if (type.isValid()) {
        const int typeId = type.data(TypesIdRole).toInt();
        QSqlQuery query = DataControl::instance().groups_select(catalogueColumns, typeId);
        m_groups->load(query, typeId);
    } else {
        m_groups->clear();
    }
    QModelIndex group = m_groups->indexOfId(m_wantedGroup);
    if (!group.isValid())
        group = m_groups->index(0);
    if (group.isValid())
        m_groupsView->setCurrentIndex(group);
    else
        emit groupChanged(QModelIndex());
}

void CatalogueColumn::locate(int typeId, int groupId)
{
    const QModelIndex type = m_types->indexOfId(typeId);
    if (type.isValid())
        m_typesView->setCurrentIndex(type);
    const QModelIndex group = m_groups->indexOfId(groupId);
    if (group.isValid())
        m_groupsView->setCurrentIndex(group);
}

void CatalogueColumn::selectRow(bool types, int row)
{
    QListView *view = types ? static_cast<QListView *>(m_typesView) : m_groupsView;
    view->setCurrentIndex(view->model()->index(row, 0));
}

void CatalogueColumn::refuse(const QString &text)
{
    KelMessageBox::information(m_window, text, KelMessageBox::Bottom, 3000,
                               KelMessageBox::getDefaultColor(KelMessageBox::Red), QString());
}

void CatalogueColumn::storeName(const QModelIndex &index, const QVector<int> &roles)
{
    // Only a changed name is written: icons and the renumberings of a drag are none.
    if (!roles.contains(Qt::DisplayRole) && !roles.contains(Qt::EditRole))
        return;
    const QString name = index.data().toString();
    if (index.model() == m_types)
        DataControl::instance().type_rename(name, index.data(TypesIdRole));
    else
        DataControl::instance().group_rename(name, index.data(GroupsIdRole));
}

void CatalogueColumn::offerImport()
{
    SettingsControl &settings = SettingsControl::instance();
    if (!isEmpty() || settings.isImportOffered())
        return;
    QMessageBox question(QMessageBox::Question, QCoreApplication::applicationName(),
                         QStringLiteral("是否导入已安装的应用程序？"),
                         QMessageBox::Yes | QMessageBox::No, m_window);
    question.exec();
    // Closed by the end of the session rather than answered: asked again next time.
    if (!question.clickedButton())
        return;
    settings.setImportOffered(true);
    if (question.clickedButton() == question.button(QMessageBox::Yes))
        importApplications();
}

void CatalogueColumn::importApplications()
{
    QProgressDialog progress(QStringLiteral("正在导入应用程序…"), QString(), 0, 0, m_window);
    progress.setWindowTitle(QCoreApplication::applicationName());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const int added = ApplicationImport::run([&progress](int done, int total) {
        progress.setMaximum(total);
        progress.setValue(done);
    });
    progress.reset();
    reload();
    const QModelIndexList imported = m_types->match(
        m_types->index(0), Qt::DisplayRole, QStringLiteral("应用程序"), 1, Qt::MatchExactly);
    if (!imported.isEmpty())
        m_typesView->setCurrentIndex(imported.first());
    KelMessageBox::show(m_window, QStringLiteral("已导入%1个应用程序").arg(added),
                        KelMessageBox::Green, 3000, KelMessageBox::Bottom, QString());
}

void CatalogueColumn::addType()
{
    const QString name = Questions::askText(m_window, QStringLiteral("请输入新分类名称"));
    if (name.isEmpty())
        return;
    DataControl &data = DataControl::instance();
    if (!data.type_add(name)) {
        KelMessageBox::show(m_window, QStringLiteral("添加失败"), KelMessageBox::Red, 2000,
                            KelMessageBox::Bottom, QString());
        return;
    }
    const int typeId = data.types_maxID();
    data.group_add(QStringLiteral("默认分组"), typeId);
    reload();
    // By its id: its position follows the stored order, where it may tie with an older type.
    const QModelIndex added = m_types->indexOfId(typeId);
    if (added.isValid())
        m_typesView->setCurrentIndex(added);
}

void CatalogueColumn::renameType()
{
    const QModelIndex type = m_typesView->currentIndex();
    const QString name =
        Questions::askText(m_window, QStringLiteral("请输入新分类名称"), type.data().toString());
    if (name.isEmpty())
        return;
    const int row = type.row();
    DataControl::instance().type_rename(name, type.data(TypesIdRole));
    reload();
    selectRow(true, row);
}

void CatalogueColumn::deleteType()
{
    const QModelIndex type = m_typesView->currentIndex();
    if (!type.isValid() ||
        !Questions::confirm(m_window,
                            QStringLiteral("确定要删除'%1'嘛").arg(type.data().toString())))
        return;
    const int row = type.row();
    DataControl::instance().type_delete(type.data(TypesIdRole));
    reload();
    selectRow(true, row);
}

void CatalogueColumn::setTypeIcon()
{
    const QModelIndex type = m_typesView->currentIndex();
    if (!type.isValid())
        return;
    if (const auto hashName = Form_IconSelector::choose(m_window)) {
        m_types->setIconKey(type, *hashName);
        DataControl::instance().type_setIcon(*hashName, type.data(TypesIdRole));
    }
}

void CatalogueColumn::addGroup()
{
    const QModelIndex type = m_typesView->currentIndex();
    if (!type.isValid()) {
        refuse(QStringLiteral("你需要先创建一个分类"));
        return;
    }
    const QString name = Questions::askText(m_window, QStringLiteral("请输入新分组名称"));
    if (name.isEmpty())
        return;
    DataControl::instance().group_add(name, type.data(TypesIdRole));
    reloadGroups();
    selectRow(false, m_groups->rowCount() - 1);
}

void CatalogueColumn::renameGroup()
{
    const QModelIndex group = m_groupsView->currentIndex();
    const QString name =
        Questions::askText(m_window, QStringLiteral("请输入新分组的名称"), group.data().toString());
    if (name.isEmpty())
        return;
    const int row = group.row();
    DataControl::instance().group_rename(name, group.data(GroupsIdRole));
    reloadGroups();
    selectRow(false, row);
}

void CatalogueColumn::deleteGroup()
{
    const QModelIndex group = m_groupsView->currentIndex();
    if (!group.isValid())
        return;
    QSqlQuery count =
        DataControl::instance().items_select(QStringLiteral("COUNT(*)"), group.data(GroupsIdRole));
    const int items = count.next() ? count.value(0).toInt() : 0;
    QString question = QStringLiteral("确定要删除'%1'嘛").arg(group.data().toString());
    if (items > 0)
        question += QStringLiteral("\n其中的%1个项目将一并删除").arg(items);
    if (!Questions::confirm(m_window, question))
        return;
    const int row = group.row();
    DataControl::instance().group_delete(group.data(GroupsIdRole));
    reloadGroups();
    selectRow(false, row);
}

void CatalogueColumn::clearGroup()
{
    const QModelIndex group = m_groupsView->currentIndex();
    if (!Questions::confirm(
            m_window, QStringLiteral("确定要清除'%1'的所有内容吗").arg(group.data().toString())))
        return;
    DataControl::instance().group_clear(group.data(GroupsIdRole));
    emit groupCleared();
}

void CatalogueColumn::deleteAllGroups()
{
    if (m_types->rowCount() == 0 || m_groups->rowCount() == 0) {
        refuse(QStringLiteral("没有有效的分类可以删除"));
        return;
    }
    const QModelIndex type = m_typesView->currentIndex();
    if (!Questions::confirm(
            m_window, QStringLiteral("确定要清除'%1'下的所有分组吗").arg(type.data().toString())))
        return;
    DataControl::instance().group_deleteAll(type.data(TypesIdRole));
    reloadGroups();
}

void CatalogueColumn::moveGroup(QAction *action)
{
    const QModelIndex group = m_groupsView->currentIndex();
    const QVariant target = action->data();
    if (target.toInt() == group.data(TypesIdRole).toInt()) {
        KelMessageBox::show(m_window, QStringLiteral("目标和当前一致，无需移动"), QVariant(), 2000,
                            KelMessageBox::Bottom, QString());
        return;
    }
    const int row = group.row();
    DataControl::instance().group_move(target, group.data(GroupsIdRole));
    reloadGroups();
    selectRow(false, row);
}

void CatalogueColumn::setGroupIcon()
{
    const QModelIndex group = m_groupsView->currentIndex();
    if (!group.isValid())
        return;
    if (const auto hashName = Form_IconSelector::choose(m_window)) {
        m_groups->setIconKey(group, *hashName);
        DataControl::instance().group_setIcon(*hashName, group.data(GroupsIdRole));
    }
}
