#pragma once

#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QPixmap>

// Reads icons: cached icon files, the fallback icon of an item, and recoloured SVG resources.
class IconLoader final
{
    Q_DISABLE_COPY_MOVE(IconLoader)

public:
    // The process-wide loader; needs the application object.
    static IconLoader &instance();

    // Null when the file is missing or unreadable; the format is taken from the contents.
    QPixmap loadPixmap(const QString &path) const;
    QPixmap loadPixmap(const QString &path, const QSize &size) const;

    // The icon stored under a hash name; null when its file is missing. Each file is looked up
    // and decoded once per process: cache files are named by their content, so a picture never
    // changes, and the program removes one only through forget().
    QIcon cacheIcon(const QString &hashName) const;
    // To be called when a cache file is deleted.
    void forget(const QString &hashName);
    // The icon every item shows while icon loading is off.
    QIcon appIcon() const;

    // The icon of an item that has no icon of its own: the platform's icon of an existing file
    // or folder, the lost icon of a missing one, the default web or shell icon; null for an
    // unknown type.
    // A desktop entry's file shows the application's icon.
    QIcon itemIcon(int type, const QString &path) const;
    // The icon a file yields: a picture itself, an application's icon for its desktop entry,
    // else the file's icon as for an item.
    QIcon fileIcon(const QString &path) const;
    // The icon an answer of the search box names from the desktop's icon theme; without one
    // there (a bare window manager), one of ours, so that no answer stands without an icon.
    QIcon answerIcon(const QString &name) const;

    // The SVG file with the attribute set to value on every "path" element; null when the file
    // cannot be read.
    QPixmap
    svgToPixmap(const QString &fileName, const QString &value, const QString &attribute) const;
    // The SVG file with the attribute set to value on every "path" element; empty when the file
    // cannot be read.
    static QByteArray
    recolouredSvg(const QString &fileName, const QString &value, const QString &attribute);
    // The colour the built-in web, command and lost icons are drawn in: the skin's text colour.
    // Icons handed out before follow at their next painting.
    void setBuiltInColor(const QString &color) { m_builtInColor = color; }

private:
    IconLoader();

    // The cached icon the settings name as the default icon of that item type, or the built-in
    // resource when they name none.
    QIcon defaultIcon(int type, const QString &builtIn) const;
    // The built-in icon, drawn in the built-in colour.
    QIcon builtInIcon(const QString &resource) const;
    struct Kind
    {
        QStringList iconNames;
        // A desktop entry, which shows the application's own icon.
        bool entry = false;
    };
    // What the part of the name that decides a file's kind says about it: "*.tar.gz",
    // "Makefile", "/" for folders. Looked up once per kind, never by reading the file: a MIME
    // lookup per file matches every glob pattern of the database anew.
    const Kind &kindOf(const QFileInfo &info) const;
    // The theme's icon for the kind of an existing file or folder.
    QIcon kindIcon(const QFileInfo &info) const;

    QFileIconProvider m_provider;
    QMimeDatabase m_mimeTypes;
    mutable QHash<QString, QIcon> m_decoded;
    mutable QHash<QString, Kind> m_kinds;
    mutable QHash<QString, QIcon> m_builtIn;
    QString m_builtInColor = QStringLiteral("#000000");
    QIcon m_appIcon;
};
