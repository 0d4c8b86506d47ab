#pragma once

#include <QByteArray>
#include <QUrl>

class KelNetwork final
{
public:
    // A blocking GET over HTTP or HTTPS that follows a few redirects. Returns the body, or an
    // empty array on any failure: no connection, an error status, or no complete answer within
    // timeout ms. While it waits the application repaints but takes no user input.
    static QByteArray net_Get(const QUrl &url, int timeout);
};
