#include "Desktop/DesktopShell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <QtConcurrent>

#include <atomic>
#include <thread>

#include "Desktop/DesktopEntry.h"
#include "Desktop/DesktopEntryText.h"
#include "KelProcess.h"

#include <easylogging++.h>

#include "Desktop/GLibSupport.h"

#include <csignal>
#include <cstring>
#include <vector>

#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
const char group[] = "Desktop Entry";

QFuture<StartOutcome> onPool(std::function<StartOutcome()> start)
{
    return QtConcurrent::run(QThreadPool::globalInstance(), std::move(start));
}

QFuture<StartOutcome> finished(const StartOutcome &result)
{
    QFutureInterface<StartOutcome> outcome(QFutureInterfaceBase::Started);
    outcome.reportFinished(&result);
    return outcome.future();
}

void onMainThread(std::function<void()> call)
{
    QMetaObject::invokeMethod(qApp, std::move(call), Qt::QueuedConnection);
}

// Runs in the started process between fork and exec: only async-signal-safe calls. The process
// leaves the launcher's session and process group; then it enters its folder, when one is
// given.
void enterOwnSession(gpointer folder)
{
    ::setsid();
    if (folder && chdir(static_cast<const char *>(folder)) != 0)
        _exit(127);
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

// Told on the main thread how a started program ended (its wait status).
using EndWatch = std::function<void(int status)>;

// Collects the exit of a started program, so that it leaves no zombie behind, through a file
// descriptor that becomes readable when it ends; watched by the main thread's event loop.
void collectWhenEnded(pid_t pid, const EndWatch &ended = {})
{
    // Called by its number: glibc 2.36's header for it lacks C++ linkage.
    const int watched = int(::syscall(SYS_pidfd_open, pid, 0));
    if (watched < 0) {
        std::thread([pid, ended] {
            int status = 0;
            ::waitpid(pid, &status, 0);
            if (ended)
                onMainThread([ended, status] { ended(status); });
        }).detach();
        return;
    }
    onMainThread([pid, watched, ended] {
        auto *watch = new QSocketNotifier(watched, QSocketNotifier::Read, qApp);
        QObject::connect(watch, &QSocketNotifier::activated, watch, [watch, pid, watched, ended] {
            int status = 0;
            const bool collected = ::waitpid(pid, &status, WNOHANG) == pid;
            // Not watched once closed: its number may be another file's next.
            watch->setEnabled(false);
            ::close(watched);
            watch->deleteLater();
            if (collected && ended)
                ended(status);
        });
    });
}

// Starts the program in a session of its own. posix_spawn runs nothing of this process between
// its start and the program's (no allocation, no lock: the libraries' state copied by a fork
// may be held by another thread), and reports a program the kernel refuses.
bool spawn(const QString &file,
           const QStringList &arguments,
           const QString &folder,
           const EndWatch &ended = {})
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
    collectWhenEnded(pid, ended);
    return true;
}

