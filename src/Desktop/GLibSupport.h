#pragma once

#include <QString>

#include <memory>

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#pragma pop_macro("signals")

// Owning GLib's values the C++ way.
namespace GLibSupport {
struct KeyFileFree
{
    void operator()(GKeyFile *file) const { g_key_file_unref(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileFree>;

struct ObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
template<typename T>
using Object = std::unique_ptr<T, ObjectUnref>;

// The text of a string GLib handed over, which is freed; a null string is empty.
inline QString takeString(gchar *text)
{
    const QString value = QString::fromUtf8(text);
    g_free(text);
    return value;
}
} // namespace GLibSupport
