#pragma once

// The layout of the reading table that quiver_pinyingen writes into the build tree from
// Unihan. It is constant data: nothing is built when the program starts.

#include <QtGlobal>

namespace PinyinTable {

struct Syllable
{
    char text[7]; // toneless, "v" for ü; "zhuang" is the longest
    quint8 length;
};

// Every distinct syllable, in alphabetical order; an id is an index.
extern const Syllable syllables[];
extern const int syllableCount;

// A reading set is the list of syllable ids of one or more characters: set s is
// setMembers[setStart[s]] up to setMembers[setStart[s + 1]], kMandarin's reading first. Set 0
// is empty, the set of every character without a reading.
extern const quint16 setStart[];
extern const quint16 setMembers[];
extern const int setCount;

// The basic plane in pages of 256 characters: bmpPages[bmpPageOf[c >> 8]][c & 0xff] is the set
// of c. Page 0 is all zeros and stands for every page without readings.
extern const quint8 bmpPageOf[256];
extern const quint16 bmpPages[][256];

// The other planes have far fewer readings: (code point << setBits) | set, sorted.
constexpr int setBits = 11;
extern const quint32 supplementary[];
extern const int supplementaryCount;

quint16 supplementarySet(char32_t character);

inline quint16 readingSet(char32_t character)
{
    if (character < 0x10000)
        return bmpPages[bmpPageOf[character >> 8]][character & 0xff];
    return supplementarySet(character);
}

} // namespace PinyinTable
