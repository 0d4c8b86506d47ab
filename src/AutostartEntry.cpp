#include "AutostartEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include "DesktopEntryText.h"

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
    if (QFile::exists(path) || !QDir().mkpath(QFileInfo(path).path()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    file.write(text(QCoreApplication::applicationFilePath(), QDir::currentPath()).toUtf8());
    return file.commit();
}

bool AutostartEntry::remove()
{
    return QFile::remove(fileName());
}
