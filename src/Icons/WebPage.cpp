#include "Icons/WebPage.h"

#include <QRegularExpression>
#include <QTextDocumentFragment>

#include "KelNetwork.h"

namespace {
QString firstCapture(const QString &text, const QString &pattern)
{
    return QRegularExpression(pattern).match(text).captured(1);
}

// Titles and descriptions come as HTML text: "A &amp; B" means "A & B".
QString plainText(const QString &html)
{
    return QTextDocumentFragment::fromHtml(html).toPlainText().trimmed();
}

QString attribute(const QString &tag, const QString &name)
{
    const QRegularExpression pattern(
        QStringLiteral("\\b%1\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))").arg(name),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(tag);
    for (int group = 1; group <= 3; ++group)
        if (match.capturedStart(group) >= 0)
            return match.captured(group);
    return QString();
}
} // namespace

WebPage::WebPage(const QUrl &url, const QByteArray &body)
    : m_url(url)
    , m_text(QString::fromUtf8(body))
{}

WebPage WebPage::fetch(const QUrl &url, int timeout)
{
    return WebPage(url, KelNetwork::blockingGet(url, timeout));
}

QString WebPage::title() const
{
    const QString title =
        plainText(firstCapture(m_text, QStringLiteral("<title.*?>(.*?)<\\/title>")));
    return title.isEmpty() ? QStringLiteral("Web书签") : title;
}

QString WebPage::description() const
{
    return plainText(
        firstCapture(m_text, QStringLiteral("\"description\" content=\"(.*?)\".*?\\/>")));
}

QUrl WebPage::iconUrl() const
{
    static const QRegularExpression linkTag(QStringLiteral("<link\\b[^>]*>"),
                                            QRegularExpression::CaseInsensitiveOption);
    QString touchIcon;
    for (auto it = linkTag.globalMatch(m_text); it.hasNext();) {
        const QString tag = it.next().captured();
        const QStringList rel = attribute(tag, QStringLiteral("rel"))
                                    .toLower()
                                    .split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString href = attribute(tag, QStringLiteral("href")).trimmed();
        if (href.isEmpty())
            continue;
        if (rel.contains(QLatin1String("icon")))
            return m_url.resolved(QUrl(plainText(href)));
        if (touchIcon.isEmpty() && rel.contains(QLatin1String("apple-touch-icon")))
            touchIcon = plainText(href);
    }
    if (!touchIcon.isEmpty())
        return m_url.resolved(QUrl(touchIcon));
    return m_url.resolved(QUrl(QStringLiteral("/favicon.ico")));
}
