#include "Desktop/GnomeShortcut.h"

#include <QHash>

#include "Desktop/GLibSupport.h"
#include "QHotkey.h"

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gsettingsbackend.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <memory>

namespace {
const char mediaKeys[] = "org.gnome.settings-daemon.plugins.media-keys";
const char customSchema[] = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
const char customList[] = "custom-keybindings";
const char ourPath[] = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/quiver/";
// Where GNOME keeps the shortcuts of the shell, the window manager and the settings daemon.
const char *const keybindingSchemas[] = {
    "org.gnome.desktop.wm.keybindings",
    "org.gnome.shell.keybindings",
    "org.gnome.mutter.keybindings",
    "org.gnome.mutter.wayland.keybindings",
    "org.gnome.settings-daemon.plugins.media-keys",
};

struct SchemaUnref
{
    void operator()(GSettingsSchema *schema) const { g_settings_schema_unref(schema); }
};
using Schema = std::unique_ptr<GSettingsSchema, SchemaUnref>;
struct KeyUnref
{
    void operator()(GSettingsSchemaKey *key) const { g_settings_schema_key_unref(key); }
};
using SchemaKey = std::unique_ptr<GSettingsSchemaKey, KeyUnref>;
struct StrvFree
{
    void operator()(gchar **strings) const { g_strfreev(strings); }
};
using Strv = std::unique_ptr<gchar *, StrvFree>;
using Settings = GLibSupport::Object<GSettings>;

Schema lookup(const char *id)
{
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    return Schema(source ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr);
}

Settings open(const char *id, const char *path = nullptr)
{
    Schema schema = lookup(id);
    return Settings(schema ? g_settings_new_full(schema.get(), nullptr, path) : nullptr);
}

QStringList strings(GSettings *settings, const char *key)
{
    QStringList list;
    Strv values(g_settings_get_strv(settings, key));
    for (gchar **value = values.get(); value && *value; ++value)
        list << QString::fromUtf8(*value);
    return list;
}

void setStrings(GSettings *settings, const char *key, const QStringList &list)
{
    std::vector<QByteArray> bytes;
    std::vector<const gchar *> values;
    for (const QString &value : list)
        bytes.push_back(value.toUtf8());
    for (const QByteArray &value : bytes)
        values.push_back(value.constData());
    values.push_back(nullptr);
    g_settings_set_strv(settings, key, values.data());
}

QString string(GSettings *settings, const char *key)
{
    return GLibSupport::takeString(g_settings_get_string(settings, key));
}

// Modifiers as a mask of ours and a lower-case key symbol: two spellings of one combination
// compare equal.
struct Combination
{
    enum Modifier { Shift = 1, Control = 2, Alt = 4, Super = 8, Meta = 16, Hyper = 32 };
    int modifiers = 0;
    KeySym symbol = NoSymbol;

    bool operator==(const Combination &other) const
    {
        return modifiers == other.modifiers && symbol == other.symbol;
    }

    static Combination parse(const QString &accelerator)
    {
        static const QHash<QString, int> names{
            {"shift", Shift}, {"control", Control}, {"ctrl", Control}, {"primary", Control},
            {"ctl", Control}, {"alt", Alt},         {"mod1", Alt},     {"super", Super},
            {"mod4", Super},  {"meta", Meta},       {"hyper", Hyper},
        };
        Combination combination;
        QString rest = accelerator.trimmed();
        while (rest.startsWith(QLatin1Char('<'))) {
            const int end = rest.indexOf(QLatin1Char('>'));
            if (end < 0)
                return {};
            combination.modifiers |= names.value(rest.mid(1, end - 1).toLower());
            rest = rest.mid(end + 1);
        }
        KeySym symbol = XStringToKeysym(rest.toLatin1().constData());
        if (symbol == NoSymbol)
            return {};
        KeySym lower = NoSymbol, upper = NoSymbol;
        XConvertCase(symbol, &lower, &upper);
        combination.symbol = lower;
        return combination;
    }
};

// The accelerators a key of a schema holds, whether a list or one text.
QStringList accelerators(GSettings *settings, GSettingsSchema *schema, const char *name)
{
    SchemaKey key(g_settings_schema_get_key(schema, name));
    const GVariantType *type = g_settings_schema_key_get_value_type(key.get());
    if (g_variant_type_equal(type, G_VARIANT_TYPE_STRING_ARRAY))
        return strings(settings, name);
    if (g_variant_type_equal(type, G_VARIANT_TYPE_STRING))
        return {string(settings, name)};
    return {};
}
} // namespace

bool GnomeShortcut::isAvailable()
{
    if (!lookup(mediaKeys) || !lookup(customSchema))
        return false;
    // Without dconf, GSettings keeps what is written in memory: GNOME would never see it.
    GSettingsBackend *backend = g_settings_backend_get_default();
    const bool stored = qstrcmp(G_OBJECT_TYPE_NAME(backend), "GMemorySettingsBackend") != 0 &&
                        qstrcmp(G_OBJECT_TYPE_NAME(backend), "GNullSettingsBackend") != 0;
    g_object_unref(backend);
    return stored;
}

QString GnomeShortcut::place() const
{
    return QStringLiteral("GNOME 设置 → 键盘 → 查看及自定义快捷键 → 自定义快捷键 → “Quiver”");
}

