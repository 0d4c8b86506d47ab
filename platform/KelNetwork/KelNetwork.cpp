#include "KelNetwork.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {
constexpr int maximumRedirects = 5;

bool isWebScheme(const QUrl &url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}
} // namespace

QByteArray KelNetwork::blockingGet(const QUrl &url, int timeout, qint64 maximumSize)
{
    // A page may name "file:///…" as its icon; only the web is fetched.
    if (!url.isValid() || !isWebScheme(url) || timeout <= 0)
        return QByteArray();

    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(maximumRedirects);
    // Qt would unpack a compressed body before the size limit sees it: a few kilobytes of gzip
    // can unpack to gigabytes.
    request.setRawHeader("Accept-Encoding", "identity");
    QNetworkReply *reply = manager.get(request);
    // Qt's network thread reads ahead of this one: unbounded, an endless body fills memory
    // faster than the progress below can stop it.
    reply->setReadBufferSize(maximumSize + 1);

    bool refused = false;
    QUrl current = url;
    QObject::connect(reply, &QNetworkReply::redirected, reply, [&](const QUrl &target) {
        const bool downgrade =
            current.scheme() == QLatin1String("https") && target.scheme() != QLatin1String("https");
        if (isWebScheme(target) && !downgrade) {
            current = target;
            emit reply->redirectAllowed();
            return;
        }
        refused = true;
        reply->abort();
    });
    // Stops as soon as the announced or received size passes the limit, before it is buffered.
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [&](qint64 received, qint64 total) {
                         if (received > maximumSize || total > maximumSize) {
                             refused = true;
                             reply->abort();
                         }
                     });

    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(timeout);
    // User input stays queued, so nothing can re-enter the caller while it waits.
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    QByteArray body;
    if (!refused && reply->error() == QNetworkReply::NoError)
        body = reply->read(maximumSize + 1);
    delete reply;
    return body.size() > maximumSize ? QByteArray() : body;
}
