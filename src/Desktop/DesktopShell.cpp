#include "DesktopShell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThreadPool>
#include <QUrl>
#include <QtConcurrent>

#include <atomic>
#include <thread>

#include "DesktopEntryText.h"
#include "KelWinAPI.h"

#include <easylogging++.h>

#include "GLibSupport.h"

#include <csignal>
#include <cstring>
#include <vector>

#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
QFuture<bool> onPool(std::function<bool()> start)
{
    return QtConcurrent::run(QThreadPool::globalInstance(), std::move(start));
}

QFuture<bool> finished(bool result)
{
    QFutureInterface<bool> outcome(QFutureInterfaceBase::Started);
    outcome.reportFinished(&result);
    return outcome.future();
}

// A launch context of our own for each start: GIO asks it for the startup identifier it hands
// an application that announces its start (StartupNotify), which carries the time of the
// user's action, so that the window manager lets the new window take the focus. No launch
// feedback is sent for it: that is the desktop's shell's to show.
struct LaunchContext
{
    GAppLaunchContext parent;
    quint32 userTime;
};
struct LaunchContextClass
{
    GAppLaunchContextClass parent;
};

GType launchContextType();

char *startupNotifyId(GAppLaunchContext *context, GAppInfo *info, GList *)
{
    static std::atomic<int> sequence{0};
    const char *id = info ? g_app_info_get_id(info) : nullptr;
    return g_strdup_printf("quiver-%d-%s-%d_TIME%u", int(::getpid()), id ? id : "application",
                           ++sequence, reinterpret_cast<LaunchContext *>(context)->userTime);
}

void launchContextClassInit(gpointer klass, gpointer)
{
    G_APP_LAUNCH_CONTEXT_CLASS(klass)->get_startup_notify_id = startupNotifyId;
}

GType launchContextType()
{
    static const GType type = g_type_register_static_simple(
        G_TYPE_APP_LAUNCH_CONTEXT, "QuiverLaunchContext", sizeof(LaunchContextClass),
        launchContextClassInit, sizeof(LaunchContext), nullptr, GTypeFlags(0));
    return type;
}

// No identifier without the time: one without it would hold nothing the window manager reads.
GLibSupport::Object<GAppLaunchContext> launchContext(quint32 userTime)
{
    if (!userTime)
        return GLibSupport::Object<GAppLaunchContext>(g_app_launch_context_new());
    auto *context = static_cast<GAppLaunchContext *>(g_object_new(launchContextType(), nullptr));
    reinterpret_cast<LaunchContext *>(context)->userTime = userTime;
    return GLibSupport::Object<GAppLaunchContext>(context);
}

// Hands the address to the application the desktop associates with its scheme, or with the
// type of the file it names. GIO reports when there is none, which a bare xdg-open would not.
bool launchDefault(const QByteArray &uri, quint32 userTime)
{
    GError *error = nullptr;
    if (g_app_info_launch_default_for_uri(uri.constData(), launchContext(userTime).get(), &error))
        return true;
    LOG(WARNING) << "open " << QString::fromUtf8(uri)
                 << " failed: " << QString::fromUtf8(error ? error->message : "");
    g_clear_error(&error);
    return false;
}

// Collects the exit of a started program, so that it leaves no zombie behind, through a file
// descriptor that becomes readable when it ends; watched by the main thread's event loop.
void collectWhenEnded(pid_t pid)
{
    // Called by its number: glibc 2.36's header for it lacks C++ linkage.
    const int ended = int(::syscall(SYS_pidfd_open, pid, 0));
    if (ended < 0) {
        std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
        return;
    }
    QMetaObject::invokeMethod(
        qApp,
        [pid, ended] {
            auto *watch = new QSocketNotifier(ended, QSocketNotifier::Read, qApp);
            QObject::connect(watch, &QSocketNotifier::activated, watch, [watch, pid, ended] {
                ::waitpid(pid, nullptr, WNOHANG);
                // Not watched once closed: its number may be another file's next.
                watch->setEnabled(false);
                ::close(ended);
                watch->deleteLater();
            });
        },
        Qt::QueuedConnection);
}

// Starts the program in a session of its own. posix_spawn runs nothing of this process between
// its start and the program's (no allocation, no lock: the libraries' state copied by a fork
// may be held by another thread), and reports a program the kernel refuses.
bool spawn(const QString &file, const QStringList &arguments, const QString &folder)
{
    std::vector<QByteArray> encoded{QFile::encodeName(file)};
    for (const QString &argument : arguments)
        encoded.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &each : encoded)
        argv.push_back(each.data());
    argv.push_back(nullptr);
    const QByteArray where = QFile::encodeName(folder);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!where.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, where.constData());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // As a program started from a terminal: no signal blocked, SIGPIPE (which Qt ignores) back
    // to its default.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv.front(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        LOG(WARNING) << "start " << file << " failed: " << std::strerror(error);
        return false;
    }
    collectWhenEnded(pid);
    return true;
}

QString absolute(const QString &path)
{
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}
} // namespace

