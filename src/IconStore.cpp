#include "IconStore.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QIcon>
#include <QPixmap>

#include "DataControl.h"

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
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return QByteArray();
    }
    // Checked before reading: a video dropped by mistake is gigabytes.
    if (file.size() > maximumSize) {
        *error = QStringLiteral("文件超过8MiB");
        return QByteArray();
    }
    QByteArray bytes = file.readAll();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // A small file may still claim a picture too large to hold in memory.
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > 4096 * 4096) {
        *error = QStringLiteral("图片尺寸过大");
        return QByteArray();
    }
    if (reader.read().isNull()) {
        *error = QStringLiteral("不是可以读取的图片");
        return QByteArray();
    }
    return bytes;
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
