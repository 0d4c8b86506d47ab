#pragma once

#include <QListView>
#include <QUrl>

#include <memory>

class DragReorder;
class QAction;
class QMenu;
class QSortFilterProxyModel;
class QAbstractItemModel;

// The items of the current group, behind a sorting proxy: context menus, two display modes,
// reordering by drag, and files or links dropped from outside.
class ItemsListView final : public QListView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ItemsListView)

public:
    explicit ItemsListView(QWidget *parent = nullptr);
    ~ItemsListView() override;

    // The categories whose groups "移动到" lists.
    void setTypesModel(QAbstractItemModel *model);
    // 0 icon tiles, 1 list rows; any other value is ignored.
    void setShowMode(int mode);
    int showMode() const { return m_showMode; }
    // Shown in the middle of the list while it has no entries; empty: nothing.
    void setEmptyHint(const QString &hint);
    QString emptyHint() const { return m_emptyHint; }

    QAction *actionRun() const { return m_run; }
    QAction *actionRunAsAdmin() const { return m_runAsAdmin; }
    QAction *actionAdd() const { return m_add; }
    QAction *actionPaste() const { return m_paste; }
    QAction *actionCopy() const { return m_copy; }
    QAction *actionRefresh() const { return m_refresh; }
    QAction *actionRename() const { return m_rename; }
    QAction *actionOpenFolder() const { return m_openFolder; }
    QAction *actionCopyPath() const { return m_copyPath; }
    QAction *actionDelete() const { return m_delete; }
    QAction *actionAttribute() const { return m_attribute; }
    QAction *actionSetIcon() const { return m_setIcon; }
    QAction *actionRunSelected() const { return m_runSelected; }
    QAction *actionDeleteSelected() const { return m_deleteSelected; }
    QMenu *moveMenu() const { return m_moveMenu; }

signals:
    void dropIn(QList<QUrl> urls);

public slots:
    void menu_show(QPoint pos);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void paintEvent(QPaintEvent *event) override;
    QStyleOptionViewItem viewOptions() const override;

private:
    void rebuildMoveMenu();
    bool cacheModels();

    QAction *m_run;
    QAction *m_runAsAdmin;
    QAction *m_add;
    QAction *m_paste;
    QAction *m_copy;
    QAction *m_refresh;
    QAction *m_rename;
    QAction *m_openFolder;
    QAction *m_copyPath;
    QAction *m_delete;
    QAction *m_attribute;
    QAction *m_setIcon;
    QAction *m_runSelected;
    QAction *m_deleteSelected;
    QMenu *m_moveMenu;
    QMenu *m_blankMenu;
    QMenu *m_singleMenu;
    QMenu *m_severalMenu;
    QAbstractItemModel *m_typesModel = nullptr;
    QAbstractItemModel *m_items = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    int m_showMode = 0;
    QString m_emptyHint;
    std::unique_ptr<DragReorder> m_reorder;
};
