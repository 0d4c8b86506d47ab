#include "Window/FormMain.h"
#include "ui_FormMain.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

#include <functional>

#include "Catalogue/CatalogueListModel.h"
#include "Catalogue/ItemEditing.h"
#include "Catalogue/ItemRoles.h"
#include "Core/SettingsControl.h"
#include "FramelessWindowsManager.h"
#include "KelMessageBox.h"
#include "KelWidgetHelper.h"
#include "Settings/Form_Debugger.h"
#include "Settings/Form_Settings.h"
#include "Skins/Form_Skins.h"
#include "Skins/SkinStyle.h"
#include "Update/UpdateNotice.h"
#include "Window/SearchTyping.h"
#include "Window/SingleWindow.h"
#include "Window/TrayIcon.h"

namespace {
// Not stored: every start begins in the ordinary stacking order.
bool appOnTop = false;
// The windows that exist at most once.
QPointer<Form_Debugger> debugger;
QPointer<Form_Skins> skins;
QPointer<Form_Settings> settingsWindow;
} // namespace

FormMain::FormMain(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::FormMain>())
{
    ui->setupUi(this);
    setWindowTitle(QCoreApplication::applicationName());
    setAttribute(Qt::WA_StyledBackground);
    buildFrame();
    buildMenus();
    buildComponents();
    connectLists();
    connectSettings();
}

FormMain::~FormMain() = default;

void FormMain::buildFrame()
{
    createWinId();
    QWindow *window = windowHandle();
    FramelessWindowsManager::addWindow(window);
    const QList<QWidget *> chrome{ui->toolButton_back,     ui->toolButton_settings,
                                  ui->toolButton_minimize, ui->toolButton_close,
                                  ui->lineEdit_search,     ui->toolButton_history};
    for (QWidget *widget : chrome)
        FramelessWindowsManager::setHitTestVisibleInChrome(window, widget, true);
    // Laid out once so the title bar has its real height before the window is first shown.
    layout()->activate();
    FramelessWindowsManager::setTitleBarHeight(window, ui->frame_title->height());
    FramelessWindowsManager::setBorderWidth(window, 2);
    FramelessWindowsManager::setBorderHeight(window, 2);
    connect(ui->toolButton_settings, &QToolButton::clicked, this,
            [this] { m_moreMenu->exec(QCursor::pos()); });
    connect(ui->toolButton_minimize, &QToolButton::clicked, this, &QWidget::showMinimized);
    connect(ui->toolButton_close, &QToolButton::clicked, this, &QWidget::close);
    connect(ui->toolButton_history, &QToolButton::clicked, this, &FormMain::data_itemHistory);
}

void FormMain::buildMenus()
{
    // Named for the tests, which find them by what they do rather than by their text.
    const auto action = [this](const char *name, const char *text,
                               const std::function<void()> &run = {}) {
        auto *made = new QAction(QString::fromUtf8(text), this);
        made->setObjectName(QLatin1String(name));
        if (run)
            connect(made, &QAction::triggered, this, run);
        return made;
    };
    QAction *settings =
        action("actionOpenSettings", "设置", [this] { showSingleWindow(settingsWindow, this); });
    QAction *quit = action("actionQuit", "退出", &QCoreApplication::quit);
    m_tray = new TrayIcon(
        this, {action("actionShowWindow", "显示", [this] { onShow(); }), settings, quit});
    m_moreMenu = new QMenu(this);
    m_moreMenu->setObjectName(QStringLiteral("menuMore"));
    m_moreMenu->addActions(
        {action("actionStayOnTop", "置顶", [this] { toggleOnTop(); }), settings,
         action("actionOpenSkins", "皮肤",
                [this] {
                    connect(showSingleWindow(skins, this), &Form_Skins::skinsChanged, this,
                            &FormMain::onSetSkins, Qt::UniqueConnection);
                }),
         action("actionRestoreLayout", "重置布局",
                [this] {
                    const int types = ui->listView_types->maximumWidth();
                    ui->splitter->setSizes({types, width() - types});
                }),
         action("actionOpenDebugger", "调试器", [this] { showSingleWindow(debugger, this); }),
         quit});
    QAction *search = action("actionSearch", "搜索");
    QAction *clear = action("actionClearSearch", "清除");

    QLineEdit *box = ui->lineEdit_search;
    box->addAction(search, QLineEdit::LeadingPosition);
    box->addAction(clear, QLineEdit::TrailingPosition);
    connect(clear, &QAction::triggered, box, &QLineEdit::clear);
    connect(box, &QLineEdit::textChanged, clear,
            [clear](const QString &text) { clear->setVisible(!text.isEmpty()); });
    clear->setVisible(!box->text().isEmpty());

    // The title bar's icons and the search box's take the skin's text colour.
    for (const auto &[target, file, attribute] :
         std::initializer_list<std::tuple<QObject *, const char *, const char *>>{
             {ui->toolButton_close, "close", "stroke"},
             {ui->toolButton_minimize, "minimize", "stroke"},
             {ui->toolButton_settings, "settings_m", "fill"},
             {ui->toolButton_history, "history", "fill"},
             {ui->toolButton_back, "return", "fill"},
             {search, "search", "fill"},
             {clear, "clear", "fill"}})
        m_skinIcons.add(target, QStringLiteral(":/icon/%1.svg").arg(QLatin1String(file)),
                        QLatin1String(attribute));
}

