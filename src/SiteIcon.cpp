#include "SiteIcon.h"

#include <QUrlQuery>

#include "KelNetwork.h"
#include "SettingsControl.h"
#include "WebPage.h"

namespace {
constexpr int timeout = 6000;

QPixmap download(const QUrl &url)
{
    QPixmap pixmap;
    pixmap.loadFromData(KelNetwork::net_Get(url, timeout));
    return pixmap;
}

QPixmap fromService(const QUrl &service, const QUrl &site)
{
    QUrl request = service;
    request.setPath(request.path() + QStringLiteral("/favicon/get.php"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("url"), site.toString());
    request.setQuery(query);
    return download(request);
}

QPixmap fromSite(const WebPage &page)
{
    const QUrl named = page.iconUrl();
    QPixmap pixmap = download(named);
    const QUrl root = page.url().resolved(QUrl(QStringLiteral("/favicon.ico")));
    if (pixmap.isNull() && named != root)
        pixmap = download(root);
    return pixmap;
}
} // namespace

QPixmap SiteIcon::fetch(const QUrl &site)
{
    const QUrl service = SettingsControl::instance().faviconService();
    if (!service.isEmpty())
        return fromService(service, site);
    return fromSite(WebPage::fetch(site, timeout));
}

QPixmap SiteIcon::fetch(const WebPage &page)
{
    const QUrl service = SettingsControl::instance().faviconService();
    if (!service.isEmpty())
        return fromService(service, page.url());
    return fromSite(page);
}
