#include "Catalogue/TypesListView.h"

#include <QAction>
#include <QMenu>

#include "Core/DataControl.h"
#include "Catalogue/ItemRoles.h"

TypesListView::TypesListView(QWidget *parent)
    : ReorderListView(parent,
                      QStringLiteral("types/index"),
                      TypesIdRole,
                      [](const QVariant &id, const QVariant &row) {
                          return DataControl::instance().type_setRow(id, row);
                      })
    , m_add(new QAction(QStringLiteral("添加分类"), this))
    , m_setIcon(new QAction(QStringLiteral("设置图标"), this))
    , m_rename(new QAction(QStringLiteral("重命名"), this))
    , m_delete(new QAction(QStringLiteral("删除"), this))
    , m_import(new QAction(QStringLiteral("导入应用程序"), this))
    , m_blankMenu(new QMenu(this))
    , m_entryMenu(new QMenu(this))
{
    m_add->setObjectName(QStringLiteral("actionAddType"));
    m_setIcon->setObjectName(QStringLiteral("actionSetTypeIcon"));
    m_rename->setObjectName(QStringLiteral("actionRenameType"));
    m_delete->setObjectName(QStringLiteral("actionDeleteType"));
    m_import->setObjectName(QStringLiteral("actionImportApplications"));
    setContextMenuPolicy(Qt::CustomContextMenu);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    m_delete->setShortcut(QKeySequence::Delete);
    m_delete->setShortcutContext(Qt::WidgetShortcut);
    addAction(m_delete);

    m_blankMenu->addActions({m_add, m_import});
    m_entryMenu->addActions({m_add, m_setIcon, m_rename, m_delete});
    m_entryMenu->addSeparator();
    m_entryMenu->addAction(m_import);

    connect(this, &QWidget::customContextMenuRequested, this, &TypesListView::menu_show);
}

void TypesListView::menu_show(QPoint pos)
{
    QMenu *menu = indexAt(pos).isValid() ? m_entryMenu : m_blankMenu;
    menu->exec(mapToGlobal(pos));
}
