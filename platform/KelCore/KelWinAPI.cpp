#include "KelWinAPI.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

QStringList KelWinAPI::splitArguments(const QString &arguments)
{
    if (arguments.isEmpty())
        return QStringList();
    return arguments.split(QLatin1Char(' '), Qt::KeepEmptyParts, Qt::CaseSensitive);
}

QStringList KelWinAPI::displayEnvironment()
{
    QStringList assignments;
    const auto pass = [&assignments](const char *name, const QString &value) {
        if (!value.isEmpty())
            assignments << QString::fromLatin1(name) + QLatin1Char('=') + value;
    };
    pass("DISPLAY", qEnvironmentVariable("DISPLAY"));
    // Without XAUTHORITY X clients read ~/.Xauthority, which would be root's own.
    QString xauthority = qEnvironmentVariable("XAUTHORITY");
    if (xauthority.isEmpty() && QFile::exists(QDir::home().filePath(QStringLiteral(".Xauthority"))))
        xauthority = QDir::home().filePath(QStringLiteral(".Xauthority"));
    pass("XAUTHORITY", xauthority);
    // A relative socket name is looked up in XDG_RUNTIME_DIR, which is root's own after pkexec.
    QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (!wayland.isEmpty() && !QDir::isAbsolutePath(wayland) &&
        !qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        wayland = QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).filePath(wayland);
    pass("WAYLAND_DISPLAY", wayland);
    return assignments;
}

bool KelWinAPI::KelShellExecuteExW(const QString &file, const QString &parameters, bool detached)
{
    const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
    if (pkexec.isEmpty() || file.isEmpty())
        return false;
    // pkexec resets the environment and working directory, so a relative path would be lost,
    // and a graphical program would find no display: env hands the display on. env would take
    // a program path holding "=" for one more variable, so a shell names the program instead.
    const QFileInfo info(file);
    const QString program = info.exists() ? info.absoluteFilePath() : file;
    const QString env = QStringLiteral("/usr/bin/env");
    const QStringList display = displayEnvironment();
    const QStringList wrapper =
        display.isEmpty() || !QFile::exists(env)
            ? QStringList()
            : QStringList{env} + display +
                  QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                              QStringLiteral("exec \"$0\" \"$@\"")};
    const QStringList arguments = wrapper + QStringList{program} + splitArguments(parameters);
    if (detached)
        return QProcess::startDetached(pkexec, arguments);
    return QProcess::execute(pkexec, arguments) == 0;
}
