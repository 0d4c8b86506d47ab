#include "Update/UpdateReply.h"

#include <QJsonDocument>
#include <QJsonObject>

std::optional<UpdateReply> UpdateReply::parse(const QByteArray &reply)
{
    const QJsonDocument document = QJsonDocument::fromJson(reply);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const auto text = [&object](const char *key) {
        return object.value(QLatin1String(key)).toString();
    };
    return UpdateReply{text("version"), text("body"), QUrl(text("download_url")),
                       QUrl(text("body_url"))};
}
