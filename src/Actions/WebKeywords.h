#pragma once

#include "Actions/ActionProvider.h"

class SettingsControl;

// A web search by keyword: "bd 天气" searches 百度 for 天气. The table of keywords and address
// templates is the user's ("Search/WebKeywordTable" as JSON); "%s" in a template stands for the
// search text, percent-encoded as UTF-8.
class WebKeywords final : public ActionProvider
{
public:
    struct Keyword
    {
        QString keyword;
        QString name;
        QString address;

        bool operator==(const Keyword &other) const
        {
            return keyword == other.keyword && name == other.name && address == other.address;
        }
    };

    explicit WebKeywords(SettingsControl &settings);

    QString key() const override { return QStringLiteral("WebKeywords"); }
    QString label() const override;
    QVector<ActionRow> query(const SearchQuery &query, const QString &typed) override;
    ActionOutcome run(const ActionRow &row, const ActionContext &context) override;

    // 百度, 必应, Google, 哔哩哔哩, 知乎, GitHub and 维基百科.
    static QVector<Keyword> defaults();
    const QVector<Keyword> &table() const { return m_table; }
    // Stores a new table for good. A table with a fault (see problem) is refused whole and the
    // one in use stays; so does one the settings file would not take. Whether it was stored.
    bool setTable(const QVector<Keyword> &table);
    // Why the table cannot be stored, in the settings window's words; empty when it can: every
    // keyword a single word, used once; every address an http or https address with "%s".
    static QString problem(const QVector<Keyword> &table);
    // The address the text is searched at.
    static QUrl address(const Keyword &keyword, const QString &text);

private:
    void load();

    SettingsControl &m_settings;
    QVector<Keyword> m_table;
};
