#include "ItemStart.h"

#include <QFileInfo>
#include <QUrl>

#include "DesktopEntry.h"
#include "DesktopShell.h"
#include "KelWinAPI.h"

namespace {
ItemStart refused(const QString &text)
{
    return ItemStart{text, QString(), std::nullopt};
}

ItemStart started(const QFuture<StartOutcome> &start)
{
    return ItemStart{QString(), QString(), start};
}
} // namespace

ItemStart ItemStart::begin(const QString &path,
                           int type,
                           const QString &arguments,
                           const QString &workingDirectory,
                           quint32 userTime,
                           bool confirmed)
{
    const QFileInfo info(path);
    switch (type) {
    case 0: {
        if (!info.exists())
            return refused(QStringLiteral("打开失败, 文件不存在"));
        if (!info.isFile())
            return refused(QStringLiteral("打开失败, 不是文件类型"));
        const std::optional<QStringList> words = KelWinAPI::splitArguments(arguments);
        // An application's entry (or a link to one) starts the application, not an editor on
        // its text.
        if (DesktopEntry::isEntryFile(path)) {
            const DesktopEntry entry = DesktopEntry::read(path);
            // GIO would still start an entry this reader refuses (a stray byte that is not
            // UTF-8, a huge file), and nobody could be shown what it runs.
            if (!entry.isValid())
                return refused(QStringLiteral("打开失败, 无法启动"));
            if (entry.kind() == DesktopEntry::Kind::Link) {
                // A file manager's link to a place here opens that place, as the desktop does.
                const QUrl url = QUrl::fromUserInput(entry.url());
                // A file opened through its association may be a program in disguise (a .jar,
                // an .exe under Wine): only a trusted link opens one without asking.
                const bool file = url.isLocalFile() && !QFileInfo(url.toLocalFile()).isDir();
                if (file && !confirmed && !DesktopEntry::isTrusted(path)) {
                    ItemStart question;
                    question.untrustedCommand = url.toLocalFile();
                    return question;
                }
                return started(url.isLocalFile()
                                   ? DesktopShell::openPath(url.toLocalFile(), userTime)
                                   : DesktopShell::openAddress(url, userTime));
            }
            if (!confirmed && !DesktopEntry::isTrusted(path)) {
                ItemStart question;
                // A D-Bus activated application runs no command: its entry is named instead.
                question.untrustedCommand = entry.exec().isEmpty() ? path : entry.exec();
                return question;
            }
            if (!words)
                return refused(QStringLiteral("打开失败, 参数有误"));
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
