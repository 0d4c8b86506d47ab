#include "Search/Matcher.h"

#include "Search/CaseFoldTable.h"
#include "Search/PinyinTable.h"

#include <QtAlgorithms>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

// The pinyin forms are matched character by character as a set of reached query positions,
// kept as the bits of a 64-bit word: one step per character of the name takes every reading of
// it at once, so polyphonic names never multiply into combinations. Everything a step needs is
// worked out per query beforehand, down to which characters can begin a match at all, so the
// characters that cannot are skipped with one bit test each.

namespace {

// Positions 0 to the length of the key must fit one 64-bit mask.
constexpr int maxMaskedLength = 63;

// How a syllable can be taken at each query position (bit p: from key[p] on).
struct SyllableMasks
{
    quint64 whole = 0;   // spelled out
    quint64 initial = 0; // by its first letter
    quint64 digraph = 0; // by "zh", "ch" or "sh"
    quint64 prefix = 0;  // the rest of the query spells its beginning
    int length = 0;
};

// What a reading set gives from the start of the key alone, the usual step.
struct FirstStep
{
    quint64 whole = 0;    // by whole syllables
    quint64 initials = 0; // by initials
    bool prefix = false;  // the whole key begins a syllable
};

// The positions reached after some characters: by any form from anywhere, and from the first
// character on by whole syllables or by initials only (the name's own bands). Of "any", the
// positions reached only by characters matched as themselves from inside a word on are confined
// to that word: "af" is not spelled by "mozill(a) (f)irefox".
struct Reached
{
    quint64 any = 0;
    quint64 whole = 0;
    quint64 initials = 0;
    quint64 confined = 0;
};

// What one pass over a name or a note found.
struct Found
{
    bool text = false;     // the query as text (the name's start is tested before)
    bool any = false;      // a pinyin form anywhere
    bool whole = false;    // from the first character, whole syllables, the last maybe cut short
    bool initials = false; // from the first character, initials
    int keyFront = -1;     // where the key's first character is first found
};

// The syllables spell ü as v, as keyboards do; a ü typed as such (lüe, nü) means the same.
inline char32_t pinyinLetter(char32_t c)
{
    return c == 0xfc ? 'v' : c;
}

// Input methods type ’ and, in Chinese punctuation mode, ‘ between syllables.
inline bool isApostrophe(char32_t c)
{
    return c == '\'' || c == 0x2018 || c == 0x2019;
}

// QChar::isSpace without the call out of line for every CJK character: the separators of
// Unicode (Zs, Zl, Zp) and the controls 9 to 13 and 0x85.
inline bool isSpace(char32_t c)
{
    if (c < 0x80)
        return c == ' ' || (c >= 9 && c <= 13);
    if (c < 0x2000)
        return c == 0x85 || c == 0xa0 || c == 0x1680;
    return c <= 0x200a || c == 0x2028 || c == 0x2029 || c == 0x202f || c == 0x205f || c == 0x3000;
}

bool isGapOutsideAscii(char32_t c)
{
    switch (QChar::category(uint(c))) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Punctuation_Connector:
    case QChar::Punctuation_Dash:
    case QChar::Punctuation_Open:
    case QChar::Punctuation_Close:
    case QChar::Punctuation_InitialQuote:
    case QChar::Punctuation_FinalQuote:
    case QChar::Punctuation_Other:
    case QChar::Symbol_Math:
    case QChar::Symbol_Currency:
    case QChar::Symbol_Modifier:
    case QChar::Symbol_Other:
        return true;
    case QChar::Mark_NonSpacing:
        // The variation selectors that make a symbol an emoji.
        return (c >= 0xfe00 && c <= 0xfe0f) || (c >= 0xe0100 && c <= 0xe01ef);
    default:
        return false;
    }
}

// What stands between words as white space does: white space, punctuation, symbols and emoji,
// and the invisible characters joining or varying them. Letters, digits and marks make words.
inline bool isGap(char32_t c)
{
    // Every ASCII character but the letters and digits, as two bit masks.
    static constexpr quint64 asciiGaps[] = {~quint64(0x03ff) << 48 | quint64(0xffff'ffff'ffff),
                                            ~(quint64(0x07ff'fffe) << 32 | quint64(0x07ff'fffe))};
    if (c < 0x80)
        return asciiGaps[c >> 6] >> (c & 63) & 1;
    return isGapOutsideAscii(c);
}

