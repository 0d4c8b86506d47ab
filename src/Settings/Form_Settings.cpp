#include "Settings/Form_Settings.h"
#include "ui_Form_Settings.h"

#include <QCoreApplication>

#include "Actions/ActionProviders.h"
#include "Icons/Form_IconSelector.h"
#include "Settings/SearchBoxSketch.h"
#include "KelWindowPlacement.h"
#include "Settings/SearchBoxPage.h"
#include "Core/SettingsControl.h"

namespace {
const char aboutText[] = "<html><head/><body>"
                         "<p style=\"font-size:16pt; font-weight:600;\">Quiver v%1</p>"
                         "<p>一个整理并快速启动程序、文档、文件夹、网址和命令行的桌面启动器。</p>"
                         "<p>问题与建议：请在项目的问题列表中提出。</p>"
                         "<p>界面基于 Qt 5 构建；图标为本项目自行绘制。</p>"
                         "</body></html>";

// A window of its own for page 3's buttons: no parent, deleted when closed, shown over the
// settings window.
void showOwnWindow(QWidget *window, const QWidget *openedFrom)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    KelWindowPlacement::placeOver(window, openedFrom);
    window->show();
}
} // namespace

Form_Settings::Form_Settings(QWidget *parent)
    : KelFramelessWidgetLite(parent)
    , ui(new Ui::Form_Settings)
{
    ui->setupUi(this);
    ui->stackedWidget_settings->setCurrentIndex(0);
    ui->toolButton_minimize->setIcon(QIcon(QStringLiteral(":/icon/minimize.svg")));
    ui->toolButton_close->setIcon(QIcon(QStringLiteral(":/icon/close.svg")));
    // Values written by other means since the last read must show.
    SettingsControl::instance().sync();
    loadValues();
    // Connected after loading, so that loading stores nothing.
    connectControls();
    ui->listView->addItem(QStringLiteral("常规"), QStringLiteral(":/icon/settings.svg"));
    ui->listView->addItem(QStringLiteral("快捷键"), QStringLiteral(":/icon/hotkey.svg"));
    // Before "关于", in the list and among the pages.
    ui->stackedWidget_settings->insertWidget(
        2, new SearchBoxPage(ActionProviders::shared(), ui->stackedWidget_settings));
    ui->listView->addItem(QStringLiteral("搜索框功能"), QStringLiteral(":/icon/search.svg"));
    ui->listView->addItem(QStringLiteral("关于"), QStringLiteral(":/icon/about.svg"));
    ui->textBrowser->setHtml(
        QString::fromUtf8(aboutText).arg(QCoreApplication::applicationVersion()));
    // Where the hotkey now lives: a grab of ours, or the desktop's own shortcut settings.
    const auto showPlace = [this](const QString &place) {
        ui->label_hotkeyPlace->setText(place);
        ui->label_hotkeyPlace->setVisible(!place.isEmpty());
    };
    showPlace(SettingsControl::instance().hotKeyPlace());
    connect(&SettingsControl::instance(), &SettingsControl::hotKeyPlaceChanged, this, showPlace);
}

Form_Settings::~Form_Settings()
{
    delete ui;
}