QString absolute(const QString &path)
{
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

QString debianTerminal()
{
    return QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator"));
}

// Runs Exec in Debian's own choice of terminal, which GIO does not know of, when the entry
// asks for a terminal and there is one. Whether it did.
bool inDebianTerminal(GKeyFile *keys, QString &exec)
{
    const QString terminal = debianTerminal();
    if (terminal.isEmpty() || !g_key_file_get_boolean(keys, group, "Terminal", nullptr))
        return false;
    g_key_file_set_boolean(keys, group, "Terminal", false);
    exec = DesktopEntryText::quotedArgument(terminal) + QStringLiteral(" -e ") + exec;
    return true;
}

// Starts the application as GIO does (Exec, Terminal, D-Bus activation), in a session of its
// own, in folder when one is given. what names the start in the log.
StartOutcome launch(GDesktopAppInfo *info,
                    QList<QByteArray> uris,
                    QByteArray folder,
                    quint32 userTime,
                    const QString &what)
{
    GList *uriList = nullptr;
    for (QByteArray &uri : uris)
        uriList = g_list_append(uriList, uri.data());
    GError *error = nullptr;
    const bool started = g_desktop_app_info_launch_uris_as_manager(
        info, uriList, launchContext(userTime).get(), G_SPAWN_SEARCH_PATH, enterOwnSession,
        folder.isEmpty() ? nullptr : folder.data(), nullptr, nullptr, &error);
    g_list_free(uriList);
    if (started)
        return StartOutcome::success();
    LOG(WARNING) << "start " << what
                 << " failed: " << QString::fromUtf8(error ? error->message : "");
    // GIO's only failure of its own before the spawn: no terminal it knows of.
    const bool noTerminal =
        error && error->domain == G_IO_ERROR && g_desktop_app_info_get_boolean(info, "Terminal");
    g_clear_error(&error);
    if (!noTerminal)
        return StartOutcome::failure();
    return StartOutcome::failure(
        QStringLiteral("%1 需要在终端中运行, 但没有找到终端")
            .arg(QString::fromUtf8(g_app_info_get_display_name(G_APP_INFO(info)))));
}

// The application the desktop associates with the address's scheme, or with the type of the
// file it names, found as GIO's own default launch finds it.
GLibSupport::Object<GAppInfo> defaultHandler(const QByteArray &uri, GError **error)
{
    gchar *scheme = g_uri_parse_scheme(uri.constData());
    GAppInfo *handler = nullptr;
    if (scheme && g_ascii_strcasecmp(scheme, "file") != 0)
        handler = g_app_info_get_default_for_uri_scheme(scheme);
    g_free(scheme);
    if (!handler) {
        const GLibSupport::Object<GFile> file(g_file_new_for_uri(uri.constData()));
        handler = g_file_query_default_handler(file.get(), nullptr, error);
    }
    return GLibSupport::Object<GAppInfo>(handler);
}

// Hands the address to its default handler, in a session of its own. GIO reports when there is
// none, which a bare xdg-open would not.
StartOutcome launchDefault(const QByteArray &uri, quint32 userTime)
{
    GError *error = nullptr;
    const GLibSupport::Object<GAppInfo> handler = defaultHandler(uri, &error);
    if (!handler || !G_IS_DESKTOP_APP_INFO(handler.get())) {
        LOG(WARNING) << "open " << QString::fromUtf8(uri)
                     << " failed: " << QString::fromUtf8(error ? error->message : "no application");
        g_clear_error(&error);
        return StartOutcome::failure();
    }
    auto *application = G_DESKTOP_APP_INFO(handler.get());
    GLibSupport::Object<GDesktopAppInfo> inTerminal;
    const char *file = g_desktop_app_info_get_filename(application);
    if (file && g_desktop_app_info_get_boolean(application, "Terminal")) {
        const GLibSupport::KeyFile keys(g_key_file_new());
        if (g_key_file_load_from_file(keys.get(), file, G_KEY_FILE_NONE, nullptr)) {
            QString exec =
                GLibSupport::takeString(g_key_file_get_string(keys.get(), group, "Exec", nullptr));
            if (inDebianTerminal(keys.get(), exec)) {
                g_key_file_set_string(keys.get(), group, "Exec", exec.toUtf8().constData());
                inTerminal.reset(g_desktop_app_info_new_from_keyfile(keys.get()));
            }
        }
    }
    return launch(inTerminal ? inTerminal.get() : application, {uri}, QByteArray(), userTime,
                  QStringLiteral("open ") + QString::fromUtf8(uri));
}
} // namespace

QFuture<StartOutcome> DesktopShell::startProgram(const QString &program,
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
            return StartOutcome::failure();
        }
        return spawn(file, arguments, folder) ? StartOutcome::success() : StartOutcome::failure();
    });
}

QFuture<StartOutcome> DesktopShell::openPath(const QString &path, quint32 userTime)
{
    const QByteArray uri = QUrl::fromLocalFile(absolute(path)).toEncoded();
    return onPool([uri, userTime] { return launchDefault(uri, userTime); });
}