// An apostrophe between letters keeps them one word: "Assassin's Creed" is two words.
inline bool joinsWords(char32_t c)
{
    return c == '\'' || c == 0x2019;
}

inline bool isWordGap(char32_t c)
{
    return !joinsWords(c) && isGap(c);
}

inline const char16_t *units(QStringView text)
{
    return reinterpret_cast<const char16_t *>(text.utf16());
}

// The character at i, moving i past it; a lone surrogate stands for itself.
inline char32_t next(const char16_t *text, int size, int &i)
{
    const char32_t c = text[i++];
    if (QChar::isHighSurrogate(c) && i < size && QChar::isLowSurrogate(text[i]))
        return QChar::surrogateToUcs4(ushort(c), ushort(text[i++]));
    return c;
}

// Whether the character at "at" continues a word of letters or digits begun before it, rather
// than beginning one. A Chinese character is a word of its own.
bool continuesWord(const char16_t *text, int at)
{
    if (at == 0)
        return false;
    char32_t before = text[at - 1];
    if (QChar::isLowSurrogate(before) && at >= 2 && QChar::isHighSurrogate(text[at - 2]))
        before = QChar::surrogateToUcs4(ushort(text[at - 2]), ushort(before));
    return !isWordGap(before) && PinyinTable::readingSet(before) == 0;
}

// SQL LIKE without escapes, as the old search had it: "%" any run, "_" any one character.
bool like(QStringView pattern, QStringView text)
{
    const char16_t *p = units(pattern);
    const char16_t *const patternEnd = p + pattern.size();
    const char16_t *s = units(text);
    const char16_t *const textEnd = s + text.size();
    const auto skipCharacter = [textEnd](const char16_t *at) {
        return at + (QChar::isHighSurrogate(*at) && at + 1 < textEnd && QChar::isLowSurrogate(at[1])
                         ? 2
                         : 1);
    };
    // Only the last "%" is ever retried: whatever an earlier one could take, it can take too.
    const char16_t *afterPercent = nullptr;
    const char16_t *retry = nullptr;
    while (s < textEnd) {
        if (p < patternEnd && *p == u'%') {
            afterPercent = ++p;
            retry = s;
        } else if (p < patternEnd && *p == u'_') {
            ++p;
            s = skipCharacter(s);
        } else if (p < patternEnd && *p == *s) {
            ++p;
            ++s;
        } else if (afterPercent) {
            p = afterPercent;
            s = retry = skipCharacter(retry);
        } else {
            return false;
        }
    }
    while (p < patternEnd && *p == u'%')
        ++p;
    return p == patternEnd;
}

// Unicode's full case folding of c, a character outside ASCII, into buffer: as many units as it
// returns, 0 when c stays. Full-width ASCII and the ideographic space become what they stand for:
// Chinese input methods in full-width mode type "ｗｘ" and "１２３" for wx and 123.
int foldCharacter(char32_t c, char16_t *buffer)
{
    if (c == 0x3000) {
        buffer[0] = u' ';
        return 1;
    }
    if (c < 0x10000 && !CaseFoldTable::mayFold(char16_t(c)))
        return 0;
    if (c < 0x10000 && CaseFoldTable::mayExpand(char16_t(c))) {
        if (const CaseFoldTable::Expansion *expansion = CaseFoldTable::expansion(char16_t(c))) {
            std::copy(expansion->folded, expansion->folded + expansion->length, buffer);
            return expansion->length;
        }
    }
    char32_t folded = QChar::toCaseFolded(uint(c));
    if (folded >= 0xff01 && folded <= 0xff5e)
        folded -= 0xfee0;
    if (folded == c)
        return 0;
    if (!QChar::requiresSurrogates(folded)) {
        buffer[0] = char16_t(folded);
        return 1;
    }
    buffer[0] = QChar::highSurrogate(folded);
    buffer[1] = QChar::lowSurrogate(folded);
    return 2;
}

} // namespace

struct SearchQuery::Prepared
{
    enum class Kind { Empty, Text, Pattern };

    explicit Prepared(const QString &folded);

    MatchBand matchText(QStringView name, QStringView note) const;
    MatchBand matchPattern(QStringView name, QStringView note) const;

    Kind kind = Kind::Empty;
    QString text;

    // Patterns: the pattern without the "%" around it, which the bands stand for.
    QString core;
    bool plainCore = false;
    QString startPattern;
    QString anywherePattern;

