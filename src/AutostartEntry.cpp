#include "AutostartEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace {
// One argument of an Exec key: quoted, with the characters the desktop entry format reserves
// inside quotes escaped.
QString execArgument(QString argument)
{
    for (const char *reserved : {"\\", "\"", "`", "$"})
        argument.replace(QLatin1String(reserved), QLatin1Char('\\') + QLatin1String(reserved));
    return QLatin1Char('"') + argument + QLatin1Char('"');
}
} // namespace

QString AutostartEntry::fileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/") + QCoreApplication::applicationName() +
           QStringLiteral(".desktop");
}

bool AutostartEntry::create()
{
    const QString path = fileName();
    if (QFile::exists(path) || !QDir().mkpath(QFileInfo(path).path()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    // The program finds "../data" from its working folder, so the entry starts it there.
    const QString entry =
        QStringLiteral("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=%1\n"
                       "Exec=%2\n"
                       "Path=%3\n"
                       "Terminal=false\n"
                       "X-GNOME-Autostart-enabled=true\n")
            .arg(QCoreApplication::applicationName(),
                 execArgument(QCoreApplication::applicationFilePath()), QDir::currentPath());
    file.write(entry.toUtf8());
    return file.commit();
}

bool AutostartEntry::remove()
{
    return QFile::remove(fileName());
}
