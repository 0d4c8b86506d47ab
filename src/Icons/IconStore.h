#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QIcon;
class QPixmap;

// Bringing images into the content-addressed icon cache.
namespace IconStore {
enum class Added { New, Duplicate, Failed };

// A rendered icon as PNG; empty when it cannot be encoded (a null pixmap).
QByteArray toPng(const QPixmap &pixmap);
// An icon at its first available size.
QByteArray toPng(const QIcon &icon);
// The bytes of a picture file the image reader can read, up to 8 MiB; empty otherwise, with
// the reason in error.
QByteArray readPicture(const QString &path, QString *error);
// The picture in bytes the image reader can read, when it fits in memory (4096 × 4096 pixels at
// most, whatever few bytes claim it); null otherwise, with the reason in error.
QImage decode(const QByteArray &bytes, QString *error);
// Stores a rendered icon as PNG unless it is there already; its hash name, or empty when the
// pixmap is null.
QString store(const QPixmap &pixmap, const QString &name, const QString &origin);
// Stores the bytes under their hash unless an entry of that hash exists already.
Added add(const QByteArray &bytes, const QString &name, const QString &origin);
} // namespace IconStore