    // The key is the query without spaces and apostrophes; input methods put those between
    // syllables, so no syllable may run across such a gap (bit p: a gap before key[p]).
    std::vector<char32_t> key;
    char32_t keyFront = ~char32_t(0); // no character, while the key is empty
    quint64 gaps = 0;
    quint64 accept = 0;  // the bit of the key's length: all of it matched
    bool masked = false; // short enough for the masks
    bool pinyin = false; // and has a letter to spell pinyin with
    bool nonAsciiKey = false;
    std::array<quint64, 128> ascii{}; // where each ASCII character stands in the key
    std::vector<SyllableMasks> syllables;
    std::vector<quint64> setFirst;     // per reading set: where one of its syllables can begin
    std::vector<FirstStep> firstSteps; // per reading set
    std::vector<quint64> startable;    // per UTF-16 unit: a match can begin there

private:
    void prepareText();
    void preparePinyin();
    void markStartable(char16_t unit) { startable[unit >> 6] |= quint64(1) << (unit & 63); }
    bool canStart(char16_t unit) const { return startable[unit >> 6] >> (unit & 63) & 1; }
    quint64 literal(char32_t c) const
    {
        return c < 128 ? ascii[c] : nonAsciiKey ? nonAsciiLiteral(c) : 0;
    }
    quint64 nonAsciiLiteral(char32_t c) const;
    template<bool Name>
    void step(quint16 set, quint64 same, bool inWord, Reached &reached, Found &found) const;
    template<bool Name>
    Found scan(QStringView s) const;
    bool latinInitials(QStringView name) const;
    bool fuzzy(QStringView name, int from) const;
};

SearchQuery::Prepared::Prepared(const QString &folded)
    : text(folded)
{
    if (text.isEmpty())
        return;
    if (text.contains(QLatin1Char('%')) || text.contains(QLatin1Char('_'))) {
        kind = Kind::Pattern;
        int begin = 0;
        int end = text.size();
        while (begin < end && text.at(begin) == QLatin1Char('%'))
            ++begin;
        while (end > begin && text.at(end - 1) == QLatin1Char('%'))
            --end;
        core = text.mid(begin, end - begin);
        plainCore = !core.contains(QLatin1Char('%')) && !core.contains(QLatin1Char('_'));
        startPattern = core + QLatin1Char('%');
        anywherePattern = QLatin1Char('%') + core + QLatin1Char('%');
        return;
    }
    kind = Kind::Text;
    prepareText();
}

void SearchQuery::Prepared::prepareText()
{
    const char16_t *u = units(text);
    bool gap = false;
    for (int i = 0; i < text.size();) {
        const char32_t c = next(u, text.size(), i);
        if (isSpace(c) || isApostrophe(c)) {
            gap = true;
            continue;
        }
        if (gap && key.size() <= size_t(maxMaskedLength))
            gaps |= quint64(1) << key.size();
        gap = false;
        key.push_back(c);
    }
    masked = !key.empty() && key.size() <= size_t(maxMaskedLength);
    if (masked) {
        accept = quint64(1) << key.size();
        for (size_t p = 0; p < key.size(); ++p) {
            if (key[p] < 128)
                ascii[key[p]] |= quint64(1) << p;
            else
                nonAsciiKey = true;
        }
        pinyin =
            std::any_of(key.cbegin(), key.cend(), [](char32_t c) { return c >= 'a' && c <= 'z'; });
    }

    startable.assign(0x10000 / 64, 0);
    markStartable(text.at(0).unicode());
    // The fuzzy form needs to know where the key's first character is.
    if (!key.empty()) {
        keyFront = key.front();
        if (keyFront < 0x10000)
            markStartable(char16_t(keyFront));
    }
    // A pair is decoded before it is judged; these characters are rare.
    std::fill(startable.begin() + 0xd800 / 64, startable.begin() + 0xdc00 / 64, ~quint64(0));
    if (pinyin)
        preparePinyin();
}

