#include "Icons/SiteIcon.h"

#include <QDeadlineTimer>
#include <QUrlQuery>

#include "Icons/IconStore.h"
#include "KelNetwork.h"
#include "Core/SettingsControl.h"
#include "Icons/WebPage.h"

#include <easylogging++.h>

namespace {
// For the whole fetch, however many requests it takes: the window waits for it.
constexpr int timeout = 6000;

QPixmap download(const QUrl &url, const QDeadlineTimer &deadline)
{
    const QByteArray bytes = KelNetwork::blockingGet(url, int(deadline.remainingTime()));
    if (bytes.isEmpty())
        return QPixmap();
    QString error;
    const QImage image = IconStore::decode(bytes, &error);
    if (image.isNull())
        LOG(INFO) << "site icon " << url.toString() << " skipped: " << error;
    return QPixmap::fromImage(image);
}

QPixmap fromService(const QUrl &service, const QUrl &site)
{
    QUrl request = service;
    request.setPath(request.path() + QStringLiteral("/favicon/get.php"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("url"), site.toString());
    request.setQuery(query);
    return download(request, QDeadlineTimer(timeout));
}

QPixmap fromSite(const WebPage &page, const QDeadlineTimer &deadline)
{
    const QUrl named = page.iconUrl();
    QPixmap pixmap = download(named, deadline);
    const QUrl root = page.url().resolved(QUrl(QStringLiteral("/favicon.ico")));
    if (pixmap.isNull() && named != root)
        pixmap = download(root, deadline);
    return pixmap;
}
} // namespace

QPixmap SiteIcon::fetch(const QUrl &site)
{
    const QUrl service = SettingsControl::instance().faviconService();
    if (!service.isEmpty())
        return fromService(service, site);
    const QDeadlineTimer deadline(timeout);
    return fromSite(WebPage::fetch(site, timeout), deadline);
}

QPixmap SiteIcon::fetch(const WebPage &page)
{
    const QUrl service = SettingsControl::instance().faviconService();
    if (!service.isEmpty())
        return fromService(service, page.url());
    return fromSite(page, QDeadlineTimer(timeout));
}
