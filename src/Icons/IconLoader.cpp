#include "Icons/IconLoader.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "Core/DataControl.h"
#include "Desktop/DesktopEntry.h"
#include "Desktop/DesktopIcons.h"
#include "Core/SettingsControl.h"

#include <algorithm>

namespace {
constexpr int kMaxCachedIcon = 256;

// A built-in SVG icon in a colour that may change: the lists keep the icons they were given, and
// a new skin shows in them without reading the items again. Drawn at each size as Qt draws an
// SVG icon.
class TintedIconEngine final : public QIconEngine
{
public:
    TintedIconEngine(const QString &resource, const QString &color)
        : m_resource(resource)
        , m_color(color)
    {}

    QIconEngine *clone() const override { return new TintedIconEngine(m_resource, m_color); }
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const QPixmap drawn = pixmap(rect.size(), mode, state);
        QRect place(QPoint(), drawn.size());
        place.moveCenter(rect.center());
        painter->drawPixmap(place, drawn);
    }
    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        refresh();
        return m_renderer.defaultSize().scaled(size, Qt::KeepAspectRatio);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        const QSize actual = actualSize(size, mode, state);
        const QString key =
            QStringLiteral("%1x%2/%3").arg(actual.width()).arg(actual.height()).arg(mode);
        auto found = m_drawn.constFind(key);
        if (found != m_drawn.constEnd())
            return *found;
        if (actual.isEmpty())
            return QPixmap();
        QImage image(actual, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        m_renderer.render(&painter);
        painter.end();
        QPixmap drawn = QPixmap::fromImage(image);
        if (mode != QIcon::Normal) {
            QStyleOption option;
            option.palette = QApplication::palette();
            drawn = QApplication::style()->generatedIconPixmap(mode, drawn, &option);
        }
        return *m_drawn.insert(key, drawn);
    }

private:
    void refresh()
    {
        if (m_drawnIn == m_color && m_renderer.isValid())
            return;
        m_drawnIn = m_color;
        m_drawn.clear();
        m_renderer.load(IconLoader::recolouredSvg(m_resource, m_drawnIn, QStringLiteral("fill")));
    }

    const QString m_resource;
    // The loader's colour, read at every drawing.
    const QString &m_color;
    QString m_drawnIn;
    QSvgRenderer m_renderer;
    QHash<QString, QPixmap> m_drawn;
};
} // namespace

IconLoader &IconLoader::instance()
{
    static IconLoader loader;
    return loader;
}

IconLoader::IconLoader()
{
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(generated);
    m_appIcon = QIcon(QStringLiteral(":/icon/app.ico"));
}

QIcon IconLoader::cacheIcon(const QString &hashName) const
{
    if (hashName.isEmpty())
        return QIcon();
    auto decoded = m_decoded.constFind(hashName);
    if (decoded != m_decoded.constEnd())
        return *decoded;
    // A missing file is not remembered: it may be added later.
    const QString file = DataControl::cacheFileName(hashName);
    if (!QFileInfo::exists(file))
        return QIcon();
    // Lists show icons at 32 px at most; a large picture is kept at a size that still serves
    // the icon manager on a doubled-density screen, not at the megabytes it decodes to.
    QImageReader reader(file);
    const QSize size = reader.size();
    if (size.width() > kMaxCachedIcon || size.height() > kMaxCachedIcon)
        reader.setScaledSize(size.scaled(kMaxCachedIcon, kMaxCachedIcon, Qt::KeepAspectRatio));
    return *m_decoded.insert(hashName, QIcon(QPixmap::fromImageReader(&reader)));
}

void IconLoader::forget(const QString &hashName)
{
    m_decoded.remove(hashName);
}

QIcon IconLoader::appIcon() const
{
    return m_appIcon;
}

QPixmap IconLoader::loadPixmap(const QString &path) const
{
    QImageReader reader(path);
    return QPixmap::fromImageReader(&reader);
}

QPixmap IconLoader::loadPixmap(const QString &path, const QSize &size) const
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    reader.setScaledSize(size);
    return QPixmap::fromImageReader(&reader);
}

QIcon IconLoader::defaultIcon(int type, const QString &builtIn) const
{
    const QIcon cached = cacheIcon(SettingsControl::instance().defaultIcon(type));
    return cached.isNull() ? builtInIcon(builtIn) : cached;
}

QIcon IconLoader::builtInIcon(const QString &resource) const
{
    QIcon &icon = m_builtIn[resource];
    if (icon.isNull())
        icon = QIcon(new TintedIconEngine(resource, m_builtInColor));
    return icon;
}

QIcon IconLoader::itemIcon(int type, const QString &path) const
{
    switch (type) {
    case 0:
    case 1:
        if (const QFileInfo info(path); info.exists()) {
            // An application's entry shows the application's own icon, not that of a text file.
            // A link is an entry when what it leads to is, whatever its own name.
            if (type == 0 &&
                kindOf(info.isSymLink() ? QFileInfo(info.canonicalFilePath()) : info).entry) {
                const QIcon own = DesktopIcons::icon(DesktopEntry::read(path).icon());
                if (!own.isNull())
                    return own;
                const QIcon program =
                    DesktopIcons::icon(QStringLiteral("application-x-executable"));
                if (!program.isNull())
                    return program;
            }
            return kindIcon(info);
        }
        return defaultIcon(-1, QStringLiteral(":/icon/lost.svg"));
    case 2:
        return defaultIcon(2, QStringLiteral(":/icon/web.svg"));
    case 3:
        return defaultIcon(3, QStringLiteral(":/icon/shell.svg"));
    default:
        return QIcon();
    }
}