QFuture<bool> DesktopShell::startProgram(const QString &program,
                                         const QStringList &arguments,
                                         const QString &workingDirectory)
{
    // The child changes into its working folder before it starts the program, so a relative
    // program path would be taken against the wrong folder.
    const QString file = absolute(program);
    const QString folder = absolute(workingDirectory);
    return onPool([file, arguments, folder] {
        // Qt starts the program in the launcher's own folder when it cannot enter this one.
        if (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
            LOG(WARNING) << "start " << file << " failed: no folder " << folder;
            return false;
        }
        return spawn(file, arguments, folder);
    });
}

QFuture<bool> DesktopShell::openPath(const QString &path, quint32 userTime)
{
    const QByteArray uri = QUrl::fromLocalFile(absolute(path)).toEncoded();
    return onPool([uri, userTime] { return launchDefault(uri, userTime); });
}

QFuture<bool> DesktopShell::openAddress(const QUrl &url, quint32 userTime)
{
    // A local file opened through its association may be a program in disguise (a .jar, an
    // .exe under Wine): an address names something on the network or a handler.
    if (!url.isValid() || url.scheme().isEmpty() || url.isLocalFile()) {
        LOG(WARNING) << "open " << url.toString() << " failed: not an address";
        return finished(false);
    }
    const QByteArray uri = url.toEncoded();
    return onPool([uri, userTime] { return launchDefault(uri, userTime); });
}

QFuture<bool> DesktopShell::openCommand(const QString &text, quint32 userTime)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.\\-]*:"));
    const QString command = text.trimmed();
    if (scheme.match(command).hasMatch())
        return openAddress(QUrl(command, QUrl::TolerantMode), userTime);
    return startProgram(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command},
                        QDir::homePath());
}

namespace {
// Runs in the started process between fork and exec: only async-signal-safe calls.
void enterFolder(gpointer folder)
{
    if (chdir(static_cast<const char *>(folder)) != 0)
        _exit(127);
}

} // namespace

namespace {
// A word of Exec written back: quoted as Exec quotes when it needs to be, its field codes kept.
QString execWord(const QString &word)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_@%+=:,./-]+$"));
    if (plain.match(word).hasMatch())
        return word;
    QString quoted;
    for (const QChar c : word) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool isFileCode(QChar letter)
{
    return QStringLiteral("fFuU").contains(letter);
}

// The word without the file field codes inside it ("%%" stays: a percent sign).
QString withoutFileCodes(const QString &word)
{
    QString kept;
    for (int i = 0; i < word.size(); ++i) {
        if (word.at(i) == QLatin1Char('%') && i + 1 < word.size()) {
            if (!isFileCode(word.at(i + 1)))
                kept += word.mid(i, 2);
            ++i;
            continue;
        }
        kept += word.at(i);
    }
    return kept;
}
} // namespace

QString DesktopShell::execWithArguments(const QString &exec,
                                        const QStringList &arguments,
                                        const QString &folder)
{
    // Read as GIO reads it, so that every argument becomes a word of its own: one put where a
    // field code stands inside a quoted word would end that quote and be read as Exec.
    const std::optional<QStringList> parsed = KelWinAPI::splitArguments(exec);
    if (exec.trimmed().isEmpty() || !parsed)
        return QString();
    const QStringList &words = *parsed;

    QStringList quoted;
    for (const QString &argument : arguments) {
        const QFileInfo file(QDir(folder).filePath(argument));
        // Options and addresses pass as they are.
        const bool relativeFile = !argument.isEmpty() && !argument.startsWith(QLatin1Char('-')) &&
                                  QDir::isRelativePath(argument) &&
                                  QUrl(argument).scheme().isEmpty() && file.exists();
        quoted << DesktopEntryText::quotedArgument(relativeFile ? file.absoluteFilePath()
                                                                : argument);
    }
    QStringList result;
    bool placed = false;
    for (const QString &word : words) {
        // A file code standing alone takes the arguments, the first one only.
        if (word.size() == 2 && word.at(0) == QLatin1Char('%') && isFileCode(word.at(1))) {
            if (!placed)
                result += quoted;
            placed = true;
            continue;
        }
        const QString kept = withoutFileCodes(word);
        if (!kept.isEmpty() || word.isEmpty())
            result << execWord(kept);
    }
    if (!placed)
        result += quoted;
    return result.join(QLatin1Char(' '));
}

