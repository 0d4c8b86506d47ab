#include "DesktopEntry.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>

#include "GLibSupport.h"

namespace {
const char group[] = "Desktop Entry";
// The interface is Chinese.
const char locale[] = "zh_CN";

QString plainString(GKeyFile *file, const char *key)
{
    return GLibSupport::takeString(g_key_file_get_string(file, group, key, nullptr));
}

// The first translation that says something, in the order of the locale's variants (zh_CN,
// then zh), else the untranslated value: an empty one ("Name[zh_CN]=", as menu editors leave
// them) gives way to the next.
QString localeString(GKeyFile *file, const char *key)
{
    gchar **variants = g_get_locale_variants(locale);
    QString value;
    for (gchar **variant = variants; *variant && value.isEmpty(); ++variant) {
        const QByteArray translated = QByteArray(key) + '[' + *variant + ']';
        value = GLibSupport::takeString(
            g_key_file_get_string(file, group, translated.constData(), nullptr));
    }
    g_strfreev(variants);
    return value.isEmpty() ? plainString(file, key) : value;
}

bool boolean(GKeyFile *file, const char *key)
{
    return g_key_file_get_boolean(file, group, key, nullptr);
}
} // namespace

bool DesktopEntry::isEntryFile(const QString &path)
{
    // By name, as desktops know their entries: no file is read for it.
    static const QMimeDatabase mimeTypes;
    return mimeTypes.mimeTypeForFile(path, QMimeDatabase::MatchExtension)
        .inherits(QStringLiteral("application/x-desktop"));
}

DesktopEntry DesktopEntry::read(const QString &path)
{
    DesktopEntry entry;
    constexpr qint64 maximumSize = 1024 * 1024;
    QFile file(path);
    // Entries are a few kilobytes; a device or a pipe named like one has no end.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return entry;
    const QByteArray bytes = file.read(maximumSize + 1);
    if (bytes.size() > maximumSize)
        return entry;
    if (!g_utf8_validate(bytes.constData(), bytes.size(), nullptr))
        return entry;
    const GLibSupport::KeyFile keys(g_key_file_new());
    if (!g_key_file_load_from_data(keys.get(), bytes.constData(), gsize(bytes.size()),
                                   G_KEY_FILE_KEEP_TRANSLATIONS, nullptr) ||
        !g_key_file_has_group(keys.get(), group))
        return entry;

    const QString type = plainString(keys.get(), "Type");
    if (type == QLatin1String("Application")) {
        if (plainString(keys.get(), "Exec").isEmpty() && !boolean(keys.get(), "DBusActivatable"))
            return entry;
        entry.m_kind = Kind::Application;
    } else if (type == QLatin1String("Link")) {
        entry.m_url = plainString(keys.get(), "URL");
        if (entry.m_url.isEmpty())
            return entry;
        entry.m_kind = Kind::Link;
    } else {
        return entry;
    }
    entry.m_name = localeString(keys.get(), "Name");
    if (entry.m_name.isEmpty())
        entry.m_name = QFileInfo(path).completeBaseName();
    entry.m_note = localeString(keys.get(), "Comment");
    if (entry.m_note.isEmpty())
        entry.m_note = localeString(keys.get(), "GenericName");
    entry.m_icon = localeString(keys.get(), "Icon");
    entry.m_categories =
        plainString(keys.get(), "Categories").split(QLatin1Char(';'), Qt::SkipEmptyParts);
    return entry;
}
