#pragma once

// The layout of the table of full case foldings that quiver_casefoldgen writes into the build
// tree from Unicode's CaseFolding.txt: the characters whose full folding is not the simple one
// ("ß" into "ss", "ﬁ" into "fi", "İ" into "i"). Every other character folds as
// QChar::toCaseFolded folds it.

#include <QtGlobal>

namespace CaseFoldTable {

struct Expansion
{
    char16_t character;
    quint8 length;
    char16_t folded[3];
};

// Sorted by character; all of them, and what they fold into, lie in the basic plane.
extern const Expansion expansions[];
extern const int expansionCount;

// The basic plane in blocks of 256, bit (c >> 8) & 63 of pages[c >> 14] for the block of c: the
// block holds an expansion, or a character that folds at all. Most text lies in blocks of
// neither: Chinese never needs a look-up.
extern const quint64 expandingPages[4];
extern const quint64 foldingPages[4];

inline bool mayExpand(char16_t c)
{
    return expandingPages[c >> 14] >> (c >> 8 & 63) & 1;
}

inline bool mayFold(char16_t c)
{
    return foldingPages[c >> 14] >> (c >> 8 & 63) & 1;
}

// The expansion of c, or null.
const Expansion *expansion(char16_t c);

} // namespace CaseFoldTable
