#include "App/Startup.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>

#include "App/ProgramLog.h"
#include "Core/DataControl.h"
#include "Core/PrivateFiles.h"
#include "Core/SettingsControl.h"
#include "KelMessageBox.h"
#include "Settings/AutostartEntry.h"
#include "Window/FormMain.h"

#include <easylogging++.h>

#include <fcntl.h>

namespace {
void makeFolders()
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
}

// The log's stream is opened without O_CLOEXEC; nothing open here yet is meant for the
// programs started from the catalogue.
void closeDescriptorsOnExec()
{
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString &name : descriptors.entryList(QDir::Files | QDir::System)) {
        const int fd = name.toInt();
        if (fd > 2)
            ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
    }
}

// Told once the event loop runs, over the window if it was shown, else in the middle of the
// screen ("Form/AppRunThenHide" keeps it hidden); the exit follows once the user has had the
// time to read why.
void tellCatalogueUnreadable(FormMain &window)
{
    QTimer::singleShot(0, &window, [&window] {
        const int noticeDuration = 4000;
        const QString text = QStringLiteral("数据库打开失败！");
        if (window.isVisible() && !window.isMinimized())
            KelMessageBox::show(&window, text, KelMessageBox::Red, noticeDuration,
                                KelMessageBox::Bottom, QString());
        else
            KelMessageBox::show(window.screen()->availableGeometry().center() - QPoint(140, 30),
                                text, KelMessageBox::Red, noticeDuration, QString());
        QTimer::singleShot(noticeDuration, qApp, [] { QCoreApplication::exit(1); });
    });
}

void scheduleUpdateCheck()
{
    SettingsControl &settings = SettingsControl::instance();
    if (!settings.isAutoUpdate())
        return;
    // Without an update service every start would end in a red notice.
    if (settings.updateUrl().isEmpty())
        LOG(INFO) << "未配置更新服务器, 跳过自动检查更新";
    else
        QTimer::singleShot(5000, &settings, &SettingsControl::checkUpdate);
}
} // namespace

void Startup::beforeWindow()
{
    makeFolders();
    ProgramLog::start();
    closeDescriptorsOnExec();
}

void Startup::followSettings(const FormMain &window)
{
    SettingsControl &settings = SettingsControl::instance();
    QObject::connect(&settings, &SettingsControl::logEnabledChanged, &window,
                     &ProgramLog::setDetail);
    QObject::connect(&settings, &SettingsControl::startUpWithSystem, &window, [](bool enable) {
        emit SettingsControl::instance().result(enable ? AutostartEntry::create()
                                                       : AutostartEntry::remove());
    });
}

bool Startup::openCatalogue(FormMain &window)
{
    DataControl &data = DataControl::instance();
    if (!data.init_databases()) {
        tellCatalogueUnreadable(window);
        return false;
    }
    SettingsControl &settings = SettingsControl::instance();
    // Before the catalogue fills the lists: a new style sheet lays out every entry again.
    window.onSetSkins(settings.skinName());

    data.database_transaction(true);
    data.database_create();
    // On the type and group shown last.
    window.showCatalogue(settings.lastTypeId(), settings.lastGroupId());
    data.database_transaction(false);

    window.startHotkey();
    emit settings.dragEnabledChanged(settings.isDragEnabled());
    const QByteArray geometry = settings.windowGeometry();
    if (!geometry.isEmpty())
        window.restoreGeometry(geometry);

    settings.readCaches();
    emit settings.itemClickChanged(settings.isSingleClickRun());
    emit settings.trayIconColorChanged(settings.trayIconColor());
    scheduleUpdateCheck();

    const QStringList ways = window.waysBack();
    if (ways.isEmpty())
        LOG(WARNING) << "没有托盘图标, 也没有可用的全局快捷键, 隐藏窗口将改为最小化";
    else
        LOG(INFO) << "隐藏的窗口可由" << ways.join(QStringLiteral("、")) << "唤醒";
    return true;
}
