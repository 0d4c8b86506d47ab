#include "Window/FormMain.h"
#include "ui_FormMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include "Desktop/Activation.h"
#include "Settings/AutostartEntry.h"
#include "Window/CallUp.h"
#include "Catalogue/CatalogueColumn.h"
#include "Catalogue/CatalogueListModel.h"
#include "Core/DataControl.h"
#include "Settings/Form_Debugger.h"
#include "Settings/Form_Settings.h"
#include "Skins/Form_Skins.h"
#include "FramelessWindowsManager.h"
#include "Icons/IconLoader.h"
#include "Catalogue/ItemEditing.h"
#include "Catalogue/ItemRoles.h"
#include "Catalogue/ItemsPage.h"
#include "KelMessageBox.h"
#include "KelWidgetHelper.h"
#include "Core/PrivateFiles.h"
#include "Window/SearchTyping.h"
#include "Core/SettingsControl.h"
#include "Window/SingleWindow.h"
#include "Skins/Skin.h"
#include "Update/UpdateNotice.h"

#include <easylogging++.h>

#include <fcntl.h>

#include <xcb/xcb.h>

namespace {
// Not stored: every start begins in the ordinary stacking order.
bool appOnTop = false;
// The windows that exist at most once.
QPointer<Form_Debugger> debugger;
QPointer<Form_Skins> skins;
QPointer<Form_Settings> settingsWindow;

// Without its detail, the log keeps warnings and errors only.
void logDetail(bool all)
{
    for (const el::Level level : {el::Level::Info, el::Level::Debug})
        el::Loggers::reconfigureAllLoggers(level, el::ConfigurationType::Enabled,
                                           all ? "true" : "false");
}
} // namespace

FormMain::FormMain(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::FormMain)
{
    ui->setupUi(this);
    init_object();
    init_log();
    init_connections();
    init_menus();
    init_data();
    m_constructed = true;
    m_callUp->setReady();
}

FormMain::~FormMain()
{
    delete ui;
    if (!m_catalogueOpen) {
        // Nothing was loaded: the stored window position stays as the last good run left it.
        LOG(ERROR) << "数据库打开失败, 程序退出\n";
        return;
    }
    DataControl::instance().database_close();
    SettingsControl &settings = SettingsControl::instance();
    // The next start opens on them.
    settings.setValue(QStringLiteral("Form/LastType"),
                      m_column->currentType().data(TypesIdRole).toInt());
    settings.setValue(QStringLiteral("Form/LastGroup"),
                      m_column->currentGroup().data(GroupsIdRole).toInt());
    if (!settings.setValue(QStringLiteral("Form/Geometry"), saveGeometry()))
        LOG(WARNING) << "config.ini 无法写入, 窗口位置未保存";
    // Told whatever the detail, as the start is: without it a run reads as one that crashed.
    logDetail(true);
    LOG(INFO) << "正常退出\n";
}

void FormMain::init_object()
{
    // These lines come before the log is configured and go to the log library's default output.
    // The skins are no secret; the settings, the catalogue, the icons and the log are.
    QDir dir(QStringLiteral("../"));
    if (!PrivateFiles::makeFolder(dir, QStringLiteral("data")))
        LOG(ERROR) << "data目录无法创建, 数据将无法正常保存";
    if (!dir.mkpath(QStringLiteral("skins")))
        LOG(ERROR) << "skins目录无法创建, 皮肤将无法正常使用";
    if (!PrivateFiles::makeFolder(dir, QStringLiteral("cache/log")))
        LOG(ERROR) << "cache/log 目录无法创建, 日志将无法正常使用";
    if (!PrivateFiles::makeFolder(dir, QStringLiteral("cache/caches")))
        LOG(ERROR) << "cache/caches 目录无法创建, 缓存数据全部失效";

    m_tray = new QSystemTrayIcon(this);
    m_tray->setObjectName(QStringLiteral("trayIcon"));
    m_tray->setToolTip(QCoreApplication::applicationName());
    init_frameless();
    init_components();
    init_running();

    setWindowTitle(QCoreApplication::applicationName());
    setAttribute(Qt::WA_StyledBackground);
}

