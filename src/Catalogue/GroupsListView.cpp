#include "Catalogue/GroupsListView.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QAbstractItemModel>

#include "Core/DataControl.h"
#include "Catalogue/ItemRoles.h"

GroupsListView::GroupsListView(QWidget *parent)
    : ReorderListView(parent,
                      QStringLiteral("groups/index"),
                      GroupsIdRole,
                      [](const QVariant &id, const QVariant &row) {
                          return DataControl::instance().group_setRow(id, row);
                      })
    , m_runAll(new QAction(QStringLiteral("打开全部"), this))
    , m_add(new QAction(QStringLiteral("添加分组"), this))
    , m_rename(new QAction(QStringLiteral("重命名"), this))
    , m_setIcon(new QAction(QStringLiteral("设置图标"), this))
    , m_clear(new QAction(QStringLiteral("清空"), this))
    , m_delete(new QAction(QStringLiteral("删除"), this))
    , m_deleteAll(new QAction(QStringLiteral("删除所有分组"), this))
    , m_showModes(new QActionGroup(this))
    , m_iconMode(m_showModes->addAction(QStringLiteral("图标模式")))
    , m_listMode(m_showModes->addAction(QStringLiteral("列表模式")))
    , m_moveMenu(new QMenu(QStringLiteral("移动到"), this))
    , m_blankMenu(new QMenu(this))
    , m_entryMenu(new QMenu(this))
{
    m_runAll->setObjectName(QStringLiteral("actionRunGroup"));
    m_add->setObjectName(QStringLiteral("actionAddGroup"));
    m_rename->setObjectName(QStringLiteral("actionRenameGroup"));
    m_setIcon->setObjectName(QStringLiteral("actionSetGroupIcon"));
    m_clear->setObjectName(QStringLiteral("actionClearGroup"));
    m_delete->setObjectName(QStringLiteral("actionDeleteGroup"));
    m_deleteAll->setObjectName(QStringLiteral("actionDeleteAllGroups"));
    m_iconMode->setObjectName(QStringLiteral("actionShowAsIcons"));
    m_listMode->setObjectName(QStringLiteral("actionShowAsList"));
    setFlow(QListView::LeftToRight);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    m_delete->setShortcut(QKeySequence::Delete);
    m_delete->setShortcutContext(Qt::WidgetShortcut);
    addAction(m_delete);

    m_iconMode->setCheckable(true);
    m_listMode->setCheckable(true);
    m_iconMode->setChecked(true);
    auto *showMenu = new QMenu(QStringLiteral("显示模式"), this);
    showMenu->addActions(m_showModes->actions());

    // The sort entries are shown but have no effect yet: only the defaults are enabled.
    auto *sortMenu = new QMenu(QStringLiteral("排序"), this);
    auto *sortBy = new QActionGroup(this);
    auto *sortOrder = new QActionGroup(this);
    const auto addSort = [](QActionGroup *group, const char *name, const QString &text,
                            bool isDefault) {
        QAction *action = group->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setCheckable(true);
        action->setChecked(isDefault);
        action->setEnabled(isDefault);
    };
    addSort(sortBy, "actionSortFreely", QStringLiteral("自由调整"), true);
    addSort(sortBy, "actionSortByName", QStringLiteral("名称排序"), false);
    addSort(sortBy, "actionSortByRunCount", QStringLiteral("运行次数"), false);
    addSort(sortBy, "actionSortByRunDate", QStringLiteral("运行时间"), false);
    addSort(sortOrder, "actionOrderAsStored", QStringLiteral("默认"), true);
    addSort(sortOrder, "actionOrderAscending", QStringLiteral("正序 [A-Z]"), false);
    addSort(sortOrder, "actionOrderDescending", QStringLiteral("倒序 [Z-A]"), false);
    sortMenu->addActions(sortBy->actions());
    sortMenu->addSeparator();
    sortMenu->addActions(sortOrder->actions());

    m_blankMenu->addActions({m_add, m_deleteAll});
    m_entryMenu->addActions({m_runAll, m_add, m_rename});
    m_entryMenu->addMenu(m_moveMenu);
    m_entryMenu->addMenu(showMenu);
    m_entryMenu->addMenu(sortMenu);
    m_entryMenu->addActions({m_setIcon, m_clear, m_delete, m_deleteAll});

    connect(this, &QWidget::customContextMenuRequested, this, &GroupsListView::menu_show);
}

void GroupsListView::setTypesModel(QAbstractItemModel *model)
{
    m_typesModel = model;
}

void GroupsListView::rebuildMoveMenu()
{
    m_moveMenu->clear();
    if (!m_typesModel)
        return;
    for (int row = 0; row < m_typesModel->rowCount(); ++row) {
        const QModelIndex type = m_typesModel->index(row, 0);
        QAction *action = m_moveMenu->addAction(type.data().toString());
        action->setData(type.data(TypesIdRole));
    }
}

void GroupsListView::menu_show(QPoint pos)
{
    if (!indexAt(pos).isValid()) {
        m_blankMenu->exec(mapToGlobal(pos));
        return;
    }
    rebuildMoveMenu();
    m_entryMenu->exec(mapToGlobal(pos));
}
