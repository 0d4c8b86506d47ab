#include "DesktopShell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThreadPool>
#include <QUrl>
#include <QtConcurrent>

#include <thread>

#include "DesktopEntryText.h"
#include "KelWinAPI.h"

#include <easylogging++.h>

#include "GLibSupport.h"

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

// Hands the address to the application the desktop associates with its scheme, or with the
// type of the file it names. GIO reports when there is none, which a bare xdg-open would not.
bool launchDefault(const QByteArray &uri)
{
    GError *error = nullptr;
    if (g_app_info_launch_default_for_uri(uri.constData(), nullptr, &error))
        return true;
    LOG(WARNING) << "open " << QString::fromUtf8(uri)
                 << " failed: " << QString::fromUtf8(error ? error->message : "");
    g_clear_error(&error);
    return false;
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
        if (QProcess::startDetached(file, arguments, folder))
            return true;
        LOG(WARNING) << "start " << file << " failed";
        return false;
    });
}

QFuture<bool> DesktopShell::openPath(const QString &path)
{
    const QByteArray uri = QUrl::fromLocalFile(absolute(path)).toEncoded();
    return onPool([uri] { return launchDefault(uri); });
}

QFuture<bool> DesktopShell::openAddress(const QUrl &url)
{
    // A local file opened through its association may be a program in disguise (a .jar, an
    // .exe under Wine): an address names something on the network or a handler.
    if (!url.isValid() || url.scheme().isEmpty() || url.isLocalFile()) {
        LOG(WARNING) << "open " << url.toString() << " failed: not an address";
        return finished(false);
    }
    const QByteArray uri = url.toEncoded();
    return onPool([uri] { return launchDefault(uri); });
}

QFuture<bool> DesktopShell::openCommand(const QString &text)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.\\-]*:"));
    const QString command = text.trimmed();
    if (scheme.match(command).hasMatch())
        return openAddress(QUrl(command, QUrl::TolerantMode));
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

// The argument list as the URIs an entry's %U and %F receive: addresses as they are, anything
// else a file.
GList *urisOf(const QStringList &arguments, QList<QByteArray> &keep)
{
    GList *uris = nullptr;
    for (const QString &argument : arguments) {
        if (argument.isEmpty())
            continue;
        const QUrl url(argument);
        keep << (url.scheme().size() > 1 ? url.toEncoded()
                                         : QUrl::fromLocalFile(absolute(argument)).toEncoded());
        uris = g_list_append(uris, keep.last().data());
    }
    return uris;
}
} // namespace

QFuture<bool> DesktopShell::launchEntry(const QString &entry,
                                        const QStringList &arguments,
                                        const QString &workingDirectory)
{
    const QString file = absolute(entry);
    const QString folder = absolute(workingDirectory);
    return onPool([file, arguments, folder] {
        const QByteArray name = QFile::encodeName(file);
        const GLibSupport::KeyFile keys(g_key_file_new());
        if (!g_key_file_load_from_file(keys.get(), name.constData(), G_KEY_FILE_NONE, nullptr)) {
            LOG(WARNING) << "start " << file << " failed: not a readable entry";
            return false;
        }
        GLibSupport::Object<GDesktopAppInfo> info;
        // Debian's own choice of terminal, which GIO does not know of: Exec runs in it.
        const QString terminal =
            QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator"));
        if (g_key_file_get_boolean(keys.get(), "Desktop Entry", "Terminal", nullptr) &&
            !terminal.isEmpty()) {
            const QString exec = GLibSupport::takeString(
                g_key_file_get_string(keys.get(), "Desktop Entry", "Exec", nullptr));
            g_key_file_set_boolean(keys.get(), "Desktop Entry", "Terminal", false);
            const QString inTerminal =
                DesktopEntryText::quotedArgument(terminal) + QStringLiteral(" -e ") + exec;
            g_key_file_set_string(keys.get(), "Desktop Entry", "Exec",
                                  inTerminal.toUtf8().constData());
            info.reset(g_desktop_app_info_new_from_keyfile(keys.get()));
        } else {
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
        else if (GLibSupport::takeString(
                     g_key_file_get_string(keys.get(), "Desktop Entry", "Path", nullptr))
                     .isEmpty()) // GIO takes an empty Path for none
            enter = QFile::encodeName(QDir::homePath());
        if (!enter.isEmpty() && !QFileInfo(QFile::decodeName(enter)).isDir()) {
            LOG(WARNING) << "start " << file << " failed: no folder " << QFile::decodeName(enter);
            return false;
        }
        QList<QByteArray> keep;
        GList *uris = urisOf(arguments, keep);
        GError *error = nullptr;
        const bool started = g_desktop_app_info_launch_uris_as_manager(
            info.get(), uris, nullptr, G_SPAWN_SEARCH_PATH, enter.isEmpty() ? nullptr : enterFolder,
            enter.data(), nullptr, nullptr, &error);
        g_list_free(uris);
        if (started)
            return true;
        LOG(WARNING) << "start " << file
                     << " failed: " << QString::fromUtf8(error ? error->message : "");
        g_clear_error(&error);
        return false;
    });
}

QFuture<bool> DesktopShell::startAsAdministrator(const QString &program, const QString &parameters)
{
    // The answer waits for the user's password, for as long as that takes: on a thread of its
    // own, so that the pool's few threads keep starting other items and quitting never waits.
    QFutureInterface<bool> outcome(QFutureInterfaceBase::Started);
    std::thread([outcome, program, parameters]() mutable {
        bool started = false;
        // A document has no rights to be started with: no password is asked for nothing.
        if (!isProgram(program)) {
            LOG(WARNING) << "start " << program << " as administrator failed: not a program";
        } else {
            started = KelWinAPI::KelShellExecuteExW(program, parameters, true);
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