void FormMain::init_frameless()
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
}

void FormMain::init_components()
{
    m_callUp = new CallUp(this, ui->lineEdit_search, m_tray);
    connect(m_callUp, &CallUp::refused, this, &FormMain::refuse);
    m_column = new CatalogueColumn(ui->listView_types, ui->listView_groups, this);
    m_items = new ItemsPage({ui->listView_items, ui->listView_result, ui->lineEdit_search,
                             ui->stackedWidget, ui->toolButton_back},
                            this);
    ui->listView_items->setTypesModel(m_column->typesModel());
    m_editing = new ItemEditing(m_column, m_items, ui->listView_items, this);
}

void FormMain::init_log()
{
    el::Configurations conf;
    conf.setToDefault();
    conf.setGlobally(el::ConfigurationType::Format, "%datetime{%H:%m:%s} | %level | %msg");
    conf.setGlobally(el::ConfigurationType::Filename, "../cache/log/%datetime{%Y%M%d}.log");
    conf.setGlobally(el::ConfigurationType::Enabled, "true");
    conf.setGlobally(el::ConfigurationType::ToFile, "true");
    el::Loggers::reconfigureAllLoggers(conf);
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "false");
    // A new day's file is made as the library makes files, open to everyone.
    PrivateFiles::restrict(QString::fromStdString(
        el::Loggers::getLogger("default")->typedConfigurations()->filename(el::Level::Info)));
    // The log's stream is opened without O_CLOEXEC; nothing open here yet is meant for the
    // programs started from the catalogue.
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString &name : descriptors.entryList(QDir::Files | QDir::System)) {
        const int fd = name.toInt();
        if (fd > 2)
            ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
    }

    LOG(INFO) << "Quiver version:" << QCoreApplication::applicationVersion();
    LOG(INFO) << "Mode:Release";
    logDetail(SettingsControl::instance().isLogEnabled());
}

void FormMain::init_connections()
{
    connect(ui->toolButton_settings, &QToolButton::clicked, this,
            [this] { m_moreMenu->exec(QCursor::pos()); });
    connect(ui->toolButton_minimize, &QToolButton::clicked, this, &QWidget::showMinimized);
    connect(ui->toolButton_close, &QToolButton::clicked, this, &QWidget::close);
    m_searchTyping = new SearchTyping(ui->lineEdit_search, this);
    for (QAbstractItemView *view : std::initializer_list<QAbstractItemView *>{
             ui->listView_types, ui->listView_groups, ui->listView_items})
        m_searchTyping->watch(view);
    connect(ui->toolButton_history, &QToolButton::clicked, this, &FormMain::data_itemHistory);
    connect(m_tray, &QSystemTrayIcon::activated, this, &FormMain::onTrayAction);

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
    connect(items->actionCopyPath(), &QAction::triggered, this, &FormMain::data_itemCopyFolder);
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

    SettingsControl &settings = SettingsControl::instance();
    connect(&settings, &SettingsControl::trayIconColorChanged, this, &FormMain::onSetTrayIconColor);
    connect(&settings, &SettingsControl::dragEnabledChanged, this, &FormMain::onSetDragEnabled);
    connect(&settings, &SettingsControl::itemClickChanged, this, [this](bool single) {
        ui->listView_items->setEditTriggers(single ? QAbstractItemView::EditKeyPressed
                                                   : QAbstractItemView::EditKeyPressed |
                                                         QAbstractItemView::SelectedClicked);
    });
    connect(&settings, &SettingsControl::result, this, &FormMain::showSettingsResult);
    connect(&settings, &SettingsControl::updateFinished, this, &FormMain::onUpdate);
    connect(&settings, &SettingsControl::logEnabledChanged, this, &logDetail);
    connect(&settings, &SettingsControl::startUpWithSystem, this, [](bool enable) {
        emit SettingsControl::instance().result(enable ? AutostartEntry::create()
                                                       : AutostartEntry::remove());
    });
}

