#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

// Icons as desktop entries name them: a theme icon name or an absolute path.
namespace DesktopIcons {
// The folders of the XDG base directories in precedence order: $XDG_DATA_HOME (or
// ~/.local/share), then $XDG_DATA_DIRS (or /usr/local/share and /usr/share).
QStringList dataFolders();
// The icon, from the desktop's icon theme, or "hicolor" where the platform names none (a bare
// window manager), then the "pixmaps" folders; null when there is none.
QIcon icon(const QString &name);
// Qt reads an icon theme once per process; icons installed since (with a new application)
// are found only after this.
void rescan();
// The icon at size × size pixels, scaled up when the icon is smaller; null when there is none.
QPixmap render(const QIcon &icon, int size);
} // namespace DesktopIcons
