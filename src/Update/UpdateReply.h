#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// The answer of the update service: a JSON object naming the newest version.
struct UpdateReply
{
    QString version;
    QString body;
    QUrl downloadUrl;
    QUrl bodyUrl;

    // nullopt unless the reply is a JSON object; missing or non-text values read as empty.
    static std::optional<UpdateReply> parse(const QByteArray &reply);
};
