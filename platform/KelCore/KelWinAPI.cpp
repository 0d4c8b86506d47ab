#include "KelWinAPI.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QDeadlineTimer>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {
// pkexec refuses, silently, a caller whose parent is gone, which a detached start leaves it
// with; and whether the user was authorised shows only in what it runs. So a shell stays its
// parent, and the command it runs as root first says "authorised" on its output, a pipe that
// only this process and the shell opened by name. Then the program runs, its output on the
// error stream. The shell says "ended" when pkexec ends; without "authorised" before it,
// nothing was started.
bool startAuthorised(const QString &pkexec,
                     const QStringList &display,
                     const QString &program,
                     const QStringList &arguments)
{
    const QTemporaryDir folder;
    const QString pipe = folder.path() + QStringLiteral("/outcome");
    if (!folder.isValid() || mkfifo(QFile::encodeName(pipe).constData(), 0600) != 0)
        return false;
    // Read and write: the shell's own opens never wait for a reader, and no end of file comes
    // between pkexec's output and the shell's word.
    const int fd = ::open(QFile::encodeName(pipe).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Gone by name before it is closed: a shell that opened it later would wait for a reader.
    const auto closing = qScopeGuard([fd, pipe] {
        QFile::remove(pipe);
        ::close(fd);
    });

    const QString env = QStringLiteral("/usr/bin/env");
    const QStringList root =
        (display.isEmpty() || !QFile::exists(env) ? QStringList() : QStringList{env} + display) +
        QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                    QStringLiteral("echo authorised; exec \"$0\" \"$@\" >&2"), program} +
        arguments;
    const QStringList shell{QStringLiteral("-c"),
                            QStringLiteral("\"$@\" > \"$0\"; { echo ended > \"$0\"; } 2>/dev/null"),
                            pipe, pkexec};
    if (!QProcess::startDetached(QStringLiteral("/bin/sh"), shell + root))
        return false;

    // The user may take a while over the password.
    const QDeadlineTimer deadline(5 * 60 * 1000);
    QByteArray said;
    while (!deadline.hasExpired()) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, int(qMin<qint64>(deadline.remainingTime(), 1000))) <= 0)
            continue;
        char buffer[64];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            continue;
        said.append(buffer, int(got));
        if (said.contains("authorised\n"))
            return true;
        if (said.contains("ended\n"))
            return false;
    }
    return false;
}
} // namespace

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
    const QStringList display = displayEnvironment();
    if (detached)
        return startAuthorised(pkexec, display, program, splitArguments(parameters));
    const QString env = QStringLiteral("/usr/bin/env");
    const QStringList wrapper =
        display.isEmpty() || !QFile::exists(env)
            ? QStringList()
            : QStringList{env} + display +
                  QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                              QStringLiteral("exec \"$0\" \"$@\"")};
    const QStringList arguments = wrapper + QStringList{program} + splitArguments(parameters);
    return QProcess::execute(pkexec, arguments) == 0;
}
