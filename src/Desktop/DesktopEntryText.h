#pragma once

#include <QString>

// Writing values of a desktop entry (the freedesktop.org desktop entry format).
namespace DesktopEntryText {
// A string value: backslash, and the whitespace a line cannot hold, escaped.
QString string(const QString &value);
// One argument of the Exec key, ready to be written as its value: quoted, with the characters
// reserved inside quotes escaped, "%" doubled (field codes), then escaped as a string value.
QString execArgument(const QString &argument);
// The same before the string escaping, for a value GLib escapes as it writes it.
QString quotedArgument(const QString &argument);
} // namespace DesktopEntryText