void FormMain::init_menus()
{
    m_actionShow = new QAction(QStringLiteral("显示"), this);
    m_actionQuit = new QAction(QStringLiteral("退出"), this);
    m_actionSettings = new QAction(QStringLiteral("设置"), this);
    m_actionSkins = new QAction(QStringLiteral("皮肤"), this);
    m_actionDebugger = new QAction(QStringLiteral("调试器"), this);
    m_actionSearch = new QAction(QStringLiteral("搜索"), this);
    m_actionOnTop = new QAction(QStringLiteral("置顶"), this);
    m_actionClear = new QAction(QStringLiteral("清除"), this);
    m_actionRestoreLayout = new QAction(QStringLiteral("重置布局"), this);

    m_actionShow->setObjectName(QStringLiteral("actionShowWindow"));
    m_actionQuit->setObjectName(QStringLiteral("actionQuit"));
    m_actionSettings->setObjectName(QStringLiteral("actionOpenSettings"));
    m_actionSkins->setObjectName(QStringLiteral("actionOpenSkins"));
    m_actionDebugger->setObjectName(QStringLiteral("actionOpenDebugger"));
    m_actionSearch->setObjectName(QStringLiteral("actionSearch"));
    m_actionOnTop->setObjectName(QStringLiteral("actionStayOnTop"));
    m_actionClear->setObjectName(QStringLiteral("actionClearSearch"));
    m_actionRestoreLayout->setObjectName(QStringLiteral("actionRestoreLayout"));

    m_trayMenu = new QMenu(this);
    m_trayMenu->setObjectName(QStringLiteral("menuTray"));
    m_trayMenu->addActions({m_actionShow, m_actionSettings, m_actionQuit});
    m_moreMenu = new QMenu(this);
    m_moreMenu->setObjectName(QStringLiteral("menuMore"));
    m_moreMenu->addActions({m_actionOnTop, m_actionSettings, m_actionSkins, m_actionRestoreLayout,
                            m_actionDebugger, m_actionQuit});

    connect(m_actionShow, &QAction::triggered, this, &FormMain::onShow);
    connect(m_actionQuit, &QAction::triggered, this, &FormMain::onQuit);
    connect(m_actionRestoreLayout, &QAction::triggered, this, &FormMain::onRestoreLayout);
    connect(m_actionOnTop, &QAction::triggered, this, &FormMain::setAppOnTop);
    connect(m_actionDebugger, &QAction::triggered, this, &FormMain::showForm_debugger);
    connect(m_actionSkins, &QAction::triggered, this, &FormMain::showForm_skins);
    connect(m_actionSettings, &QAction::triggered, this, &FormMain::showForm_settings);

    ui->lineEdit_search->addAction(m_actionSearch, QLineEdit::LeadingPosition);
    ui->lineEdit_search->addAction(m_actionClear, QLineEdit::TrailingPosition);
    connect(m_actionClear, &QAction::triggered, ui->lineEdit_search, &QLineEdit::clear);
    connect(ui->lineEdit_search, &QLineEdit::textChanged, m_actionClear,
            [this](const QString &text) { m_actionClear->setVisible(!text.isEmpty()); });
    m_actionClear->setVisible(!ui->lineEdit_search->text().isEmpty());
}

