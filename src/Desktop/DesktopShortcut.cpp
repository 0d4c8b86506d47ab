#include "Desktop/DesktopShortcut.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

#include "Desktop/GLibSupport.h"
#include "Desktop/GnomeShortcut.h"
#include "Desktop/KdeShortcut.h"
#include "Desktop/PortalShortcut.h"

namespace {
bool desktopIs(const char *name)
{
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP")
        .split(QLatin1Char(':'))
        .contains(QLatin1String(name), Qt::CaseInsensitive);
}
} // namespace

bool DesktopShortcut::isWaylandSession()
{
    return qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

std::unique_ptr<DesktopShortcut> DesktopShortcut::forSession()
{
    if (!isWaylandSession())
        return nullptr;
    if (desktopIs("GNOME") && GnomeShortcut::isAvailable())
        return std::make_unique<GnomeShortcut>();
    if (desktopIs("KDE") && KdeShortcut::isAvailable())
        return std::make_unique<KdeShortcut>();
    if (PortalShortcut::isAvailable())
        return std::make_unique<PortalShortcut>();
    return nullptr;
}

std::vector<std::unique_ptr<DesktopShortcut>> DesktopShortcut::all()
{
    std::vector<std::unique_ptr<DesktopShortcut>> ways;
    if (GnomeShortcut::isAvailable())
        ways.push_back(std::make_unique<GnomeShortcut>());
    ways.push_back(std::make_unique<KdeShortcut>());
    return ways;
}

bool DesktopShortcut::removeOurs()
{
    const QStringList command = toggleCommand();
    bool removed = true;
    for (const auto &desktop : all())
        if (desktop->isBoundTo(command))
            removed = desktop->unbind() && removed;
    return removed;
}

QStringList DesktopShortcut::toggleCommand()
{
    // The starter beside the program enters its folder first. The package's program has none
    // beside it; its starter is on PATH.
    QString starter = QCoreApplication::applicationDirPath() + QStringLiteral("/quiver");
    if (!QFileInfo(starter).isExecutable())
        starter = QStandardPaths::findExecutable(QStringLiteral("quiver"));
    if (starter.isEmpty())
        starter = QStringLiteral("quiver");
    return {starter, QStringLiteral("--toggle")};
}

QString DesktopShortcut::shellCommand(const QStringList &command)
{
    QStringList words;
    for (const QString &word : command) {
        // Plain words stay readable; the rest is quoted as GLib's shell would read it.
        const bool plain = !word.isEmpty() && std::all_of(word.cbegin(), word.cend(), [](QChar c) {
            return c.isLetterOrNumber() || QStringLiteral("/._-+=:,@").contains(c);
        });
        words << (plain ? word : GLibSupport::takeString(g_shell_quote(word.toUtf8().constData())));
    }
    return words.join(QLatin1Char(' '));
}
