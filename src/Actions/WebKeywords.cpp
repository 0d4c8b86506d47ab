#include "Actions/WebKeywords.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QUrl>

#include "Desktop/DesktopShell.h"
#include "Core/SettingsControl.h"

#include <easylogging++.h>

namespace {
const QString placeholder = QStringLiteral("%s");

QString keywordProblem(const WebKeywords::Keyword &entry)
{
    if (entry.keyword.isEmpty())
        return QStringLiteral("关键字不能为空");
    for (const QChar c : entry.keyword)
        if (c.isSpace())
            return QStringLiteral("关键字不能含空格: ") + entry.keyword;
    const QUrl url(QString(entry.address).replace(placeholder, QStringLiteral("x")),
                   QUrl::StrictMode);
    if (!entry.address.contains(placeholder))
        return QStringLiteral("网址中缺少%s: ") + entry.keyword;
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return QStringLiteral("网址无效: ") + entry.keyword;
    return QString();
}
} // namespace

WebKeywords::WebKeywords(SettingsControl &settings)
    : m_settings(settings)
{
    load();
}

QString WebKeywords::label() const
{
    return QStringLiteral("网页搜索");
}

QVector<WebKeywords::Keyword> WebKeywords::defaults()
{
    return {
        {QStringLiteral("bd"), QStringLiteral("百度"),
         QStringLiteral("https://www.baidu.com/s?wd=%s")},
        {QStringLiteral("by"), QStringLiteral("必应"),
         QStringLiteral("https://cn.bing.com/search?q=%s")},
        {QStringLiteral("gg"), QStringLiteral("Google"),
         QStringLiteral("https://www.google.com/search?q=%s")},
        {QStringLiteral("bili"), QStringLiteral("哔哩哔哩"),
         QStringLiteral("https://search.bilibili.com/all?keyword=%s")},
        {QStringLiteral("zh"), QStringLiteral("知乎"),
         QStringLiteral("https://www.zhihu.com/search?type=content&q=%s")},
        {QStringLiteral("gh"), QStringLiteral("GitHub"),
         QStringLiteral("https://github.com/search?q=%s")},
        {QStringLiteral("wiki"), QStringLiteral("维基百科"),
         QStringLiteral("https://zh.wikipedia.org/w/index.php?search=%s")},
    };
}

void WebKeywords::load()
{
    const std::optional<QString> stored = m_settings.webKeywordTable();
    m_table = defaults();
    if (!stored)
        return;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(stored->toUtf8(), &error);
    if (!document.isArray()) {
        LOG(WARNING) << "网页搜索关键字表无效, 使用默认值: " << error.errorString();
        return;
    }
    // One broken entry (edited by hand) costs that entry only.
    QVector<Keyword> table;
    QSet<QString> seen;
    for (const QJsonValue &value : document.array()) {
        const QJsonObject object = value.toObject();
        const Keyword entry{object.value(QStringLiteral("keyword")).toString(),
                            object.value(QStringLiteral("name")).toString(),
                            object.value(QStringLiteral("address")).toString()};
        QString problem = keywordProblem(entry);
        if (problem.isEmpty() && seen.contains(entry.keyword.toCaseFolded()))
            problem = QStringLiteral("关键字重复: ") + entry.keyword;
        if (!problem.isEmpty()) {
            LOG(WARNING) << "网页搜索关键字已忽略: " << problem;
            continue;
        }
        seen.insert(entry.keyword.toCaseFolded());
        table << entry;
    }
    m_table = table;
}

QString WebKeywords::problem(const QVector<Keyword> &table)
{
    QSet<QString> seen;
    for (const Keyword &entry : table) {
        const QString problem = keywordProblem(entry);
        if (!problem.isEmpty())
            return problem;
        if (seen.contains(entry.keyword.toCaseFolded()))
            return QStringLiteral("关键字重复: ") + entry.keyword;
        seen.insert(entry.keyword.toCaseFolded());
    }
    return QString();
}

bool WebKeywords::setTable(const QVector<Keyword> &table)
{
    if (!problem(table).isEmpty())
        return false;
    QJsonArray array;
    for (const Keyword &entry : table)
        array.append(QJsonObject{{QStringLiteral("keyword"), entry.keyword},
                                 {QStringLiteral("name"), entry.name},
                                 {QStringLiteral("address"), entry.address}});
    const QString text = QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
    if (!m_settings.setWebKeywordTable(text))
        return false;
    m_table = table;
    return true;
}

QUrl WebKeywords::address(const Keyword &keyword, const QString &text)
{
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(text));
    return QUrl(QString(keyword.address).replace(placeholder, encoded), QUrl::StrictMode);
}

QVector<ActionRow> WebKeywords::query(const SearchQuery &, const QString &typed)
{
    // The keyword, one space or more, the search text.
    const QString text = typed.trimmed();
    const int space = text.indexOf(QLatin1Char(' '));
    if (space <= 0)
        return {};
    const QString word = text.left(space).toCaseFolded();
    const QString search = text.mid(space + 1).trimmed();
    if (search.isEmpty())
        return {};
    for (int i = 0; i < m_table.size(); ++i) {
        const Keyword &entry = m_table.at(i);
        if (entry.keyword.toCaseFolded() != word)
            continue;
        const QString name = entry.name.isEmpty() ? entry.keyword : entry.name;
        ActionRow result =
            row(MatchBand::ExactName, QStringLiteral("在%1中搜索: %2").arg(name, search),
                address(entry, search).toDisplayString());
        result.iconName = QStringLiteral("web-browser");
        result.payload = QString::fromLatin1(address(entry, search).toEncoded());
        return {result};
    }
    return {};
}

ActionOutcome WebKeywords::run(const ActionRow &row, const ActionContext &context)
{
    const QUrl url = QUrl::fromEncoded(row.payload.toLatin1(), QUrl::StrictMode);
    return ActionOutcome::later(DesktopShell::openAddress(url, context.userTime),
                                QStringLiteral("打开失败, 无法启动"));
}
