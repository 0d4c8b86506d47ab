#pragma once

#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QVariantMap>

#include <optional>

// The text in which items travel through the clipboard: a compact JSON array with one object
// per item, the six shared fields in alphabetical order and every value a string.
namespace ShareFormat {
// Longer clipboard texts are refused unparsed.
constexpr int maximumLength = 4 * 1024 * 1024;

QString toText(const QList<QSqlRecord> &items);
// One field map per element; nullopt unless the text is a JSON array. A value that is not a
// string becomes its text (numbers, booleans) or empty (null, objects, arrays).
std::optional<QList<QVariantMap>> fromText(const QString &text);
} // namespace ShareFormat
