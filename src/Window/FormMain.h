#pragma once

#include <QModelIndex>
#include <QWidget>

#include <memory>

#include "App/CommandLine.h"
#include "Catalogue/CatalogueColumn.h"
#include "Catalogue/ItemsPage.h"
#include "Icons/RecolouredIcons.h"
#include "Window/CallUp.h"
#include "Window/ItemRunner.h"

class QMenu;
class TrayIcon;

namespace Ui {
class FormMain;
}

// The launcher's main window. It builds the components that own the lists, the search box,
// starting items, calling the window up and the tray icon, and wires them to each other and to
// the settings; its slots hand each action on to the component that owns what it changes. The
// program's start-up (App/Startup) hands it the catalogue once that opened.
class FormMain final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormMain)

public:
    explicit FormMain(QWidget *parent = nullptr);
    ~FormMain() override;

    // The start-up's steps that reach into the window, in their order: the catalogue just
    // opened, shown on that type and group (the first stored where they are gone); the hotkey;
    // the start is over, so settings changes are confirmed and hiding may minimise.
    void showCatalogue(int typeId, int groupId);
    void startHotkey() { m_callUp->startHotkey(); }
    void setStarted()
    {
        m_started = true;
        m_callUp->setReady();
    }
    // What could bring a hidden window back, in words for the log.
    QStringList waysBack() const { return m_callUp->waysBack(); }
    // The type and group shown are where the next start opens.
    const CatalogueColumn &catalogue() const { return *m_column; }
    // Whether a hidden window could be brought back; without a way, hiding minimises instead.
    bool canHide(bool trayHidesToo) const { return m_callUp->canHide(trayHidesToo); }

public slots:
    void onShow() { m_callUp->toggle(); }
    // On a start with an empty catalogue, offers once to import the installed applications.
    void onFirstStart();
    // A command handed over by another process ("quiver --toggle"), with what lets the window
    // take the focus on its behalf.
    void onCommand(CommandLine::Command command, const Activation::Request &request)
    {
        m_callUp->command(command, request);
    }
    void onSetSkins(QString name);

    // The actions the lists offer, handed on to the component that owns what each changes.
    void data_typesDelete() { m_column->deleteType(); }
    void data_groupsClear() { m_column->clearGroup(); }
    void data_groupsRunAll() { m_runner->runGroup(); }
    void data_itemRun();
    void data_itemRun(QModelIndex index) { m_runner->runRow(index); }
    void data_itemRunAsAdmin() { m_runner->runAsAdministrator(currentItemId()); }
    void data_itemOpenFolder() { m_runner->openFolder(currentItemId()); }
    void data_itemCopyPath() { m_runner->copyPath(currentItemId()); }
    void data_itemHistory() { m_items->history(); }
    void data_itemGoIndex(QModelIndex index);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildFrame();
    void buildMenus();
    void buildComponents();
    void connectLists();
    void connectSettings();
    QVariant currentItemId() const;
    void showSettingsResult(bool isOk);
    void toggleOnTop();

    std::unique_ptr<Ui::FormMain> ui;
    bool m_started = false;
    bool m_catalogueShown = false;
    CatalogueColumn *m_column = nullptr;
    ItemsPage *m_items = nullptr;
    ItemRunner *m_runner = nullptr;
    CallUp *m_callUp = nullptr;
    TrayIcon *m_tray = nullptr;
    QMenu *m_moreMenu = nullptr;
    RecolouredIcons m_skinIcons;
};
