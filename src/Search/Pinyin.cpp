#include "Search/Pinyin.h"

#include "Search/PinyinTable.h"

#include <algorithm>

quint16 PinyinTable::supplementarySet(char32_t character)
{
    if (character > 0x10ffff)
        return 0;
    // The greatest entry of this code point, if there is one, sorts just below the next one.
    const quint32 *end = supplementary + supplementaryCount;
    const quint32 *above =
        std::upper_bound(supplementary, end, quint32(character) << setBits | ((1u << setBits) - 1));
    if (above == supplementary || above[-1] >> setBits != character)
        return 0;
    return quint16(above[-1] & ((1u << setBits) - 1));
}

QStringList Pinyin::readings(char32_t character)
{
    const quint16 set = PinyinTable::readingSet(character);
    QStringList result;
    for (int i = PinyinTable::setStart[set]; i < PinyinTable::setStart[set + 1]; ++i) {
        const PinyinTable::Syllable &syllable = PinyinTable::syllables[PinyinTable::setMembers[i]];
        result << QString::fromLatin1(syllable.text, syllable.length);
    }
    return result;
}
