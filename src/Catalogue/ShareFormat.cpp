#include "Catalogue/ShareFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlField>

namespace {
QString valueText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Bool:
    case QJsonValue::Double:
        return value.toVariant().toString();
    default:
        return QString();
    }
}
} // namespace

QString ShareFormat::toText(const QList<QSqlRecord> &items)
{
    QJsonArray array;
    for (const QSqlRecord &record : items) {
        QJsonObject object;
        for (int field = 0; field < record.count(); ++field)
            object.insert(record.fieldName(field), record.value(field).toString());
        array.append(object);
    }
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

std::optional<QList<QVariantMap>> ShareFormat::fromText(const QString &text)
{
    if (text.size() > maximumLength)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (!document.isArray())
        return std::nullopt;
    QList<QVariantMap> items;
    for (const QJsonValue &element : document.array()) {
        QVariantMap item;
        const QJsonObject object = element.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            item.insert(it.key(), valueText(it.value()));
        items << item;
    }
    return items;
}
