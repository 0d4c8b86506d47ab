#include "DesktopShell.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QThreadPool>
#include <QUrl>
#include <QtConcurrent>

void DesktopShell::startDetached(const QString &program,
                                 const QStringList &arguments,
                                 const QString &workingDirectory)
{
    QtConcurrent::run(QThreadPool::globalInstance(), [program, arguments, workingDirectory] {
        QProcess::startDetached(program, arguments, workingDirectory);
    });
}

void DesktopShell::openPath(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DesktopShell::openCommand(const QString &text)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.\\-]*:"));
    const QString command = text.trimmed();
    if (scheme.match(command).hasMatch()) {
        QDesktopServices::openUrl(QUrl(command, QUrl::TolerantMode));
        return;
    }
    startDetached(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command}, QDir::homePath());
}
