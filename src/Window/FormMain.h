#pragma once

#include <QByteArray>
#include <QColor>
#include <QElapsedTimer>
#include <QFuture>
#include <QModelIndex>
#include <QUrl>
#include <QVector>
#include <QSystemTrayIcon>
#include <QWidget>

#include "CommandLine.h"
#include "WindowPlacement.h"

#include <functional>
#include <memory>
#include <optional>

struct SkinInfo;
class QAction;
class LatinInput;
class SearchTyping;
class ShowHotkey;
class QListView;
class QMenu;
class QSortFilterProxyModel;
class QSqlQuery;
class QStandardItemModel;
class ItemRunner;
class ItemsModel;
struct ActionRow;
class KeyboardCatcher;
class SearchIndex;

namespace Ui {
class FormMain;
}

// The launcher's main window. Its construction is the start-up of the whole program: folders,
// frame and models, log, wiring, databases and settings, in that order.
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

    void data_typesAdd();
    void data_typesRename();
    void data_typesDelete();
    void data_typesUpdate();
    void data_typesImportApplications();
    void data_groupsAdd();
    void data_groupsDelete();
    void data_groupsDeleteAll();
    void data_groupsMove(QAction *action);
    void data_groupsRename();
    void model_dataChanged(QModelIndex topLeft, QModelIndex bottomRight, QVector<int> roles);
    void onTypesCurrentRowChanged(QModelIndex currentIndex, QModelIndex lastIndex);
    void onGroupsCurrentRowChanged(QModelIndex currentIndex, QModelIndex lastIndex);
    void data_groupsClear();
    void data_groupsRunAll();

    void data_itemRun();
    void data_itemRun(QModelIndex index);
    void data_itemRunAsAdmin();
    void data_itemOpenFolder();
    void data_itemCopyFolder();
    void data_itemsMove(QAction *action);
    void data_itemSearch();
    void data_itemHistory();
    void data_itemGoIndex(QModelIndex index);

    void data_itemAdd();
    void data_itemAdd(const QList<QUrl> &listUrl);
    void data_itemAttribute();
    void data_itemShare();
    void data_itemAddFromJson();
    void data_itemRename();
    void data_itemDelete();

    void data_typesSetIcon();
    void data_groupsSetIcon();
    void data_itemSetIcon();
    void data_itemSetIcon(const QModelIndex &index, const QString &hashName);

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
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void init_object();
    void init_frameless();
    void init_models();
    void init_running();
    void init_log();
    void init_connections();
    void init_menus();
    void init_data();

    // Hides the window to the tray (and the tray icon with it when asked), or minimises it when
    // nothing could bring it back.
    void hideWindow(bool hideTray);
    // Shows the window in front with the keyboard in the search box.
    void bringToFront();
    bool isInFront() const;
    void registerHotkey(const QString &key);
    // What could bring a hidden window back, in words for the log.
    QStringList waysBack() const;
    // Minimises a hidden window when neither tray nor hotkey could bring it back.
    void keepReachable();
    // Reloads the groups of a type; an invalid index means the current type.
    void data_groupsUpdate(const QModelIndex &typeIndex);
    static void setCurrentRow(QListView *view, int row);

    // Reloads the items of a group; an invalid index means the current group.
    void data_itemsLoad(const QModelIndex &groupIndex);
    void data_itemsUpdate(QSqlQuery &query);
    void data_resultsUpdate(QSqlQuery &query);
    // Instant search: the ranked matches of the text, or the catalogue page when it is empty.
    void onSearchTextChanged(const QString &text);
    // Brings the search index up to date after delay ms, unless it is already.
    void refreshSearchSoon(int delay);
    // The search box takes the keyboard, its text selected so that typing replaces it.
    void focusSearch();
    // Keys of the search box and of the lists in instant search; true when handled.
    bool searchBoxKey(QKeyEvent *event);
    bool listKey(QListView *view, QKeyEvent *event);
    void showResultsPage();
    void showMainPage();
    // Back to the catalogue page, a typed search cleared with it.
    void leaveResults();
    // A refused run or operation, as a red notice.
    void refuse(const QString &text);
    // Counts a run the runner made, and hides after it when so set.
    void recordRun(const QVariant &id);
    void showSettingsResult(bool isOk);
    // Refuses with a notice when no group is current.
    bool hasCurrentGroup();
    // Adds the entries of one drop in one transaction.
    void addDropped(const QList<QUrl> &listUrl);
    // Runs the properties dialog; reloads the items when it was accepted.
    bool runAttribute(const QModelIndex &index, bool edit);
    // The hash name chosen in the icon selector (empty: no icon); nullopt when cancelled.
    std::optional<QString> chooseIcon();
    void applySkin(const SkinInfo &skin);

    Ui::FormMain *ui;
    bool m_constructed = false;
    bool m_catalogueOpen = false;
    QList<QList<QUrl>> m_pendingDrops;
    bool m_addingDrops = false;
    // Since onShow asked for the window to be activated, until the window manager reports it.
    QElapsedTimer m_activationRequested;
    // The window the window manager named active then.
    std::optional<quint32> m_activeWhenRequested;
    WindowPlacement m_placement;
    QStandardItemModel *m_typesModel = nullptr;
    QStandardItemModel *m_groupsModel = nullptr;
    ItemsModel *m_itemsModel = nullptr;
    ItemsModel *m_resultsModel = nullptr;
    QSortFilterProxyModel *m_itemsProxy = nullptr;
    std::unique_ptr<SearchIndex> m_searchIndex;
    ItemRunner *m_runner = nullptr;
    KeyboardCatcher *m_keyboardCatcher = nullptr;
    SearchTyping *m_searchTyping = nullptr;
    LatinInput *m_latinInput = nullptr;
    ShowHotkey *m_showHotkey = nullptr;
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
