#include "IconStore.h"

#include <QBuffer>
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

IconStore::Added IconStore::add(const QByteArray &bytes, const QString &name, const QString &origin)
{
    DataControl &data = DataControl::instance();
    if (data.cache_checkDuplicate(DataControl::hashName(bytes)))
        return Added::Duplicate;
    const bool added = data.cache_addData(
        bytes, {{QStringLiteral("Name"), name}, {QStringLiteral("Class"), origin}});
    return added ? Added::New : Added::Failed;
}