QFuture<StartOutcome> DesktopShell::openAddress(const QUrl &url, quint32 userTime)
{
    // A local file opened through its association may be a program in disguise (a .jar, an
    // .exe under Wine): an address names something on the network or a handler.
    if (!url.isValid() || url.scheme().isEmpty() || url.isLocalFile()) {
        LOG(WARNING) << "open " << url.toString() << " failed: not an address";
        return finished(StartOutcome::failure());
    }
    const QByteArray uri = url.toEncoded();
    return onPool([uri, userTime] { return launchDefault(uri, userTime); });
}

QFuture<StartOutcome> DesktopShell::openCommand(const QString &text, quint32 userTime)
{
    const QString command = text.trimmed();
    if (!isShellCommand(command))
        return openAddress(QUrl(command, QUrl::TolerantMode), userTime);
    return startProgram(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command},
                        QDir::homePath());
}

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
    const std::optional<QStringList> parsed = KelProcess::splitArguments(exec);
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

QFuture<StartOutcome> DesktopShell::launchEntry(const QString &entry,
                                                const QStringList &arguments,
                                                const QString &workingDirectory,
                                                quint32 userTime,
                                                const QByteArray &shown)
{
    const QString file = absolute(entry);
    const QString folder = absolute(workingDirectory);
    return onPool([file, arguments, folder, userTime, shown] {
        const QByteArray name = QFile::encodeName(file);
        const GLibSupport::KeyFile keys(g_key_file_new());
        const bool loaded =
            shown.isEmpty()
                ? g_key_file_load_from_file(keys.get(), name.constData(), G_KEY_FILE_NONE, nullptr)
                : g_key_file_load_from_data(keys.get(), shown.constData(), gsize(shown.size()),
                                            G_KEY_FILE_NONE, nullptr);
        if (!loaded) {
            LOG(WARNING) << "start " << file << " failed: not a readable entry";
            return StartOutcome::failure();
        }
        QString exec =
            GLibSupport::takeString(g_key_file_get_string(keys.get(), group, "Exec", nullptr));
        // What the user was shown starts, not what the file may hold by now; but an
        // application activated over D-Bus is known to the bus by the file's name alone.
        if (!shown.isEmpty() && exec.trimmed().isEmpty() && !DesktopEntry::holds(file, shown)) {
            LOG(WARNING) << "start " << file << " failed: changed since it was shown";
            return StartOutcome::failure();
        }
        bool rewritten = !shown.isEmpty() && !exec.trimmed().isEmpty();
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
                return StartOutcome::failure();
            }
            // Activated over D-Bus the application would never see them.
            g_key_file_set_boolean(keys.get(), group, "DBusActivatable", false);
            rewritten = true;
        }
        if (inDebianTerminal(keys.get(), exec))
            rewritten = true;
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
            return StartOutcome::failure();
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
            return StartOutcome::failure();
        }
        return launch(info.get(), uris, enter, userTime, file);
    });
}