void Form_Settings::loadValues()
{
    const SettingsControl &settings = SettingsControl::instance();
    ui->checkBox_startUp->setChecked(settings.isStartUp());
    // Without an update service there is nothing to ask, by hand or at start.
    const bool served = !settings.updateUrl().isEmpty();
    ui->checkBox_autoUpdate->setEnabled(served);
    ui->checkBox_autoUpdate->setChecked(served && settings.isAutoUpdate());
    ui->pushButton_checkUpdate->setEnabled(served);
    if (!served) {
        const QString reason = QStringLiteral("未配置更新服务器，无法检查更新");
        ui->checkBox_autoUpdate->setToolTip(reason);
        ui->label_11->setText(reason);
    }
    ui->checkBox_log_enable->setChecked(settings.isLogEnabled());
    ui->checkBox_firstThenHide->setChecked(settings.isAppRunThenHide());
    ui->checkBox_closeThenQuit->setChecked(settings.isCloseThenQuit());
    ui->checkBox_isSingleApp->setChecked(settings.isSingleApp());
    ui->checkBox_thenHide->setChecked(settings.isThenHide());
    ui->checkBox_toRelativePath->setChecked(settings.isUseRelativePath());
    ui->checkBox_dragEnabled->setChecked(settings.isDragEnabled());
    ui->checkBox_instantSearch->setChecked(settings.isInstantSearch());
    ui->checkBox_latinOnShow->setChecked(settings.isLatinOnShow());
    ui->radioButton_singleClick->setChecked(settings.isSingleClickRun());
    ui->radioButton_doubleClick->setChecked(!settings.isSingleClickRun());
    ui->radioButton_cursor->setChecked(settings.isShowAtCursor());
    ui->radioButton_lastPos->setChecked(!settings.isShowAtCursor());
    ui->checkBox_trayIconHide->setChecked(settings.isTrayIconHide());
    ui->checkBox_trayIconHideWithMain->setChecked(settings.isTrayIconHideWithMain());
    ui->lineEdit_trayIconColor->setText(settings.trayIconColor().name());
    ui->lineEdit_show->setKeySequence(
        QKeySequence(settings.showHotkey(), QKeySequence::NativeText));
}

void Form_Settings::connectControls()
{
    SettingsControl *settings = &SettingsControl::instance();
    connect(ui->toolButton_minimize, &QToolButton::clicked, this, &QWidget::showMinimized);
    connect(ui->toolButton_close, &QToolButton::clicked, this, &QWidget::close);
    connect(ui->listView, &KelSideList::currentRowChanged, ui->stackedWidget_settings,
            &QStackedWidget::setCurrentIndex);
    connect(ui->pushButton_checkUpdate, &QPushButton::clicked, settings,
            &SettingsControl::checkUpdate);

    const QList<QPair<QCheckBox *, void (SettingsControl::*)(bool)>> boxes{
        {ui->checkBox_startUp, &SettingsControl::setStartUp},
        {ui->checkBox_autoUpdate, &SettingsControl::setAutoUpdate},
        {ui->checkBox_log_enable, &SettingsControl::setLogEnabled},
        {ui->checkBox_firstThenHide, &SettingsControl::setAppRunThenHide},
        {ui->checkBox_closeThenQuit, &SettingsControl::setCloseThenQuit},
        {ui->checkBox_isSingleApp, &SettingsControl::setSingleApp},
        {ui->checkBox_thenHide, &SettingsControl::setThenHide},
        {ui->checkBox_toRelativePath, &SettingsControl::setUseRelativePath},
        {ui->checkBox_dragEnabled, &SettingsControl::setDragEnabled},
        {ui->checkBox_instantSearch, &SettingsControl::setInstantSearch},
        {ui->checkBox_latinOnShow, &SettingsControl::setLatinOnShow},
        {ui->checkBox_trayIconHide, &SettingsControl::setTrayIconHide},
        {ui->checkBox_trayIconHideWithMain, &SettingsControl::setTrayIconHideWithMain},
    };
    for (const auto &box : boxes)
        connect(box.first, &QCheckBox::clicked, settings, box.second);

    connect(ui->lineEdit_show, &QLineEdit::textChanged, settings, &SettingsControl::setShowHotkey);
    connect(ui->radioButton_singleClick, &QRadioButton::toggled, settings,
            &SettingsControl::setSingleClickRun);
    connect(ui->radioButton_cursor, &QRadioButton::toggled, settings,
            &SettingsControl::setShowAtCursor);
    connect(ui->pushButton_setTrayIconColor, &QPushButton::clicked, this,
            [this, settings] { settings->setTrayIconColor(ui->lineEdit_trayIconColor->color()); });
    connect(ui->pushButton_kelso, &QPushButton::clicked, this,
            [this] { showOwnWindow(new SearchBoxSketch, this); });
    connect(ui->pushButton_iconSelector, &QPushButton::clicked, this,
            [this] { showOwnWindow(new Form_IconSelector, this); });
}
