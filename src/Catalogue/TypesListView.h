#pragma once

#include "Catalogue/ReorderListView.h"

class QAction;
class QMenu;

// The categories column.
class TypesListView final : public ReorderListView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TypesListView)

public:
    explicit TypesListView(QWidget *parent = nullptr);

    QAction *actionAdd() const { return m_add; }
    QAction *actionSetIcon() const { return m_setIcon; }
    QAction *actionRename() const { return m_rename; }
    QAction *actionDelete() const { return m_delete; }
    QAction *actionImport() const { return m_import; }

public slots:
    void menu_show(QPoint pos);

private:
    QAction *m_add;
    QAction *m_setIcon;
    QAction *m_rename;
    QAction *m_delete;
    QAction *m_import;
    QMenu *m_blankMenu;
    QMenu *m_entryMenu;
};
