#include "FormMain.h"
#include "ui_FormMain.h"

#include <QCloseEvent>
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include "DataControl.h"
#include "KelMessageBox.h"
#include "SettingsControl.h"

#include <easylogging++.h>

FormMain::FormMain(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::FormMain)
{
    ui->setupUi(this);
    init_object();
    init_log();
    init_data();
}

FormMain::~FormMain()
{
    DataControl::instance().database_close();
    SettingsControl &settings = SettingsControl::instance();
    settings.setValue(QStringLiteral("Form/Geometry"), saveGeometry());
    settings.sync();
    delete ui;
    LOG(INFO) << "正常退出\n";
}

void FormMain::init_object()
{
    // These lines come before the log is configured and go to the log library's default output.
    QDir dir(QStringLiteral("../"));
    if (!dir.mkpath(QStringLiteral("data")))
        LOG(ERROR) << "data目录无法创建, 数据将无法正常保存";
    if (!dir.mkpath(QStringLiteral("skins")))
        LOG(ERROR) << "skins目录无法创建, 皮肤将无法正常使用";
    if (!dir.mkpath(QStringLiteral("cache/log")))
        LOG(ERROR) << "cache/log 目录无法创建, 日志将无法正常使用";
    if (!dir.mkpath(QStringLiteral("cache/caches")))
        LOG(ERROR) << "cache/caches 目录无法创建, 缓存数据全部失效";

    setWindowTitle(QCoreApplication::applicationName());
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

    LOG(INFO) << "Quiver version:" << QCoreApplication::applicationVersion();
    LOG(INFO) << "Mode:Release";
}

void FormMain::init_data()
{
    DataControl &data = DataControl::instance();
    if (!data.init_databases()) {
        const int noticeDuration = 4000;
        KelMessageBox::show(this, QStringLiteral("数据库打开失败！"), KelMessageBox::Red,
                            noticeDuration, KelMessageBox::Bottom, QString());
        // The event loop has not started yet; the exit takes effect once it runs and the user
        // has had the time to read why.
        QTimer::singleShot(noticeDuration, qApp, [] { QCoreApplication::exit(1); });
        return;
    }
    data.database_transaction(true);
    data.database_create();
    data.database_transaction(false);

    SettingsControl &settings = SettingsControl::instance();
    const QByteArray geometry = settings.value(QStringLiteral("Form/Geometry")).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);

    settings.readCaches();
    emit settings.itemClickChanged(settings.isSingleClickRun());
    emit settings.trayIconColorChanged(QColor(
        settings.value(QStringLiteral("Form/TrayIconColor"), QStringLiteral("white")).toString()));
}

void FormMain::closeEvent(QCloseEvent *event)
{
    if (SettingsControl::instance().isCloseThenQuit()) {
        event->accept();
        QCoreApplication::quit();
        return;
    }
    QWidget::closeEvent(event);
}