void FormMain::init_data()
{
    DataControl &data = DataControl::instance();
    if (!data.init_databases()) {
        // Told once the event loop runs, over the window if it was shown, else in the middle of
        // the screen ("Form/AppRunThenHide" keeps it hidden); the exit follows once the user
        // has had the time to read why.
        QTimer::singleShot(0, this, [this] {
            const int noticeDuration = 4000;
            const QString text = QStringLiteral("数据库打开失败！");
            if (isVisible() && !isMinimized())
                KelMessageBox::show(this, text, KelMessageBox::Red, noticeDuration,
                                    KelMessageBox::Bottom, QString());
            else
                KelMessageBox::show(screen()->availableGeometry().center() - QPoint(140, 30), text,
                                    KelMessageBox::Red, noticeDuration, QString());
            QTimer::singleShot(noticeDuration, qApp, [] { QCoreApplication::exit(1); });
        });
        return;
    }
    m_catalogueOpen = true;
    m_items->setSearchable(true);
    SettingsControl &settings = SettingsControl::instance();
    // Before the catalogue fills the lists: a new style sheet lays out every entry again.
    onSetSkins(settings.value(QStringLiteral("Form/SkinName"), QString()).toString());

    data.database_transaction(true);
    data.database_create();
    // On the type and group shown last.
    m_column->reload(settings.value(QStringLiteral("Form/LastType")).toInt(),
                     settings.value(QStringLiteral("Form/LastGroup")).toInt());
    data.database_transaction(false);

    m_callUp->startHotkey();
    onSetDragEnabled(settings.value(QStringLiteral("Item/DragEnabled"), true).toBool());

    const QByteArray geometry = settings.value(QStringLiteral("Form/Geometry")).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);

    settings.readCaches();
    emit settings.itemClickChanged(settings.isSingleClickRun());
    emit settings.trayIconColorChanged(QColor(
        settings.value(QStringLiteral("Form/TrayIconColor"), QStringLiteral("white")).toString()));

    if (settings.value(QStringLiteral("Form/AutoUpdate"), true).toBool()) {
        // Without an update service every start would end in a red notice.
        if (settings.updateUrl().isEmpty())
            LOG(INFO) << "未配置更新服务器, 跳过自动检查更新";
        else
            QTimer::singleShot(5000, &settings, &SettingsControl::checkUpdate);
    }

    const QStringList ways = m_callUp->waysBack();
    if (ways.isEmpty())
        LOG(WARNING) << "没有托盘图标, 也没有可用的全局快捷键, 隐藏窗口将改为最小化";
    else
        LOG(INFO) << "隐藏的窗口可由" << ways.join(QStringLiteral("、")) << "唤醒";
}

bool FormMain::canHide(bool trayHidesToo) const
{
    return m_callUp->canHide(trayHidesToo);
}

void FormMain::onCommand(CommandLine::Command command, const Activation::Request &request)
{
    m_callUp->command(command, request);
}

void FormMain::onShow()
{
    m_callUp->toggle();
}

void FormMain::onFirstStart()
{
    // Asked once, and only of a window the user sees: a start to the tray keeps it for later.
    SettingsControl &settings = SettingsControl::instance();
    if (!m_catalogueOpen || !m_column->isEmpty() || !isVisible() ||
        settings.value(QStringLiteral("Form/ImportOffered"), false).toBool())
        return;
    QMessageBox question(QMessageBox::Question, QCoreApplication::applicationName(),
                         QStringLiteral("是否导入已安装的应用程序？"),
                         QMessageBox::Yes | QMessageBox::No, this);
    question.exec();
    // Closed by the end of the session rather than answered: asked again next time.
    if (!question.clickedButton())
        return;
    settings.setValue(QStringLiteral("Form/ImportOffered"), true);
    if (question.clickedButton() == question.button(QMessageBox::Yes))
        data_typesImportApplications();
}

void FormMain::onTrayAction(QSystemTrayIcon::ActivationReason action)
{
    if (action == QSystemTrayIcon::Context)
        m_trayMenu->exec(QCursor::pos());
    else if (action == QSystemTrayIcon::Trigger)
        onShow();
}

void FormMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Shown by us, not reported shown by the window system later: by then keys typed into the
    // box would be selected and replaced.
    if (!event->spontaneous())
        m_callUp->focusSearch();
    // Read once the window is up (not on the way to its first frame), so that the first key
    // typed finds the index ready.
    m_items->refreshSearchSoon(300);
}

void FormMain::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_callUp->activationArrived();
    QWidget::changeEvent(event);
}

bool FormMain::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
    const auto *event = static_cast<xcb_generic_event_t *>(message);
    if (eventType == "xcb_generic_event_t" && (event->response_type & ~0x80) == XCB_FOCUS_IN)
        m_callUp->focusArrived(reinterpret_cast<const xcb_focus_in_event_t *>(event)->detail !=
                               XCB_NOTIFY_DETAIL_POINTER);
    return QWidget::nativeEvent(eventType, message, result);
}

void FormMain::hideEvent(QHideEvent *event)
{
    m_callUp->hidden();
    // Hidden after a run: the index catches up while nobody waits for it.
    m_items->refreshSearchSoon(0);
    QWidget::hideEvent(event);
}

