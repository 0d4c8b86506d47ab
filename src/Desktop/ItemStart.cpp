#include "Desktop/ItemStart.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include "Desktop/DesktopEntry.h"
#include "Desktop/DesktopShell.h"
#include "Desktop/GLibSupport.h"
#include "KelProcess.h"

#include <easylogging++.h>

namespace {
ItemStart refused(const QString &text)
{
    ItemStart refusal;
    refusal.refusal = text;
    return refusal;
}

ItemStart started(const QFuture<StartOutcome> &start)
{
    ItemStart made;
    made.start = start;
    return made;
}

ItemStart question(const QString &command, std::function<ItemStart()> confirmed)
{
    ItemStart asked;
    asked.untrustedCommand = command;
    asked.confirmed = std::move(confirmed);
    return asked;
}

void markTrusted(const QString &path, const QByteArray &shown)
{
    if (!DesktopEntry::markTrusted(path, shown))
        LOG(WARNING) << "not marked trusted (changed since it was shown, or no mark held): "
                     << path;
}

// A word as a shell reads it back: quoted only where it needs to be.
QString shellWord(const QString &word)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_@%+=:,./-]+$"));
    return plain.match(word).hasMatch()
               ? word
               : GLibSupport::takeString(g_shell_quote(word.toUtf8().constData()));
}

// What an application's entry runs given the item's arguments, as the user would read it.
QString entryCommand(const DesktopEntry &entry,
                     const QString &path,
                     const QStringList &words,
                     const QString &workingDirectory)
{
    QStringList quoted;
    for (const QString &word : words)
        quoted << shellWord(word);
    const QString folder =
        QFileInfo(workingDirectory.isEmpty() ? QDir::homePath() : workingDirectory)
            .absoluteFilePath();
    const QString exec = DesktopShell::execWithArguments(entry.exec(), words, folder);
    return exec.isEmpty() ? shellWord(QFileInfo(path).absoluteFilePath()) + QLatin1Char(' ') +
                                quoted.join(QLatin1Char(' '))
                          : exec;
}
} // namespace

ItemStart ItemStart::begin(const QString &path,
                           int type,
                           const QString &arguments,
                           const QString &workingDirectory,
                           quint32 userTime)
{
    const QFileInfo info(path);
    switch (type) {
    case 0: {
        if (!info.exists())
            return refused(QStringLiteral("打开失败, 文件不存在"));
        if (!info.isFile())
            return refused(QStringLiteral("打开失败, 不是文件类型"));
        const std::optional<QStringList> words = KelProcess::splitArguments(arguments);
        // An application's entry (or a link to one) starts the application, not an editor on
        // its text.
        if (DesktopEntry::isEntryFile(path)) {
            const DesktopEntry entry = DesktopEntry::read(path);
            // GIO would still start an entry this reader refuses (a stray byte that is not
            // UTF-8, a huge file), and nobody could be shown what it runs.
            if (!entry.isValid())
                return refused(QStringLiteral("打开失败, 无法启动"));
            const QByteArray shown = entry.text();
            if (entry.kind() == DesktopEntry::Kind::Link) {
                // A file manager's link to a place here opens that place, as the desktop does.
                const QUrl url = QUrl::fromUserInput(entry.url());
                const auto open = [url, userTime] {
                    return started(url.isLocalFile()
                                       ? DesktopShell::openPath(url.toLocalFile(), userTime)
                                       : DesktopShell::openAddress(url, userTime));
                };
                // A file opened through its association may be a program in disguise (a .jar,
                // an .exe under Wine): only a trusted link opens one without asking.
                const bool file = url.isLocalFile() && !QFileInfo(url.toLocalFile()).isDir();
                if (file && !DesktopEntry::isTrusted(path))
                    return question(url.toLocalFile(), [path, shown, open] {
                        markTrusted(path, shown);
                        return open();
                    });
                return open();
            }
            if (!words)
                return refused(QStringLiteral("打开失败, 参数有误"));
            if (!DesktopEntry::isTrusted(path))
                // A D-Bus activated application runs no command: its entry is named instead.
                return question(entry.exec().isEmpty() ? path
                                : words->isEmpty()
                                    ? entry.exec()
                                    : entryCommand(entry, path, *words, workingDirectory),
                                [path, shown, words, workingDirectory, userTime] {
                                    markTrusted(path, shown);
                                    return started(DesktopShell::launchEntry(
                                        path, *words, workingDirectory, userTime, shown));
                                });
            return started(DesktopShell::launchEntry(path, *words, workingDirectory, userTime));
        }
        // A link to a program starts as the link, in the link's folder: multi-call programs
        // read the name they were started by.
        if (DesktopShell::isProgram(path)) {
            if (!words)
                return refused(QStringLiteral("打开失败, 参数有误"));
            return started(DesktopShell::startProgram(
                path, *words, workingDirectory.isEmpty() ? info.path() : workingDirectory));
        }
        return started(DesktopShell::openPath(path, userTime));
    }
    case 1:
        if (!info.exists())
            return refused(QStringLiteral("打开失败, 文件夹不存在"));
        return started(DesktopShell::openPath(path, userTime));
    case 2:
        // A bare host ("www.example.com") reads as an http address, whatever else the text
        // holds; it never reaches a shell.
        return started(DesktopShell::openAddress(QUrl::fromUserInput(path), userTime));
    case 3:
        return started(DesktopShell::openCommand(path));
    default:
        return ItemStart();
    }
}

QString ItemStart::command(const QString &path,
                           int type,
                           const QString &arguments,
                           const QString &workingDirectory)
{
    if (type == 3)
        return DesktopShell::isShellCommand(path) ? path.trimmed() : QString();
    const std::optional<QStringList> words = KelProcess::splitArguments(arguments);
    // Arguments that cannot be read start nothing.
    if (type != 0 || !words || words->isEmpty() || !QFileInfo(path).isFile())
        return QString();
    if (DesktopEntry::isEntryFile(path)) {
        const DesktopEntry entry = DesktopEntry::read(path);
        return entry.kind() == DesktopEntry::Kind::Application
                   ? entryCommand(entry, path, *words, workingDirectory)
                   : QString();
    }
    if (!DesktopShell::isProgram(path))
        return QString();
    QStringList quoted;
    for (const QString &word : *words)
        quoted << shellWord(word);
    return shellWord(QFileInfo(path).absoluteFilePath()) + QLatin1Char(' ') +
           quoted.join(QLatin1Char(' '));
}