void SearchQuery::Prepared::preparePinyin()
{
    const int m = int(key.size());
    syllables.resize(size_t(PinyinTable::syllableCount));
    for (int id = 0; id < PinyinTable::syllableCount; ++id) {
        const PinyinTable::Syllable &syllable = PinyinTable::syllables[id];
        SyllableMasks &masks = syllables[size_t(id)];
        masks.length = syllable.length;
        const bool digraph =
            syllable.text[1] == 'h' &&
            (syllable.text[0] == 'z' || syllable.text[0] == 'c' || syllable.text[0] == 's');
        for (int p = 0; p < m; ++p) {
            if (pinyinLetter(key[size_t(p)]) != char32_t(syllable.text[0]))
                continue;
            const quint64 bit = quint64(1) << p;
            masks.initial |= bit;
            int k = 1;
            while (k < syllable.length && p + k < m && !(gaps >> (p + k) & 1) &&
                   pinyinLetter(key[size_t(p + k)]) == char32_t(syllable.text[k]))
                ++k;
            if (k == syllable.length)
                masks.whole |= bit;
            if (p + k == m)
                masks.prefix |= bit;
            if (digraph && k >= 2)
                masks.digraph |= bit;
        }
    }

    setFirst.assign(size_t(PinyinTable::setCount), 0);
    firstSteps.assign(size_t(PinyinTable::setCount), FirstStep());
    for (int set = 1; set < PinyinTable::setCount; ++set) {
        FirstStep &first = firstSteps[size_t(set)];
        for (int k = PinyinTable::setStart[set]; k < PinyinTable::setStart[set + 1]; ++k) {
            const SyllableMasks &s = syllables[PinyinTable::setMembers[k]];
            setFirst[size_t(set)] |= s.initial;
            first.whole |= (s.whole & 1) << s.length;
            first.initials |= (s.initial & 1) << 1 | (s.digraph & 1) << 2;
            first.prefix |= s.prefix & 1;
        }
    }

    for (int page = 0; page < 256; ++page) {
        if (!PinyinTable::bmpPageOf[page])
            continue;
        const quint16 *sets = PinyinTable::bmpPages[PinyinTable::bmpPageOf[page]];
        for (int low = 0; low < 256; ++low)
            if (setFirst[sets[low]] & 1)
                markStartable(char16_t(page << 8 | low));
    }
}

quint64 SearchQuery::Prepared::nonAsciiLiteral(char32_t c) const
{
    quint64 bits = 0;
    for (size_t p = 0; p < key.size(); ++p)
        if (key[p] == c)
            bits |= quint64(1) << p;
    return bits;
}

// Takes one character of the name or note, given its reading set and where it stands in the key:
// as itself, and by each of its readings in every form. Positions that reach the end of the key
// are recorded in found and dropped.
template<bool Name>
inline void SearchQuery::Prepared::step(
    quint16 set, quint64 same, bool inWord, Reached &reached, Found &found) const
{
    // A match by any form may begin at any character.
    const quint64 from = reached.any | 1;
    Reached to;
    quint64 free = 0;
    quint64 confined = 0;
    if (same) {
        const quint64 fresh = inWord ? 1 : 0;
        free = (((reached.any & ~reached.confined) | (fresh ^ 1)) & same) << 1;
        confined = ((reached.confined | fresh) & same) << 1 & ~free;
        if (Name) {
            to.whole = (reached.whole & same) << 1;
            to.initials = (reached.initials & same) << 1;
        }
    }
    if (!reached.any) {
        // Only the start is reached (the others hold nothing or the start too).
        const FirstStep &first = firstSteps[set];
        to.any |= first.whole | first.initials;
        found.any |= first.prefix;
        if (Name) {
            if (reached.whole) {
                to.whole |= first.whole;
                found.whole |= first.prefix;
            }
            if (reached.initials)
                to.initials |= first.initials;
        }
    } else if (from & setFirst[set]) {
        // "from" holds the other two, so one test tells whether any reading can be taken.
        for (int k = PinyinTable::setStart[set]; k < PinyinTable::setStart[set + 1]; ++k) {
            const SyllableMasks &s = syllables[PinyinTable::setMembers[k]];
            to.any |=
                (from & s.whole) << s.length | (from & s.initial) << 1 | (from & s.digraph) << 2;
            found.any |= (from & s.prefix) != 0;
            if (Name) {
                to.whole |= (reached.whole & s.whole) << s.length;
                found.whole |= (reached.whole & s.prefix) != 0;
                to.initials |= (reached.initials & s.initial) << 1 | (reached.initials & s.digraph)
                                                                         << 2;
            }
        }
    }
    // So far to.any holds the readings taken, which free a position from its word.
    reached.confined = confined & ~to.any & ~accept;
    to.any |= free | confined;
    found.any |= (to.any & accept) != 0;
    reached.any = to.any & ~accept;
    if (Name) {
        found.whole |= (to.whole & accept) != 0;
        found.initials |= (to.initials & accept) != 0;
        reached.whole = to.whole & ~accept;
        reached.initials = to.initials & ~accept;
    }
}

