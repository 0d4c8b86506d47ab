#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// One download of a web page, read for what a bookmark of it needs: its title, its
// description and the address of the icon the site names.
class WebPage final
{
public:
    WebPage(const QUrl &url, const QByteArray &body);
    // A GET with the given time-out; a failed download gives an empty body.
    static WebPage fetch(const QUrl &url, int timeout = 5000);

    QUrl url() const { return m_url; }
    // The text of the title element, character references decoded and trimmed; "Web书签"
    // when the page has none.
    QString title() const;
    // The content of the description meta tag, decoded and trimmed, or an empty text.
    QString description() const;
    // The icon the page links to ("icon", "shortcut icon", then "apple-touch-icon"),
    // resolved against the page; "/favicon.ico" at the site's root when it names none.
    QUrl iconUrl() const;

private:
    QUrl m_url;
    QString m_text;
};
