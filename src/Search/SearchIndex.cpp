#include "SearchIndex.h"

#include <QSqlQuery>

#include "DataControl.h"
#include "Matcher.h"

#include <algorithm>

void SearchIndex::refresh()
{
    DataControl &data = DataControl::instance();
    if (m_readAt == data.catalogueChanges())
        return;
    QVector<Item> items;
    QSqlQuery query = data.items_all(QStringLiteral("ID, Name, Note, RunCount, RunDate"));
    while (query.next())
        items << Item{foldForSearch(query.value(1).toString()),
                      foldForSearch(query.value(2).toString()), query.value(4).toLongLong(),
                      query.value(0).toInt(), query.value(3).toInt()};
    items.squeeze();
    m_items = std::move(items);
    m_readAt = data.catalogueChanges();
}

QVector<int> SearchIndex::find(const QString &typed, int limit)
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
    for (const Item &item : qAsConst(m_items)) {
        const MatchBand band = matchItem(query, item.name, item.note);
        if (band != MatchBand::None)
            hits << Hit{band, &item};
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
        if (a.item->name.size() != b.item->name.size())
            return a.item->name.size() < b.item->name.size();
        return a.item->id < b.item->id;
    };
    const int shown = std::min(limit, int(hits.size()));
    std::partial_sort(hits.begin(), hits.begin() + shown, hits.end(), better);
    QVector<int> ids;
    ids.reserve(shown);
    for (int i = 0; i < shown; ++i)
        ids << hits.at(i).item->id;
    return ids;
}

qint64 SearchIndex::memoryUse() const
{
    // QString's data block: a header, the characters and the terminating zero; the shared empty
    // string costs nothing.
    const auto text = [](const QString &s) -> qint64 {
        return s.isEmpty() ? 0 : qint64(sizeof(QArrayData)) + (s.capacity() + 1) * 2;
    };
    qint64 bytes = qint64(m_items.capacity()) * qint64(sizeof(Item));
    for (const Item &item : m_items)
        bytes += text(item.name) + text(item.note);
    return bytes;
}
