#pragma once

#include <QPixmap>
#include <QUrl>

class WebPage;

// The icon of a web site. With a favicon service configured ("Form/FaviconHost") the service
// is asked; otherwise the icon the site itself names is downloaded.
namespace SiteIcon {
// Null when no icon could be had within the time-out.
QPixmap fetch(const QUrl &site);
// The same for a page already downloaded, so that its body is not fetched twice.
QPixmap fetch(const WebPage &page);
} // namespace SiteIcon
