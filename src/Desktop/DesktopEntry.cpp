#include "Desktop/DesktopEntry.h"

#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QMimeDatabase>

#include "Desktop/GLibSupport.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {
const char group[] = "Desktop Entry";
// Entries are a few kilobytes; a device or a pipe named like one has no end.
constexpr qint64 maximumSize = 1024 * 1024;
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
    // By name, as desktops know their entries: no file is read for it. A link is what it leads
    // to, whatever its own name.
    static const QMimeDatabase mimeTypes;
    const QFileInfo info(path);
    const QString real = info.isSymLink() ? info.canonicalFilePath() : QString();
    return mimeTypes.mimeTypeForFile(real.isEmpty() ? path : real, QMimeDatabase::MatchExtension)
        .inherits(QStringLiteral("application/x-desktop"));
}

bool DesktopEntry::isTrusted(const QString &path)
{
    const QFileInfo info(QFileInfo(path).canonicalFilePath());
    if (!info.isFile())
        return false;
    if (info.isExecutable())
        return true;
    // The desktop's own folders, as the environment names them for every program.
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + QStringLiteral("/.local/share");
    QString system = qEnvironmentVariable("XDG_DATA_DIRS");
    if (system.isEmpty())
        system = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString &folder : QStringList{home} + system.split(QLatin1Char(':'))) {
        const QString applications =
            QFileInfo(folder + QStringLiteral("/applications")).canonicalFilePath();
        if (!applications.isEmpty() && info.filePath().startsWith(applications + QLatin1Char('/')))
            return true;
    }
    const GLibSupport::Object<GFile> file(
        g_file_new_for_path(QFile::encodeName(info.filePath()).constData()));
    const GLibSupport::Object<GFileInfo> metadata(g_file_query_info(
        file.get(), "metadata::trusted", G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    const char *trusted =
        metadata ? g_file_info_get_attribute_string(metadata.get(), "metadata::trusted") : nullptr;
    return trusted && (qstrcmp(trusted, "true") == 0 || qstrcmp(trusted, "yes") == 0);
}

bool DesktopEntry::holds(const QString &path, const QByteArray &text)
{
    QFile file(QFileInfo(path).canonicalFilePath());
    return file.open(QIODevice::ReadOnly) && file.read(maximumSize + 1) == text;
}

bool DesktopEntry::markTrusted(const QString &path, const QByteArray &shown)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    QFile entry(real);
    // A file replaced or rewritten while the user was asked holds what nobody agreed to.
    if (!entry.open(QIODevice::ReadOnly) || entry.read(maximumSize + 1) != shown)
        return false;
    const GLibSupport::Object<GFile> file(g_file_new_for_path(QFile::encodeName(real).constData()));
    // Only with GVfs's metadata store, which a bare session may not run.
    const bool noted = g_file_set_attribute_string(file.get(), "metadata::trusted", "true",
                                                   G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
    // The mode goes on the file just compared, through its descriptor, not on whatever the
    // name leads to by now (GVfs's mark can only go by name).
    struct stat info = {};
    const bool ownFile = ::fstat(entry.handle(), &info) == 0 && info.st_uid == ::getuid();
    const bool executable =
        ownFile && entry.setPermissions(entry.permissions() | QFile::ExeOwner | QFile::ExeUser);
    return noted || executable;
}

DesktopEntry DesktopEntry::read(const QString &path)
{
    DesktopEntry entry;
    QFile file(path);
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
        entry.m_exec = plainString(keys.get(), "Exec");
        if (entry.m_exec.isEmpty() && !boolean(keys.get(), "DBusActivatable"))
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
    entry.m_text = bytes;
    return entry;
}
