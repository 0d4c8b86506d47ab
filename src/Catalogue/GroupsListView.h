#pragma once

#include "Catalogue/ReorderListView.h"

class QAction;
class QActionGroup;
class QMenu;
class QAbstractItemModel;

// The groups bar of the current category.
class GroupsListView final : public ReorderListView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GroupsListView)

public:
    explicit GroupsListView(QWidget *parent = nullptr);

    // The categories listed by "移动到".
    void setTypesModel(QAbstractItemModel *model);

    QAction *actionRunAll() const { return m_runAll; }
    QAction *actionAdd() const { return m_add; }
    QAction *actionRename() const { return m_rename; }
    QAction *actionSetIcon() const { return m_setIcon; }
    QAction *actionClear() const { return m_clear; }
    QAction *actionDelete() const { return m_delete; }
    QAction *actionDeleteAll() const { return m_deleteAll; }
    QAction *actionIconMode() const { return m_iconMode; }
    QAction *actionListMode() const { return m_listMode; }
    QActionGroup *showModeGroup() const { return m_showModes; }
    QMenu *moveMenu() const { return m_moveMenu; }

public slots:
    void menu_show(QPoint pos);

private:
    void rebuildMoveMenu();

    QAction *m_runAll;
    QAction *m_add;
    QAction *m_rename;
    QAction *m_setIcon;
    QAction *m_clear;
    QAction *m_delete;
    QAction *m_deleteAll;
    QActionGroup *m_showModes;
    QAction *m_iconMode;
    QAction *m_listMode;
    QMenu *m_moveMenu;
    QMenu *m_blankMenu;
    QMenu *m_entryMenu;
    QAbstractItemModel *m_typesModel = nullptr;
};