const IconLoader::Kind &IconLoader::kindOf(const QFileInfo &info) const
{
    const bool folder = info.isDir();
    // The suffix that names a kind: the last one or two parts after a dot that hold a letter
    // and nothing but letters and digits ("tar.gz", not "05.01.pdf" of "scan 2024.05.01.pdf",
    // which would make every date a kind of its own).
    const QStringList parts = info.completeSuffix().split(QLatin1Char('.'));
    int first = parts.size();
    while (first > 0 && parts.size() - first < 2) {
        const QString &part = parts.at(first - 1);
        const bool letter =
            std::any_of(part.cbegin(), part.cend(), [](QChar c) { return c.isLetter(); });
        const bool plain =
            std::all_of(part.cbegin(), part.cend(), [](QChar c) { return c.isLetterOrNumber(); });
        if (!letter || !plain)
            break;
        --first;
    }
    const QString suffix = parts.mid(first).join(QLatin1Char('.'));
    const QString key = folder             ? QStringLiteral("/")
                        : suffix.isEmpty() ? info.fileName()
                                           : QStringLiteral("*.") + suffix;
    Kind &kind = m_kinds[key];
    if (kind.iconNames.isEmpty()) {
        // Looked up by the key, not by the first file that has it: the kind of every file that
        // shares the key is the same, whichever came first.
        const QMimeType type = m_mimeTypes.mimeTypeForFile(
            suffix.isEmpty() ? info.fileName() : QStringLiteral("x.") + suffix,
            QMimeDatabase::MatchExtension);
        kind.iconNames = folder ? QStringList{QStringLiteral("folder")}
                                : QStringList{type.iconName(), type.genericIconName()};
        kind.entry = !folder && type.inherits(QStringLiteral("application/x-desktop"));
    }
    return kind;
}

QIcon IconLoader::kindIcon(const QFileInfo &info) const
{
    // A catalogue holds thousands of files of a few kinds. The icons come from the theme each
    // time, so a change of theme shows.
    const bool folder = info.isDir();
    for (const QString &name : kindOf(info).iconNames) {
        const QIcon themed = QIcon::fromTheme(name);
        if (!themed.isNull())
            return themed;
    }
    // Without an icon theme (a bare window manager), the style's own.
    return m_provider.icon(folder ? QFileIconProvider::Folder : QFileIconProvider::File);
}

QIcon IconLoader::fileIcon(const QString &path) const
{
    // A picture stands for itself.
    if (!QImageReader::imageFormat(path).isEmpty())
        return QIcon(path);
    return itemIcon(0, path);
}

QIcon IconLoader::answerIcon(const QString &name) const
{
    const QIcon themed = DesktopIcons::icon(name);
    if (!themed.isNull())
        return themed;
    static const QHash<QString, QString> own{
        {QStringLiteral("web-browser"), QStringLiteral(":/icon/web.svg")},
        {QStringLiteral("utilities-terminal"), QStringLiteral(":/icon/shell.svg")},
        {QStringLiteral("accessories-calculator"), QStringLiteral(":/icon/calculator.svg")}};
    if (const auto found = own.constFind(name); found != own.cend())
        return QIcon(*found);
    // Locking, logging out, powering off.
    if (name.startsWith(QLatin1String("system-")))
        return QIcon(QStringLiteral(":/icon/power.svg"));
    // The rest name the kind of a file or folder.
    return m_provider.icon(name == QLatin1String("folder") ? QFileIconProvider::Folder
                                                           : QFileIconProvider::File);
}

QPixmap IconLoader::svgToPixmap(const QString &fileName,
                                const QString &value,
                                const QString &attribute) const
{
    QPixmap pixmap;
    const QByteArray recoloured = recolouredSvg(fileName, value, attribute);
    if (!recoloured.isEmpty())
        pixmap.loadFromData(recoloured, "svg");
    return pixmap;
}

QByteArray
IconLoader::recolouredSvg(const QString &fileName, const QString &value, const QString &attribute)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    // Copied token by token, the attribute set on every "path" element on the way; a stream
    // needs no document tree (nor the library that builds one).
    QXmlStreamReader reader(&file);
    QByteArray recoloured;
    QXmlStreamWriter writer(&recoloured);
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement() || reader.name() != QLatin1String("path")) {
            writer.writeCurrentToken(reader);
            continue;
        }
        writer.writeStartElement(reader.namespaceUri().toString(), reader.name().toString());
        for (const QXmlStreamNamespaceDeclaration &declared : reader.namespaceDeclarations())
            writer.writeNamespace(declared.namespaceUri().toString(), declared.prefix().toString());
        QXmlStreamAttributes attributes;
        for (const QXmlStreamAttribute &each : reader.attributes())
            if (!each.namespaceUri().isEmpty() || each.name() != attribute)
                attributes.append(each);
        attributes.append(attribute, value);
        writer.writeAttributes(attributes);
    }
    return reader.hasError() ? QByteArray() : recoloured;
}
