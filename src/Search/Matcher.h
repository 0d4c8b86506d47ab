#pragma once

#include <QString>

#include <memory>

// How a typed query meets an item. A better band is a lower value.
enum class MatchBand {
    ExactName,
    NamePrefix,
    Initials,
    NameSubstring,
    NamePinyin,
    Note,
    Fuzzy,
    None
};

// What the user typed, prepared once for matching against many items. Copies are cheap and
// share the preparation.
class SearchQuery
{
public:
    explicit SearchQuery(const QString &typed);

    // Nothing but white space was typed; such a query matches no item.
    bool isEmpty() const;
    // "%" or "_" make the query an SQL LIKE pattern, matched as text only.
    bool isPattern() const;
    // The query as text is matched: folded, without surrounding white space.
    const QString &text() const;

private:
    struct Prepared;
    friend MatchBand
    matchItem(const SearchQuery &query, QStringView foldedName, QStringView foldedNote);

    std::shared_ptr<const Prepared> m_prepared;
};

// Unicode's full case folding ("Straße" and "STRASSE" both fold to "strasse"), full-width ASCII
// as ASCII: the form the index stores names and notes in. Folding it again changes nothing.
QString foldForSearch(const QString &text);

// The best band in which the query matches an item, given its name and note as foldForSearch
// gives them. Must be fast: it runs for every item of a 100k catalogue on each key press.
// The text may lie anywhere: the index keeps all its names and notes in one block.
MatchBand matchItem(const SearchQuery &query, QStringView foldedName, QStringView foldedNote);