void FormMain::buildComponents()
{
    m_callUp = new CallUp(this, ui->lineEdit_search, m_tray);
    m_column = new CatalogueColumn(ui->listView_types, ui->listView_groups, this);
    m_items = new ItemsPage({ui->listView_items, ui->listView_result, ui->lineEdit_search,
                             ui->stackedWidget, ui->toolButton_back},
                            this);
    ui->listView_items->setTypesModel(m_column->typesModel());
    new ItemEditing(m_column, m_items, ui->listView_items, this);
    m_runner = new ItemRunner(this, m_items);
    connect(m_runner, &ItemRunner::started, this, [this] {
        if (SettingsControl::instance().isThenHide())
            m_callUp->hideWindow(false);
    });
    auto *searchTyping = new SearchTyping(ui->lineEdit_search, this);
    for (QAbstractItemView *view : std::initializer_list<QAbstractItemView *>{
             ui->listView_types, ui->listView_groups, ui->listView_items})
        searchTyping->watch(view);
}

void FormMain::connectLists()
{
    connect(m_column, &CatalogueColumn::groupChanged, m_items, &ItemsPage::showGroup);
    connect(m_column, &CatalogueColumn::groupCleared, m_items, &ItemsPage::reload);
    // An empty catalogue tells how things come into it.
    connect(m_column, &CatalogueColumn::emptied, ui->listView_items, [this](bool empty) {
        ui->listView_items->setEmptyHint(
            empty ? QStringLiteral("右键点击左侧的分类栏，可以添加分类，或导入已安装的应用程序。\n"
                                   "有了分组之后，把文件、文件夹或链接拖到这里即可添加。")
                  : QString());
    });
    connect(m_items, &ItemsPage::runRequested, this,
            qOverload<QModelIndex>(&FormMain::data_itemRun));
    connect(ui->listView_groups->actionRunAll(), &QAction::triggered, this,
            &FormMain::data_groupsRunAll);

    ItemsListView *items = ui->listView_items;
    const auto runSelection = qOverload<>(&FormMain::data_itemRun);
    const auto runIndex = qOverload<QModelIndex>(&FormMain::data_itemRun);
    connect(items->actionRun(), &QAction::triggered, this, runSelection);
    connect(items->actionRunSelected(), &QAction::triggered, this, runSelection);
    connect(items->actionRunAsAdmin(), &QAction::triggered, this, &FormMain::data_itemRunAsAdmin);
    connect(items->actionOpenFolder(), &QAction::triggered, this, &FormMain::data_itemOpenFolder);
    connect(items->actionCopyPath(), &QAction::triggered, this, &FormMain::data_itemCopyPath);
    ResultsListView *results = ui->listView_result;
    connect(results->actionRun(), &QAction::triggered, this,
            [this] { data_itemRun(ui->listView_result->currentIndex()); });
    connect(results->actionLocate(), &QAction::triggered, this,
            [this] { data_itemGoIndex(ui->listView_result->currentIndex()); });
    for (QListView *view : {static_cast<QListView *>(items), static_cast<QListView *>(results)}) {
        connect(view, &QListView::doubleClicked, this, runIndex);
        connect(view, &QListView::clicked, this, [this](const QModelIndex &index) {
            if (SettingsControl::instance().isSingleClickRun())
                data_itemRun(index);
        });
    }

    connect(ui->listView_groups->showModeGroup(), &QActionGroup::triggered, this,
            [this](QAction *action) {
                ui->listView_items->setShowMode(
                    action == ui->listView_groups->actionListMode() ? 1 : 0);
            });
}