template<bool Name>
Found SearchQuery::Prepared::scan(QStringView s) const
{
    Found found;
    const char16_t *u = units(s);
    const int size = int(s.size());
    const char16_t *textUnits = units(text);
    const int textSize = text.size();
    const auto hasTextAt = [&](int at) {
        return u[at] == textUnits[0] && !found.text && size - at >= textSize &&
               std::memcmp(u + at, textUnits, size_t(textSize) * sizeof(char16_t)) == 0;
    };
    Reached reached;
    if (Name && pinyin)
        reached.whole = reached.initials = 1;
    for (int i = 0; i < size;) {
        if (!(reached.any | reached.whole | reached.initials)) {
            while (i < size && !canStart(u[i]))
                ++i;
            if (i == size)
                break;
        }
        const int at = i;
        const char32_t c = next(u, size, i);
        // A query that begins with a lone low surrogate is found after a high one too.
        if (hasTextAt(at) || (i - at == 2 && hasTextAt(at + 1))) {
            found.text = true;
            if (!Name)
                return found;
        }
        if (Name && found.keyFront < 0 && c == keyFront)
            found.keyFront = at;
        if (!pinyin)
            continue;
        const quint16 set = PinyinTable::readingSet(c);
        const quint64 same = literal(c);
        if (set == 0 && isGap(c)) {
            if (!joinsWords(c)) {
                reached.any &= ~reached.confined;
                reached.confined = 0;
            }
            // White space, punctuation and symbols are passed over: "中国 银行", "中国-银行" and
            // "【中国银行】" are spelled as "中国银行". Typed into the key, they match themselves.
            if (!same)
                continue;
            const Reached passedOver = reached;
            step<Name>(set, same, false, reached, found);
            const quint64 free =
                (reached.any & ~reached.confined) | (passedOver.any & ~passedOver.confined);
            reached.any |= passedOver.any;
            reached.confined = reached.any & ~free;
            reached.whole |= passedOver.whole;
            reached.initials |= passedOver.initials;
        } else if (set == 0 && !same) {
            // Neither a reading nor itself: every run ends here.
            reached = Reached();
        } else {
            // A run begun inside a word (by the key's first character) ends with the word.
            const bool inWord = set == 0 && (same & 1) && continuesWord(u, at);
            step<Name>(set, same, inWord, reached, found);
        }
        if (Name ? found.whole : found.any)
            return found;
        // Nothing the rest could find would be a better band.
        if (Name && (found.text || found.initials) && !(reached.whole | reached.initials))
            return found;
    }
    return found;
}

// Words of a Latin name from the first one on, each by its first letter or spelled out, the last
// one possibly cut short: "vsc", "vs", "vscode" for "visual studio code".
bool SearchQuery::Prepared::latinInitials(QStringView name) const
{
    const char16_t *u = units(name);
    const int size = int(name.size());
    const int m = int(key.size());
    // Moves i past the characters that are (or are not) gaps.
    const auto skip = [u, size](int &i, bool gaps) {
        while (i < size) {
            int after = i;
            if (isWordGap(next(u, size, after)) != gaps)
                return;
            i = after;
        }
    };
    quint64 from = 1;
    int i = 0;
    while (from) {
        skip(i, true);
        if (i == size)
            return false;
        quint64 to = 0;
        for (quint64 left = from; left; left &= left - 1) {
            const int p = qCountTrailingZeroBits(left);
            int j = i;
            int k = p;
            bool wordEnds = true;
            while (j < size && k < m) {
                int after = j;
                const char32_t c = next(u, size, after);
                if (c != key[size_t(k)] || isWordGap(c)) {
                    wordEnds = isWordGap(c);
                    break;
                }
                j = after;
                ++k;
            }
            if (k == p)
                continue;
            if (k == m)
                return true;
            to |= quint64(1) << (p + 1);
            if (wordEnds)
                to |= quint64(1) << k;
        }
        if (!to)
            return false;
        skip(i, false);
        from = to;
    }
    return false;
}

// The key's characters in order anywhere in the name, from the first one's first place on.
bool SearchQuery::Prepared::fuzzy(QStringView name, int from) const
{
    if (from < 0 || key.empty())
        return false;
    const char16_t *u = units(name);
    size_t found = 0;
    const int size = int(name.size());
    for (int i = from; i < size;)
        if (next(u, size, i) == key[found] && ++found == key.size())
            return true;
    return false;
}

