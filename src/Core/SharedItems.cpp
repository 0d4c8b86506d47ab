#include "Core/SharedItems.h"

#include <QCryptographicHash>
#include <QSqlQuery>

#include "Core/DataControl.h"
#include "Core/SettingsControl.h"

#include <easylogging++.h>

namespace {
// Each item's entry: "<ID>" while it waits, "<ID>:<fingerprint>" once approved.
QStringList entries()
{
    return SettingsControl::instance().pastedItems();
}

QString idOf(const QString &entry)
{
    return entry.section(QLatin1Char(':'), 0, 0);
}

bool store(const QStringList &kept)
{
    if (SettingsControl::instance().setPastedItems(kept))
        return true;
    LOG(WARNING) << "粘贴项目的确认记录保存失败";
    return false;
}

QStringList without(const QStringList &from, const QStringList &ids)
{
    QStringList kept;
    for (const QString &entry : from)
        if (!ids.contains(idOf(entry)))
            kept << entry;
    return kept;
}

QStringList texts(const QVariantList &ids)
{
    QStringList list;
    for (const QVariant &id : ids)
        list << id.toString();
    return list;
}
} // namespace

QString SharedItems::fingerprint(int type, const QString &path, const QString &arguments)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QString::number(type).toUtf8() + '\0' + path.toUtf8() + '\0' + arguments.toUtf8());
    return QString::fromLatin1(hash.result().toHex());
}

bool SharedItems::pasted(const QVariantList &ids)
{
    const QStringList known = entries();
    QVector<int> listed;
    for (const QString &entry : known)
        listed << idOf(entry).toInt();
    QStringList present;
    if (!listed.isEmpty()) {
        QSqlQuery found = DataControl::instance().items_byId(QStringLiteral("ID"), listed);
        while (found.next())
            present << found.value(0).toString();
    }
    QStringList kept;
    for (const QString &entry : known)
        if (present.contains(idOf(entry)))
            kept << entry;
    return store(without(kept, texts(ids)) + texts(ids));
}

bool SharedItems::waitsForApproval(const QVariant &id, const QString &fingerprint)
{
    const QString item = id.toString();
    for (const QString &entry : entries())
        if (idOf(entry) == item)
            return entry != item + QLatin1Char(':') + fingerprint;
    return false;
}

bool SharedItems::approve(const QVariant &id, const QString &fingerprint)
{
    const QString item = id.toString();
    return store(without(entries(), {item}) + QStringList{item + QLatin1Char(':') + fingerprint});
}

void SharedItems::forget(const QVariantList &ids)
{
    const QStringList known = entries();
    const QStringList kept = without(known, texts(ids));
    if (kept.size() != known.size())
        store(kept);
}
