#pragma once

#include <QString>
#include <QVector>

#include "Search/Matcher.h"

// The catalogue's items as the search box sees them: names and notes case-folded, with their
// runs, held in memory and read again from the catalogue when it has changed since.
class SearchIndex final
{
public:
    // The ids of the items that match what was typed, best first, at most limit of them. A
    // better band always comes first; within a band, more runs, then later runs, then the
    // shorter name, then the lower id.
    // bands, when given, receives each one's band.
    QVector<int> find(const QString &typed, int limit, QVector<MatchBand> *bands = nullptr);
    // Reads the catalogue again if it changed since it was last read.
    void refresh();
    // Counts a run of the item just written to the catalogue, changesBefore being the
    // catalogue's count of changes before it: the index stays current without a new read.
    void ran(int id, quint64 changesBefore);
    // Bytes held per item, for the benchmarks.
    qint64 memoryUse() const;

private:
    // Small and without pointers: the names and notes lie one after another in one block of
    // text for all items, each item's where the one before ends.
    struct Item
    {
        int id;
        int runCount;
        quint32 runDate;
        // At most 65,535 characters of each are searched.
        quint16 nameLength;
        quint16 noteLength;
    };

    QVector<Item> m_items;
    QString m_text;
    quint64 m_readAt = ~quint64(0);
    qint64 m_elsewhereAt = -1;
};
