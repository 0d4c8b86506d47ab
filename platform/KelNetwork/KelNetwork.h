#pragma once

#include <QByteArray>
#include <QUrl>

class KelNetwork final
{
public:
    // Pages and icons are small; a body beyond this is no page or icon worth reading.
    static constexpr qint64 defaultMaximumSize = 4 * 1024 * 1024;

    // A blocking GET over HTTP or HTTPS that follows a few redirects, none of them to another
    // scheme or from HTTPS down to HTTP. Returns the body, or an empty array on any failure: no
    // connection, an error status, a body over maximumSize bytes, or no complete answer within
    // timeout ms. While it waits the application repaints but takes no user input.
    static QByteArray
    blockingGet(const QUrl &url, int timeout, qint64 maximumSize = defaultMaximumSize);
};
