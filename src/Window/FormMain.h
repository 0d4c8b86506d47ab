#pragma once

#include <QByteArray>
#include <QColor>
#include <QModelIndex>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QWidget>

#include "Catalogue/CatalogueColumn.h"
#include "App/CommandLine.h"
#include "Catalogue/ItemEditing.h"
#include "Catalogue/ItemsPage.h"

class CallUp;
class ItemRunner;
class QAction;
class QMenu;
class SearchTyping;

namespace Ui {
class FormMain;
}

// The launcher's main window. Its construction is the start-up of the whole program: folders,
// frame and the components that own the lists, log, wiring, databases and settings, in that
// order. Its slots hand each action on to the component that owns what it changes.
class FormMain final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormMain)

public:
    explicit FormMain(QWidget *parent = nullptr);
    ~FormMain() override;

    // Whether a hidden window can be brought back: by the tray icon, the X11 hotkey (which a
    // Wayland session only delivers while one of our windows has the focus) or the desktop's own
    // shortcut. Without any, hiding minimises instead.
    bool canHide(bool trayHidesToo) const;

public slots:
    void onShow();
    // On a start with an empty catalogue, offers once to import the installed applications.
    void onFirstStart();
    // A command handed over by another process ("quiver --toggle"), with what lets the window
    // take the focus on its behalf.
    void onCommand(CommandLine::Command command, const Activation::Request &request);
    void onSetSkins(QString fileName);

    // The catalogue's actions, handed on to the component that owns what each changes.
    void data_typesAdd() { m_column->addType(); }
    void data_typesRename() { m_column->renameType(); }
    void data_typesDelete() { m_column->deleteType(); }
    void data_typesUpdate() { m_column->reload(); }
    void data_typesImportApplications() { m_column->importApplications(); }
    void data_groupsAdd() { m_column->addGroup(); }
    void data_groupsDelete() { m_column->deleteGroup(); }
    void data_groupsDeleteAll() { m_column->deleteAllGroups(); }
    void data_groupsMove(QAction *action) { m_column->moveGroup(action); }
    void data_groupsRename() { m_column->renameGroup(); }
    void data_groupsClear() { m_column->clearGroup(); }
    void data_groupsRunAll();

    void data_itemRun();
    void data_itemRun(QModelIndex index);
    void data_itemRunAsAdmin();
    void data_itemOpenFolder();
    void data_itemCopyFolder();
    void data_itemsMove(QAction *action) { m_items->moveSelected(action); }
    void data_itemSearch() { m_items->search(); }
    void data_itemHistory() { m_items->history(); }
    void data_itemGoIndex(QModelIndex index);

    void data_itemAdd() { m_editing->add(); }
    void data_itemAdd(const QList<QUrl> &listUrl) { m_editing->add(listUrl); }
    void data_itemAttribute() { m_editing->editAttributes(); }
    void data_itemShare() { m_editing->share(); }
    void data_itemAddFromJson() { m_editing->paste(); }
    void data_itemRename() { m_editing->rename(); }
    void data_itemDelete() { m_editing->remove(); }

    void data_typesSetIcon() { m_column->setTypeIcon(); }
    void data_groupsSetIcon() { m_column->setGroupIcon(); }
    void data_itemSetIcon() { m_editing->setIcon(); }
    void data_itemSetIcon(const QModelIndex &index, const QString &hashName)
    {
        m_editing->setIcon(index, hashName);
    }

private slots:
    void onTrayAction(QSystemTrayIcon::ActivationReason action);
    void onRestoreLayout();
    void onQuit();
    void setAppOnTop();
    void onSetTrayIconColor(QColor color);
    void onSetDragEnabled(bool enable);
    void onUpdate(QByteArray byte);
    void showForm_skins();
    void showForm_settings();
    void showForm_debugger();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void init_object();
    void init_frameless();
    void init_components();
    void init_running();
    void init_log();
    void init_connections();
    void init_menus();
    void init_data();

    // A refused run or operation, as a red notice.
    void refuse(const QString &text);
    // Counts a run the runner made, and hides after it when so set.
    void recordRun(const QVariant &id);
    void showSettingsResult(bool isOk);

    Ui::FormMain *ui;
    bool m_constructed = false;
    bool m_catalogueOpen = false;
    CatalogueColumn *m_column = nullptr;
    ItemsPage *m_items = nullptr;
    ItemEditing *m_editing = nullptr;
    ItemRunner *m_runner = nullptr;
    SearchTyping *m_searchTyping = nullptr;
    CallUp *m_callUp = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QMenu *m_trayMenu = nullptr;
    QMenu *m_moreMenu = nullptr;
    QAction *m_actionShow = nullptr;
    QAction *m_actionQuit = nullptr;
    QAction *m_actionSettings = nullptr;
    QAction *m_actionSkins = nullptr;
    QAction *m_actionDebugger = nullptr;
    QAction *m_actionSearch = nullptr;
    QAction *m_actionOnTop = nullptr;
    QAction *m_actionClear = nullptr;
    QAction *m_actionRestoreLayout = nullptr;
};