void FormMain::closeEvent(QCloseEvent *event)
{
    const SettingsControl &settings = SettingsControl::instance();
    if (settings.isCloseThenQuit()) {
        event->accept();
        QCoreApplication::quit();
        return;
    }
    // Hidden even when the close came from the window manager while another window was active.
    m_callUp->hideWindow(settings.isTrayIconHideWithMain() || settings.isTrayIconHide());
    event->ignore();
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

void FormMain::onQuit()
{
    QCoreApplication::quit();
}

void FormMain::onRestoreLayout()
{
    const int types = ui->listView_types->maximumWidth();
    ui->splitter->setSizes({types, width() - types});
}

void FormMain::setAppOnTop()
{
    appOnTop = !appOnTop;
    KelWidgetHelper::setWindowStaysOnTop(this, appOnTop, true);
    KelMessageBox::show(this,
                        appOnTop ? QStringLiteral("已置顶显示") : QStringLiteral("已取消置顶"),
                        KelMessageBox::Green, 2000, KelMessageBox::Bottom, QString());
}

void FormMain::onSetTrayIconColor(QColor color)
{
    m_tray->setIcon(QIcon(IconLoader::instance().svgToPixmap(
        QStringLiteral(":/icon/trayIcon.svg"), color.name(), QStringLiteral("fill"))));
    m_tray->setVisible(!SettingsControl::instance().isTrayIconHide());
}

void FormMain::showForm_skins()
{
    connect(showSingleWindow(skins, this), &Form_Skins::skinsChanged, this, &FormMain::onSetSkins,
            Qt::UniqueConnection);
}

void FormMain::showForm_settings()
{
    showSingleWindow(settingsWindow, this);
}

void FormMain::showForm_debugger()
{
    showSingleWindow(debugger, this);
}

void FormMain::onSetDragEnabled(bool enable)
{
    ui->listView_types->setDragEnabled(enable);
    ui->listView_groups->setDragEnabled(enable);
    ui->listView_items->setDragEnabled(enable);
}

void FormMain::showSettingsResult(bool isOk)
{
    if (!m_constructed)
        return;
    if (isOk)
        KelMessageBox::show(this, QStringLiteral("设置已变更！"), KelMessageBox::Green, 2000,
                            KelMessageBox::Bottom, QString());
    else
        KelMessageBox::show(this, QStringLiteral("设置失败！"), KelMessageBox::Red, 2000,
                            KelMessageBox::Bottom, QString());
}

void FormMain::onSetSkins(QString fileName)
{
    const SkinInfo skin = Skin::apply(fileName);
    // The title bar's icons and the built-in item icons take the text colour.
    IconLoader &icons = IconLoader::instance();
    icons.setBuiltInColor(skin.fontColor);
    const auto recoloured = [&](const char *file, const char *attribute) {
        return QIcon(
            icons.svgToPixmap(QLatin1String(file), skin.fontColor, QLatin1String(attribute)));
    };
    ui->toolButton_close->setIcon(recoloured(":/icon/close.svg", "stroke"));
    ui->toolButton_minimize->setIcon(recoloured(":/icon/minimize.svg", "stroke"));
    ui->toolButton_settings->setIcon(recoloured(":/icon/settings_m.svg", "fill"));
    ui->toolButton_history->setIcon(recoloured(":/icon/history.svg", "fill"));
    ui->toolButton_back->setIcon(recoloured(":/icon/return.svg", "fill"));
    m_actionSearch->setIcon(recoloured(":/icon/search.svg", "fill"));
    m_actionClear->setIcon(recoloured(":/icon/clear.svg", "fill"));
    setWindowOpacity(skin.opacity);
    repaint();
    update();
}

void FormMain::onUpdate(QByteArray byte)
{
    UpdateNotice::show(this, byte,
                       [] { return SettingsControl::instance().takeManualUpdateCheck(); });
}

void FormMain::data_itemGoIndex(QModelIndex index)
{
    m_column->locate(index.data(TypesIdRole).toInt(), index.data(GroupsIdRole).toInt());
    m_items->select(index.data(ItemIdRole).toInt());
    m_items->leaveResults();
}