namespace {
// What became of a terminal that ended before its first second was over. terminal: its path,
// empty when GIO chose it.
StartOutcome terminalEnded(const QString &terminal, int status)
{
    // A terminal that hands the window to its server ends at once, and well.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return StartOutcome::success();
    const QString name = QFileInfo(terminal).fileName();
    LOG(WARNING) << "command in a terminal failed: the terminal " << name
                 << " ended at once, wait status " << status;
    const QString who =
        name.isEmpty() ? QStringLiteral("终端") : QStringLiteral("终端 %1 ").arg(name);
    return StartOutcome::failure(
        WIFEXITED(status)
            ? QStringLiteral("%1启动后立即退出 (退出码 %2)").arg(who).arg(WEXITSTATUS(status))
            : QStringLiteral("%1启动后立即被终止 (信号 %2)").arg(who).arg(WTERMSIG(status)));
}

// Without x-terminal-emulator: the terminal GIO finds for an application that asks for one.
StartOutcome
startInDesktopTerminal(const QStringList &command, QByteArray folder, const EndWatch &ended)
{
    QStringList quotedWords;
    for (const QString &word : command)
        quotedWords << GLibSupport::takeString(g_shell_quote(word.toUtf8().constData()));
    // The command line is read as an Exec line, where "%" starts a field code.
    const QByteArray commandLine =
        quotedWords.join(QLatin1Char(' ')).replace(QLatin1Char('%'), QStringLiteral("%%")).toUtf8();
    GError *error = nullptr;
    const GLibSupport::Object<GAppInfo> info(g_app_info_create_from_commandline(
        commandLine.constData(), "quiver-command", G_APP_INFO_CREATE_NEEDS_TERMINAL, &error));
    if (!info) {
        LOG(WARNING) << "command in a terminal failed: " << QString::fromUtf8(error->message);
        g_clear_error(&error);
        return StartOutcome::failure();
    }
    // Collected here rather than by GLib, so that an early end is known.
    const auto started = [](GDesktopAppInfo *, GPid pid, gpointer watch) {
        collectWhenEnded(pid, *static_cast<const EndWatch *>(watch));
    };
    const bool made = g_desktop_app_info_launch_uris_as_manager(
        G_DESKTOP_APP_INFO(info.get()), nullptr, launchContext(0).get(),
        GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), enterOwnSession,
        folder.isEmpty() ? nullptr : folder.data(), started, const_cast<EndWatch *>(&ended),
        &error);
    if (made)
        return StartOutcome::success();
    LOG(WARNING) << "command in a terminal failed: " << QString::fromUtf8(error->message);
    // GIO's only failure of its own before the spawn: no terminal it knows of.
    const bool noTerminal = error->domain == G_IO_ERROR;
    g_clear_error(&error);
    return StartOutcome::failure(noTerminal ? QStringLiteral("没有找到终端") : QString());
}
} // namespace

QFuture<StartOutcome> DesktopShell::runInTerminal(const QStringList &command, const QString &folder)
{
    // Told once, on the main thread: by a failed start, by an early end, or by the first second
    // passing.
    QFutureInterface<StartOutcome> outcome(QFutureInterfaceBase::Started);
    const auto tell = [outcome](const StartOutcome &result) {
        QFutureInterface<StartOutcome> shared(outcome);
        if (!shared.isFinished())
            shared.reportFinished(&result);
    };
    const QString where = absolute(folder);
    QtConcurrent::run(QThreadPool::globalInstance(), [command, where, outcome, tell] {
        const QString terminal = debianTerminal();
        // Once its first second is over, how it ends is the user's affair.
        const EndWatch ended = [outcome, tell, terminal](int status) {
            if (!outcome.isFinished())
                tell(terminalEnded(terminal, status));
        };
        const StartOutcome started =
            terminal.isEmpty()
                ? startInDesktopTerminal(command, QFile::encodeName(where), ended)
                : (spawn(terminal, QStringList{QStringLiteral("-e")} + command, where, ended)
                       ? StartOutcome::success()
                       : StartOutcome::failure());
        onMainThread([tell, started] {
            if (!started)
                tell(started);
            else
                QTimer::singleShot(1000, qApp, [tell] { tell(StartOutcome::success()); });
        });
    });
    return outcome.future();
}

bool DesktopShell::asksForAdministrator(const QString &program)
{
    return isProgram(program) &&
           !QStandardPaths::findExecutable(QStringLiteral("pkexec")).isEmpty();
}

QFuture<StartOutcome> DesktopShell::startAsAdministrator(const QString &program,
                                                         const QString &parameters,
                                                         const QString &workingDirectory)
{
    // The answer waits for the user's password, for as long as that takes: on a thread of its
    // own, so that the pool's few threads keep starting other items and quitting never waits.
    QFutureInterface<StartOutcome> outcome(QFutureInterfaceBase::Started);
    std::thread([outcome, program, parameters, workingDirectory]() mutable {
        StartOutcome started;
        // A document has no rights to be started with: no password is asked for nothing.
        if (!isProgram(program)) {
            LOG(WARNING) << "start " << program << " as administrator failed: not a program";
        } else {
            started.made =
                KelProcess::runAsAdministrator(program, parameters, true, workingDirectory);
            if (!started)
                LOG(WARNING) << "start " << program << " as administrator failed";
        }
        outcome.reportFinished(&started);
    }).detach();
    return outcome.future();
}

bool DesktopShell::isShellCommand(const QString &text)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.\\-]*:"));
    return !scheme.match(text.trimmed()).hasMatch();
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
