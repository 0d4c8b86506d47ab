#include "Search/SearchIndex.h"

#include <QDateTime>
#include <QSqlQuery>

#include "Core/DataControl.h"
#include "Search/Matcher.h"

#include <algorithm>
#include <limits>

namespace {
// An index holds this much of a name or a note; a longer one is a text pasted by mistake.
constexpr int longest = std::numeric_limits<quint16>::max();

// The text cut to what the index holds, never between the two halves of a character.
QString held(QString text)
{
    if (text.size() > longest)
        text.truncate(text.at(longest - 1).isHighSurrogate() ? longest - 1 : longest);
    return text;
}
} // namespace

void SearchIndex::refresh()
{
    DataControl &data = DataControl::instance();
    const quint64 changes = data.catalogueChanges();
    const qint64 elsewhere = data.catalogueCommitsElsewhere();
    if (m_readAt == changes && m_elsewhereAt == elsewhere)
        return;
    QVector<Item> items;
    QString text;
    QSqlQuery query = data.items_all(QStringLiteral("ID, Name, Note, RunCount, RunDate"));
    while (query.next()) {
        const QString name = held(foldForSearch(query.value(1).toString()));
        const QString note = held(foldForSearch(query.value(2).toString()));
        items << Item{query.value(0).toInt(), query.value(3).toInt(),
                      quint32(query.value(4).toLongLong()), quint16(name.size()),
                      quint16(note.size())};
        text += name;
        text += note;
    }
    query.finish();
    data.releaseMemory();
    items.squeeze();
    text.squeeze();
    m_items = std::move(items);
    m_text = std::move(text);
    m_readAt = changes;
    m_elsewhereAt = elsewhere;
}

void SearchIndex::ran(int id, quint64 changesBefore)
{
    const quint64 changes = DataControl::instance().catalogueChanges();
    // Anything else written since the last read is left to refresh().
    if (m_readAt != changesBefore || changes != changesBefore + 1)
        return;
    const auto item = std::find_if(m_items.begin(), m_items.end(),
                                   [id](const Item &candidate) { return candidate.id == id; });
    if (item == m_items.end())
        return;
    ++item->runCount;
    item->runDate = quint32(QDateTime::currentSecsSinceEpoch());
    m_readAt = changes;
}

QVector<int> SearchIndex::find(const QString &typed, int limit, QVector<MatchBand> *bands)
{
    refresh();
    const SearchQuery query(typed);
    if (query.isEmpty())
        return {};
    struct Hit
    {
        MatchBand band;
        const Item *item;
    };
    QVector<Hit> hits;
    const QStringView text(m_text);
    int at = 0;
    for (const Item &item : qAsConst(m_items)) {
        const MatchBand band = matchItem(query, text.mid(at, item.nameLength),
                                         text.mid(at + item.nameLength, item.noteLength));
        if (band != MatchBand::None)
            hits << Hit{band, &item};
        at += item.nameLength + item.noteLength;
    }
    // Usage orders within a band only: one accidental pick never lifts an item above an exact
    // name.
    const auto better = [](const Hit &a, const Hit &b) {
        if (a.band != b.band)
            return a.band < b.band;
        if (a.item->runCount != b.item->runCount)
            return a.item->runCount > b.item->runCount;
        if (a.item->runDate != b.item->runDate)
            return a.item->runDate > b.item->runDate;
        if (a.item->nameLength != b.item->nameLength)
            return a.item->nameLength < b.item->nameLength;
        return a.item->id < b.item->id;
    };
    const int shown = std::min(limit, int(hits.size()));
    std::partial_sort(hits.begin(), hits.begin() + shown, hits.end(), better);
    QVector<int> ids;
    ids.reserve(shown);
    for (int i = 0; i < shown; ++i)
        ids << hits.at(i).item->id;
    if (bands) {
        bands->clear();
        for (int i = 0; i < shown; ++i)
            *bands << hits.at(i).band;
    }
    return ids;
}

qint64 SearchIndex::memoryUse() const
{
    return qint64(m_items.capacity()) * qint64(sizeof(Item)) +
           (m_text.capacity() + 1) * qint64(sizeof(QChar));
}