QFuture<bool> DesktopShell::launchEntry(const QString &entry,
                                        const QStringList &arguments,
                                        const QString &workingDirectory,
                                        quint32 userTime)
{
    const QString file = absolute(entry);
    const QString folder = absolute(workingDirectory);
    return onPool([file, arguments, folder, userTime] {
        const QByteArray name = QFile::encodeName(file);
        const GLibSupport::KeyFile keys(g_key_file_new());
        if (!g_key_file_load_from_file(keys.get(), name.constData(), G_KEY_FILE_NONE, nullptr)) {
            LOG(WARNING) << "start " << file << " failed: not a readable entry";
            return false;
        }
        const char group[] = "Desktop Entry";
        QString exec =
            GLibSupport::takeString(g_key_file_get_string(keys.get(), group, "Exec", nullptr));
        bool rewritten = false;
        // An application activated over D-Bus without Exec gets the arguments as the files it
        // opens; any other gets them in Exec.
        QList<QByteArray> uris;
        if (!arguments.isEmpty() && exec.trimmed().isEmpty()) {
            for (const QString &argument : arguments) {
                const QUrl url(argument);
                uris << (url.scheme().size() > 1
                             ? url.toEncoded()
                             : QUrl::fromLocalFile(
                                   QDir(folder.isEmpty() ? QDir::homePath() : folder)
                                       .absoluteFilePath(argument))
                                   .toEncoded());
            }
        } else if (!arguments.isEmpty()) {
            exec = execWithArguments(exec, arguments, folder.isEmpty() ? QDir::homePath() : folder);
            if (exec.isEmpty()) {
                LOG(WARNING) << "start " << file << " failed: its Exec cannot be read";
                return false;
            }
            // Activated over D-Bus the application would never see them.
            g_key_file_set_boolean(keys.get(), group, "DBusActivatable", false);
            rewritten = true;
        }
        // Debian's own choice of terminal, which GIO does not know of: Exec runs in it.
        const QString terminal =
            QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator"));
        if (g_key_file_get_boolean(keys.get(), group, "Terminal", nullptr) && !terminal.isEmpty()) {
            g_key_file_set_boolean(keys.get(), group, "Terminal", false);
            exec = DesktopEntryText::quotedArgument(terminal) + QStringLiteral(" -e ") + exec;
            rewritten = true;
        }
        GLibSupport::Object<GDesktopAppInfo> info;
        if (rewritten) {
            g_key_file_set_string(keys.get(), group, "Exec", exec.toUtf8().constData());
            info.reset(g_desktop_app_info_new_from_keyfile(keys.get()));
        } else {
            // From the file itself, which "%k" names.
            info.reset(g_desktop_app_info_new_from_filename(name.constData()));
        }
        if (!info) {
            LOG(WARNING) << "start " << file << " failed: not an application entry";
            return false;
        }
        // The item's working folder comes before the entry's Path; with neither, the home
        // folder, as the desktop starts applications (not the launcher's own folder).
        QByteArray enter;
        if (!folder.isEmpty())
            enter = QFile::encodeName(folder);
        else if (GLibSupport::takeString(g_key_file_get_string(keys.get(), group, "Path", nullptr))
                     .isEmpty()) // GIO takes an empty Path for none
            enter = QFile::encodeName(QDir::homePath());
        if (!enter.isEmpty() && !QFileInfo(QFile::decodeName(enter)).isDir()) {
            LOG(WARNING) << "start " << file << " failed: no folder " << QFile::decodeName(enter);
            return false;
        }
        GList *uriList = nullptr;
        for (QByteArray &uri : uris)
            uriList = g_list_append(uriList, uri.data());
        GError *error = nullptr;
        const bool started = g_desktop_app_info_launch_uris_as_manager(
            info.get(), uriList, launchContext(userTime).get(), G_SPAWN_SEARCH_PATH,
            enter.isEmpty() ? nullptr : enterFolder, enter.data(), nullptr, nullptr, &error);
        g_list_free(uriList);
        if (started)
            return true;
        LOG(WARNING) << "start " << file
                     << " failed: " << QString::fromUtf8(error ? error->message : "");
        g_clear_error(&error);
        return false;
    });
}

bool DesktopShell::asksForAdministrator(const QString &program)
{
    return isProgram(program) &&
           !QStandardPaths::findExecutable(QStringLiteral("pkexec")).isEmpty();
}

QFuture<bool> DesktopShell::startAsAdministrator(const QString &program,
                                                 const QString &parameters,
                                                 const QString &workingDirectory)
{
    // The answer waits for the user's password, for as long as that takes: on a thread of its
    // own, so that the pool's few threads keep starting other items and quitting never waits.
    QFutureInterface<bool> outcome(QFutureInterfaceBase::Started);
    std::thread([outcome, program, parameters, workingDirectory]() mutable {
        bool started = false;
        // A document has no rights to be started with: no password is asked for nothing.
        if (!isProgram(program)) {
            LOG(WARNING) << "start " << program << " as administrator failed: not a program";
        } else {
            started = KelWinAPI::KelShellExecuteExW(program, parameters, true, workingDirectory);
            if (!started)
                LOG(WARNING) << "start " << program << " as administrator failed";
        }
        outcome.reportFinished(&started);
    }).detach();
    return outcome.future();
}

bool DesktopShell::isProgram(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isExecutable())
        return false;
    // The kernel's own test: an ELF header or a "#!" interpreter line. The MIME database would
    // miss scripts whose interpreter it does not know ("#!/usr/bin/env node" reads as text).
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4);
    return head == QByteArrayLiteral("\x7f"
                                     "ELF") ||
           head.startsWith("#!");
}