void FormMain::connectSettings()
{
    SettingsControl &settings = SettingsControl::instance();
    connect(&settings, &SettingsControl::dragEnabledChanged, this, [this](bool enable) {
        for (QListView *view : {static_cast<QListView *>(ui->listView_types),
                                static_cast<QListView *>(ui->listView_groups),
                                static_cast<QListView *>(ui->listView_items)})
            view->setDragEnabled(enable);
    });
    connect(&settings, &SettingsControl::itemClickChanged, this, [this](bool single) {
        ui->listView_items->setEditTriggers(single ? QAbstractItemView::EditKeyPressed
                                                   : QAbstractItemView::EditKeyPressed |
                                                         QAbstractItemView::SelectedClicked);
    });
    connect(&settings, &SettingsControl::result, this, &FormMain::showSettingsResult);
    connect(&settings, &SettingsControl::updateFinished, this, [this](const QByteArray &reply) {
        UpdateNotice::show(this, reply,
                           [] { return SettingsControl::instance().takeManualUpdateCheck(); });
    });
}

void FormMain::showCatalogue(int typeId, int groupId)
{
    m_catalogueShown = true;
    m_items->setSearchable(true);
    m_column->reload(typeId, groupId);
}

void FormMain::onFirstStart()
{
    // Only a window the user sees asks: a start to the tray keeps it for later.
    if (m_catalogueShown && isVisible())
        m_column->offerImport();
}

void FormMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Read once the window is up (not on the way to its first frame), so that the first key
    // typed finds the index ready.
    m_items->refreshSearchSoon(300);
}

void FormMain::hideEvent(QHideEvent *event)
{
    // Hidden after a run: the index catches up while nobody waits for it.
    m_items->refreshSearchSoon(0);
    QWidget::hideEvent(event);
}

void FormMain::keyPressEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Escape)
        return;
    if (!m_items->isOnResults())
        m_callUp->hideWindow(false);
    else
        m_items->escapeResults();
}

void FormMain::toggleOnTop()
{
    appOnTop = !appOnTop;
    KelWidgetHelper::setWindowStaysOnTop(this, appOnTop, true);
    KelMessageBox::show(this,
                        appOnTop ? QStringLiteral("已置顶显示") : QStringLiteral("已取消置顶"),
                        KelMessageBox::Green, 2000, KelMessageBox::Bottom, QString());
}

void FormMain::showSettingsResult(bool isOk)
{
    if (m_started)
        KelMessageBox::show(this,
                            isOk ? QStringLiteral("设置已变更！") : QStringLiteral("设置失败！"),
                            isOk ? KelMessageBox::Green : KelMessageBox::Red, 2000,
                            KelMessageBox::Bottom, QString());
}

void FormMain::onSetSkins(QString name)
{
    const SkinInfo skin = Skin::apply(name);
    m_skinIcons.recolour(skin.fontColor);
    setWindowOpacity(skin.opacity);
    repaint();
    update();
}

QVariant FormMain::currentItemId() const
{
    return ui->listView_items->currentIndex().data(ItemIdRole);
}

void FormMain::data_itemRun()
{
    m_runner->runRows(ui->listView_items->selectionModel()->selectedIndexes());
}

void FormMain::data_itemGoIndex(QModelIndex index)
{
    m_column->locate(index.data(TypesIdRole).toInt(), index.data(GroupsIdRole).toInt());
    m_items->select(index.data(ItemIdRole).toInt());
    m_items->leaveResults();
}
