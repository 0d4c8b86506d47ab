#include "KelWinAPI.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

QStringList KelWinAPI::splitArguments(const QString &arguments)
{
    if (arguments.isEmpty())
        return QStringList();
    return arguments.split(QLatin1Char(' '), Qt::KeepEmptyParts, Qt::CaseSensitive);
}

bool KelWinAPI::KelShellExecuteExW(const QString &file, const QString &parameters, bool detached)
{
    const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
    if (pkexec.isEmpty() || file.isEmpty())
        return false;
    // pkexec resets the environment and working directory, so a relative path would be lost.
    const QFileInfo info(file);
    const QString program = info.exists() ? info.absoluteFilePath() : file;
    const QStringList arguments = QStringList{program} + splitArguments(parameters);
    if (detached)
        return QProcess::startDetached(pkexec, arguments);
    return QProcess::execute(pkexec, arguments) == 0;
}
