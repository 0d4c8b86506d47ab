#include "KelProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glib.h>

std::optional<QStringList> KelProcess::splitArguments(const QString &arguments)
{
    if (arguments.trimmed().isEmpty())
        return QStringList();
    gchar **words = nullptr;
    if (!g_shell_parse_argv(arguments.toUtf8().constData(), nullptr, &words, nullptr))
        return std::nullopt;
    QStringList split;
    for (gchar **word = words; *word; ++word)
        split << QString::fromUtf8(*word);
    g_strfreev(words);
    return split;
}

QStringList KelProcess::displayEnvironment()
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
// What pkexec runs: it resets the environment, so env hands the display on, and a shell names
// the program, which env would take for one more variable if its path held "=".
QStringList asRoot(const QStringList &display, const QString &script)
{
    const QString env = QStringLiteral("/usr/bin/env");
    return (display.isEmpty() || !QFile::exists(env) ? QStringList() : QStringList{env} + display) +
           QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c"), script};
}

// pkexec refuses, silently, a caller whose parent is gone, which a detached start leaves it
// with; and whether the user was authorised shows only in what it runs. So a shell stays its
// parent, and the command it runs as root first says "authorised" on its output, a pipe the
// shell opened once by name while nobody else could. Then the program runs, its output on the
// error stream. The shell says "ended" when pkexec ends; without "authorised" before it,
// nothing was started. Nobody writes by name after the start: the name may be taken by then.
bool startAuthorised(const QString &pkexec,
                     const QStringList &display,
                     const QString &folder,
                     const QString &program,
                     const QStringList &arguments)
{
    const QTemporaryDir pipeFolder;
    const QString pipe = pipeFolder.path() + QStringLiteral("/outcome");
    if (!pipeFolder.isValid() || mkfifo(QFile::encodeName(pipe).constData(), 0600) != 0) {
        qWarning("pkexec: no pipe for its outcome in %s", qPrintable(pipeFolder.path()));
        return false;
    }
    // Read and write: the shell's open never waits for a reader, and no end of file comes
    // between pkexec's output and the shell's word.
    const int fd = ::open(QFile::encodeName(pipe).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    const auto closing = qScopeGuard([fd] { ::close(fd); });

    // The word goes out in a subshell: with this process gone (the launcher quit while the
    // password was asked) the pipe has no reader, and only the subshell dies of it. pkexec
    // starts in root's folder: the program's is entered first.
    const QStringList root =
        asRoot(display, QStringLiteral("cd -- \"$0\" || exit 1; "
                                       "(echo authorised) 2>/dev/null; exec \"$@\" >&2")) +
        QStringList{folder, program} + arguments;
    const QStringList shell{QStringLiteral("-c"),
                            QStringLiteral("exec 3>\"$0\"; \"$@\" >&3 3>&-; echo ended >&3"), pipe,
                            pkexec};
    qint64 pid = 0;
    if (!QProcess::startDetached(QStringLiteral("/bin/sh"), shell + root, QString(), &pid))
        return false;

    // As long as the user takes over the password, and no longer than the shell lives.
    QByteArray said;
    while (!said.contains("authorised\n") && !said.contains("ended\n")) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 1000) <= 0) {
            if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
                return false;
            continue;
        }
        char buffer[64];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0)
            said.append(buffer, int(got));
    }
    return said.contains("authorised\n");
}
} // namespace

bool KelProcess::runAsAdministrator(const QString &file,
                                    const QString &parameters,
                                    bool detached,
                                    const QString &workingDirectory)
{
    const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
    const std::optional<QStringList> arguments = splitArguments(parameters);
    if (pkexec.isEmpty() || file.isEmpty() || !arguments)
        return false;
    // pkexec resets the working directory too: a relative path would be lost.
    const QFileInfo info(file);
    const QString program = info.exists() ? info.absoluteFilePath() : file;
    const QString folder =
        QFileInfo(workingDirectory.isEmpty() ? info.absolutePath() : workingDirectory)
            .absoluteFilePath();
    const QStringList display = displayEnvironment();
    if (detached)
        return startAuthorised(pkexec, display, folder, program, *arguments);
    const QStringList command =
        asRoot(display, QStringLiteral("cd -- \"$0\" || exit 1; exec \"$@\"")) +
        QStringList{folder, program} + *arguments;
    return QProcess::execute(pkexec, command) == 0;
}