QString GnomeShortcut::accelerator(const QKeySequence &keys)
{
    if (keys.isEmpty())
        return {};
    const int combination = keys[0];
    KeySym lower = NoSymbol, upper = NoSymbol;
    XConvertCase(KeySym(QHotkey::keysym(combination & ~Qt::KeyboardModifierMask)), &lower, &upper);
    const char *name = lower == NoSymbol ? nullptr : XKeysymToString(lower);
    if (!name)
        return {};
    QString text;
    if (combination & Qt::ControlModifier)
        text += QStringLiteral("<Control>");
    if (combination & Qt::AltModifier)
        text += QStringLiteral("<Alt>");
    if (combination & Qt::ShiftModifier)
        text += QStringLiteral("<Shift>");
    // Qt's Meta is the key with the Windows logo, GNOME's Super.
    if (combination & Qt::MetaModifier)
        text += QStringLiteral("<Super>");
    return text + QString::fromLatin1(name);
}

bool GnomeShortcut::sameAccelerator(const QString &first, const QString &second)
{
    const Combination a = Combination::parse(first);
    return a.symbol != NoSymbol && a == Combination::parse(second);
}

QString
GnomeShortcut::takenBy(const QString &accelerator, const QString &commandLine, bool *runsOurs) const
{
    *runsOurs = false;
    for (const char *id : keybindingSchemas) {
        Schema schema = lookup(id);
        if (!schema)
            continue;
        Settings settings(g_settings_new_full(schema.get(), nullptr, nullptr));
        Strv names(g_settings_schema_list_keys(schema.get()));
        for (gchar **name = names.get(); *name; ++name) {
            const QStringList held = accelerators(settings.get(), schema.get(), *name);
            if (std::none_of(held.cbegin(), held.cend(), [&](const QString &other) {
                    return sameAccelerator(accelerator, other);
                }))
                continue;
            SchemaKey key(g_settings_schema_get_key(schema.get(), *name));
            const QString summary = QString::fromUtf8(g_settings_schema_key_get_summary(key.get()));
            return summary.isEmpty() ? QString::fromUtf8(*name) : summary;
        }
    }
    // The user's own custom shortcuts, ours aside.
    Settings list = open(mediaKeys);
    for (const QString &path : strings(list.get(), customList)) {
        if (path == QLatin1String(ourPath))
            continue;
        Settings custom = open(customSchema, path.toUtf8().constData());
        if (custom && sameAccelerator(accelerator, string(custom.get(), "binding"))) {
            *runsOurs = string(custom.get(), "command") == commandLine;
            return string(custom.get(), "name");
        }
    }
    return {};
}

DesktopShortcut::Result GnomeShortcut::bind(const QKeySequence &keys, const QStringList &command)
{
    Result result;
    const QString binding = accelerator(keys);
    Settings list = open(mediaKeys);
    Settings ours = open(customSchema, ourPath);
    if (binding.isEmpty() || !list || !ours)
        return result;
    bool runsOurs = false;
    result.takenBy = takenBy(binding, commandLine(command), &runsOurs);
    // A shortcut the user made for our command (as the README once told) serves as ours.
    if (runsOurs) {
        result.takenBy.clear();
        result.bound = true;
        return result;
    }
    if (!result.takenBy.isEmpty())
        return result;
    // The binding is complete before the settings daemon sees it in the list.
    g_settings_set_string(ours.get(), "name", "Quiver");
    g_settings_set_string(ours.get(), "command", commandLine(command).toUtf8().constData());
    g_settings_set_string(ours.get(), "binding", binding.toUtf8().constData());
    QStringList paths = strings(list.get(), customList);
    if (!paths.contains(QLatin1String(ourPath)))
        setStrings(list.get(), customList, paths << QString::fromLatin1(ourPath));
    g_settings_sync();
    result.bound = isBound();
    return result;
}

bool GnomeShortcut::unbind()
{
    Settings list = open(mediaKeys);
    Settings ours = open(customSchema, ourPath);
    if (!list || !ours)
        return true;
    QStringList paths = strings(list.get(), customList);
    if (paths.removeAll(QString::fromLatin1(ourPath)))
        setStrings(list.get(), customList, paths);
    for (const char *key : {"name", "command", "binding"})
        g_settings_reset(ours.get(), key);
    g_settings_sync();
    return !isBound();
}

bool GnomeShortcut::isBound() const
{
    Settings list = open(mediaKeys);
    Settings ours = open(customSchema, ourPath);
    return list && ours && strings(list.get(), customList).contains(QLatin1String(ourPath)) &&
           !string(ours.get(), "binding").isEmpty();
}

bool GnomeShortcut::isBoundTo(const QStringList &command, const QKeySequence &keys) const
{
    Settings ours = open(customSchema, ourPath);
    return isBound() && string(ours.get(), "command") == commandLine(command) &&
           (keys.isEmpty() || sameAccelerator(string(ours.get(), "binding"), accelerator(keys)));
}

QString GnomeShortcut::commandLine(const QStringList &command)
{
    // The settings daemon reads the command as a desktop entry's Exec: quoted as a shell
    // quotes, and "%" doubled, which would start a field code.
    return shellCommand(command).replace(QLatin1Char('%'), QLatin1String("%%"));
}
