#include "Desktop/DesktopIcons.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QPixmap>

QStringList DesktopIcons::dataFolders()
{
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::home().filePath(QStringLiteral(".local/share"));
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    return QStringList{home} + dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

namespace {
// Qt looks up theme icons only in the theme the platform names, in the folders it names; a
// bare window manager names none, and the offscreen platform no folders.
void prepareTheme()
{
    static const bool prepared = [] {
        if (QIcon::themeName().isEmpty())
            QIcon::setThemeName(QStringLiteral("hicolor"));
        QStringList paths = QIcon::themeSearchPaths();
        QStringList folders{QDir::home().filePath(QStringLiteral(".icons"))};
        for (const QString &data : DesktopIcons::dataFolders())
            folders << data + QStringLiteral("/icons");
        for (const QString &folder : folders)
            if (!paths.contains(folder))
                paths << folder;
        QIcon::setThemeSearchPaths(paths);
        return true;
    }();
    Q_UNUSED(prepared)
}

// Older entries name a picture in a "pixmaps" folder, with or without its suffix.
QIcon fromPixmaps(const QString &name)
{
    for (const QString &data : DesktopIcons::dataFolders())
        for (const char *suffix : {"", ".png", ".svg", ".xpm"}) {
            const QString file = data + QStringLiteral("/pixmaps/") + name + QLatin1String(suffix);
            if (QFileInfo(file).isFile())
                return QIcon(file);
        }
    return QIcon();
}
} // namespace

QIcon DesktopIcons::icon(const QString &name)
{
    if (name.isEmpty())
        return QIcon();
    if (QDir::isAbsolutePath(name))
        return QFileInfo(name).isFile() ? QIcon(name) : QIcon();
    prepareTheme();
    // "Icon=app.png" names the theme icon "app", as the desktop reads it.
    QString themeName = name;
    themeName.remove(QRegularExpression(QStringLiteral("\\.(png|svg|xpm)$")));
    const QIcon themed = QIcon::fromTheme(themeName);
    return themed.isNull() ? fromPixmaps(name) : themed;
}

void DesktopIcons::rescan()
{
    prepareTheme();
    // Setting the search paths, even to what they are, drops what Qt read of the themes.
    QIcon::setThemeSearchPaths(QIcon::themeSearchPaths());
}

QPixmap DesktopIcons::render(const QIcon &icon, int size)
{
    if (icon.isNull())
        return QPixmap();
    const QPixmap pixmap = icon.pixmap(QSize(size, size));
    if (pixmap.isNull() || pixmap.size() == QSize(size, size))
        return pixmap;
    return pixmap.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}
