#include "Icons/IconStore.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QIcon>
#include <QPixmap>

#include "Core/DataControl.h"

QByteArray IconStore::toPng(const QPixmap &pixmap)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (pixmap.isNull() || !buffer.open(QIODevice::WriteOnly) || !pixmap.save(&buffer, "png"))
        return QByteArray();
    return bytes;
}

QByteArray IconStore::toPng(const QIcon &icon)
{
    const QList<QSize> sizes = icon.availableSizes();
    return sizes.isEmpty() ? QByteArray() : toPng(icon.pixmap(sizes.first()));
}

QByteArray IconStore::readPicture(const QString &path, QString *error)
{
    constexpr qint64 maximumSize = 8 * 1024 * 1024;
    QFile file(path);
    // A device or a pipe (a link to /dev/zero, say) has no size and no end.
    if (!QFileInfo(path).isFile()) {
        *error = QStringLiteral("不是普通文件");
        return QByteArray();
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return QByteArray();
    }
    // A video dropped by mistake is gigabytes: never more than the limit is read.
    QByteArray bytes = file.read(maximumSize + 1);
    if (bytes.size() > maximumSize) {
        *error = QStringLiteral("文件超过8MiB");
        return QByteArray();
    }
    return decode(bytes, error).isNull() ? QByteArray() : bytes;
}

QImage IconStore::decode(const QByteArray &bytes, QString *error)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // A small file may still claim a picture too large to hold in memory.
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > 4096 * 4096) {
        *error = QStringLiteral("图片尺寸过大");
        return QImage();
    }
    QImage image = reader.read();
    if (image.isNull())
        *error = QStringLiteral("不是可以读取的图片");
    return image;
}

QString IconStore::store(const QPixmap &pixmap, const QString &name, const QString &origin)
{
    const QByteArray png = toPng(pixmap);
    if (png.isEmpty())
        return QString();
    add(png, name, origin);
    return DataControl::hashName(png);
}

IconStore::Added IconStore::add(const QByteArray &bytes, const QString &name, const QString &origin)
{
    DataControl &data = DataControl::instance();
    if (data.cache_checkDuplicate(DataControl::hashName(bytes)))
        return Added::Duplicate;
    const bool added = data.cache_addData(
        bytes, {{QStringLiteral("Name"), name}, {QStringLiteral("Class"), origin}});
    return added ? Added::New : Added::Failed;
}
