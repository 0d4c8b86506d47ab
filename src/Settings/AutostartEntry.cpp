#include "Settings/AutostartEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include "Desktop/DesktopEntryText.h"

#include <easylogging++.h>

namespace {
// What the session starts: the starter beside the program, else the one on PATH (the
// package's /usr/bin/quiver, whose program lies elsewhere), else the program itself. The
// starter stays valid across upgrades and ends quietly once the program is gone.
QString starter()
{
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/quiver");
    if (QFileInfo(beside).isExecutable())
        return beside;
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("quiver"));
    return onPath.isEmpty() ? QCoreApplication::applicationFilePath() : onPath;
}
} // namespace

QString AutostartEntry::fileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/") + QCoreApplication::applicationName() +
           QStringLiteral(".desktop");
}

QString AutostartEntry::text(const QString &program, const QString &folder)
{
    // The program finds "../data" from its working folder, so the entry starts it there.
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "Exec=%2\n"
                          "Path=%3\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(DesktopEntryText::string(QCoreApplication::applicationName()),
             DesktopEntryText::execArgument(program), DesktopEntryText::string(folder));
}

bool AutostartEntry::create()
{
    const QString path = fileName();
    const QString program = starter();
    // Exec doubles a "%", and GIO looks for the program by the path as written: it would drop
    // the entry, and the session would never start us.
    if (program.contains(QLatin1Char('%'))) {
        LOG(WARNING) << "开机启动项无法写入: 程序路径含有 \"%\": " << program;
        return false;
    }
    if (QFile::exists(path) || !QDir().mkpath(QFileInfo(path).path()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    file.write(text(program, QDir::currentPath()).toUtf8());
    return file.commit();
}

bool AutostartEntry::remove()
{
    return QFile::remove(fileName());
}