MatchBand SearchQuery::Prepared::matchText(QStringView name, QStringView note) const
{
    const char16_t *textUnits = units(text);
    if (name.size() >= text.size() && units(name)[0] == textUnits[0] &&
        std::memcmp(units(name), textUnits, size_t(text.size()) * sizeof(char16_t)) == 0)
        return name.size() == text.size() ? MatchBand::ExactName : MatchBand::NamePrefix;
    const Found inName = scan<true>(name);
    if (inName.whole)
        return MatchBand::NamePrefix;
    // A word's first letter is the key's first character, which the pass looked for.
    if (inName.initials || (masked && inName.keyFront >= 0 && latinInitials(name)))
        return MatchBand::Initials;
    if (inName.text)
        return MatchBand::NameSubstring;
    if (inName.any)
        return MatchBand::NamePinyin;
    const Found inNote = scan<false>(note);
    if (inNote.text || inNote.any)
        return MatchBand::Note;
    return fuzzy(name, inName.keyFront) ? MatchBand::Fuzzy : MatchBand::None;
}

// A pattern that spells the whole name, or its start, is as good as text that does; a pattern
// that is all "%" matches every item, as LIKE did.
MatchBand SearchQuery::Prepared::matchPattern(QStringView name, QStringView note) const
{
    if (plainCore) {
        if (core.isEmpty())
            return MatchBand::NameSubstring;
        if (name.startsWith(core))
            return name.size() == core.size() ? MatchBand::ExactName : MatchBand::NamePrefix;
        if (name.contains(core))
            return MatchBand::NameSubstring;
        return note.contains(core) ? MatchBand::Note : MatchBand::None;
    }
    if (like(core, name))
        return MatchBand::ExactName;
    if (like(startPattern, name))
        return MatchBand::NamePrefix;
    if (like(anywherePattern, name))
        return MatchBand::NameSubstring;
    return like(anywherePattern, note) ? MatchBand::Note : MatchBand::None;
}

SearchQuery::SearchQuery(const QString &typed)
    : m_prepared(std::make_shared<const Prepared>(foldForSearch(typed).trimmed()))
{}

const QString &SearchQuery::text() const
{
    return m_prepared->text;
}

bool SearchQuery::isEmpty() const
{
    return m_prepared->kind == Prepared::Kind::Empty;
}

bool SearchQuery::isPattern() const
{
    return m_prepared->kind == Prepared::Kind::Pattern;
}

const CaseFoldTable::Expansion *CaseFoldTable::expansion(char16_t c)
{
    const Expansion *end = expansions + expansionCount;
    const Expansion *found = std::lower_bound(
        expansions, end, c, [](const Expansion &e, char16_t key) { return e.character < key; });
    return found != end && found->character == c ? found : nullptr;
}

QString foldForSearch(const QString &text)
{
    const char16_t *u = units(text);
    const int size = text.size();
    QString folded;
    bool changed = false;
    // Unchanged characters are copied in runs; text that folds to itself is never copied.
    int unchangedFrom = 0;
    for (int i = 0; i < size;) {
        const int at = i;
        const char32_t c = next(u, size, i);
        char16_t buffer[3];
        int length = 0;
        if (c >= 'A' && c <= 'Z') {
            buffer[0] = char16_t(c + 0x20);
            length = 1;
        } else if (c >= 0x80) {
            length = foldCharacter(c, buffer);
        }
        if (!length)
            continue;
        if (!changed) {
            folded.reserve(size + 8);
            changed = true;
        }
        folded.append(reinterpret_cast<const QChar *>(u + unchangedFrom), at - unchangedFrom);
        folded.append(reinterpret_cast<const QChar *>(buffer), length);
        unchangedFrom = i;
    }
    if (!changed)
        return text;
    folded.append(reinterpret_cast<const QChar *>(u + unchangedFrom), size - unchangedFrom);
    return folded;
}

MatchBand matchItem(const SearchQuery &query, QStringView foldedName, QStringView foldedNote)
{
    const SearchQuery::Prepared &prepared = *query.m_prepared;
    switch (prepared.kind) {
    case SearchQuery::Prepared::Kind::Empty:
        return MatchBand::None;
    case SearchQuery::Prepared::Kind::Pattern:
        return prepared.matchPattern(foldedName, foldedNote);
    case SearchQuery::Prepared::Kind::Text:
        break;
    }
    return prepared.matchText(foldedName, foldedNote);
}
