// The search's matching layer: the reading table generated from Unihan, and the band in which a
// query meets an item's name and note.
#include "Search/Matcher.h"
#include "Search/Pinyin.h"
#include "TestSupport.h"

#include <algorithm>
#include <random>

Q_DECLARE_METATYPE(MatchBand)

namespace QTest {
template<>
char *toString(const MatchBand &band)
{
    static const char *const names[] = {"ExactName",  "NamePrefix", "Initials", "NameSubstring",
                                        "NamePinyin", "Note",       "Fuzzy",    "None"};
    return qstrdup(names[int(band)]);
}
} // namespace QTest

namespace {
MatchBand match(const QString &query, const QString &name, const QString &note = QString())
{
    return matchItem(SearchQuery(query), foldForSearch(name), foldForSearch(note));
}

// The pinyin rules spelled out the slow way, by trying every reading and every form of each
// character in turn; names of a few Chinese characters make that affordable.
enum class Forms { Whole, Initials, Any };

struct Spelling
{
    QVector<QStringList> readings; // of the name's characters, white space left out
    QString key;                   // the query without apostrophes
    QVector<bool> gapBefore;       // an apostrophe stood before key[i]

    bool fits(int at, const QString &token) const
    {
        if (at + token.size() > key.size() || key.mid(at, token.size()) != token)
            return false;
        for (int i = at + 1; i < at + token.size(); ++i)
            if (gapBefore.at(i))
                return false;
        return true;
    }

    // Whether the key from "at" on is spelled by the characters from "character" on.
    bool spells(int character, int at, Forms forms) const
    {
        if (character == readings.size())
            return false;
        for (const QString &reading : readings.at(character)) {
            QStringList tokens; // the forms that may go on to the next character
            if (forms != Forms::Initials)
                tokens << reading;
            if (forms != Forms::Whole) {
                tokens << reading.left(1);
                if (reading.size() > 2 && reading.at(1) == 'h' &&
                    QString("zcs").contains(reading.at(0)))
                    tokens << reading.left(2);
            }
            for (const QString &token : tokens)
                if (fits(at, token) && (at + token.size() == key.size() ||
                                        spells(character + 1, at + token.size(), forms)))
                    return true;
            // The last character may be spelled by any beginning of a reading.
            if (forms != Forms::Initials && key.size() - at <= reading.size() &&
                fits(at, reading.left(key.size() - at)))
                return true;
        }
        return false;
    }

    MatchBand band() const
    {
        if (spells(0, 0, Forms::Whole))
            return MatchBand::NamePrefix;
        if (spells(0, 0, Forms::Initials))
            return MatchBand::Initials;
        for (int start = 0; start < readings.size(); ++start)
            if (spells(start, 0, Forms::Any))
                return MatchBand::NamePinyin;
        return MatchBand::None;
    }
};
} // namespace

class TestMatcher : public QObject
{
    Q_OBJECT

private slots:
    void readings_data();
    void readings();
    void pinyinForms_data();
    void pinyinForms();
    void textForms_data();
    void textForms();
    void folding_data();
    void folding();
    void foldingEveryCharacter();
    void spellingsOfPolyphones();
    void ranking_data();
    void ranking();
    void queries_data();
    void queries();
};

void TestMatcher::readings_data()
{
    QTest::addColumn<uint>("character");
    QTest::addColumn<QStringList>("expected"); // kMandarin's first, then some others it must have

    QTest::newRow("polyphone 重") << uint(U'重') << QStringList{"zhong", "chong"};
    QTest::newRow("ü as v, 绿") << uint(U'绿') << QStringList{"lv", "lu"};
    QTest::newRow("tones merged, 行") << uint(U'行') << QStringList{"xing", "hang"};
    QTest::newRow("dictionaries only, 乐") << uint(U'乐') << QStringList{"le", "yue"};
    QTest::newRow("长") << uint(U'长') << QStringList{"zhang", "chang"};
    QTest::newRow("syllabic n, 嗯") << uint(U'嗯') << QStringList{"n", "ng"};
    QTest::newRow("ê as e, 欸") << uint(U'欸') << QStringList{"ai", "e", "ei"};
    QTest::newRow("plane 2, 𠀀") << uint(0x20000) << QStringList{"he"};
    QTest::newRow("plane 3, 𰻞") << uint(0x30ede) << QStringList{"biang"};
    QTest::newRow("Latin letter") << uint('a') << QStringList();
    QTest::newRow("katakana") << uint(U'ア') << QStringList();
    QTest::newRow("beyond Unicode") << uint(0x110000) << QStringList();
}

void TestMatcher::readings()
{
    QFETCH(uint, character);
    QFETCH(QStringList, expected);

    QStringList readings = Pinyin::readings(char32_t(character));
    QCOMPARE(readings.isEmpty(), expected.isEmpty());
    if (expected.isEmpty())
        return;
    QCOMPARE(readings.first(), expected.first());
    for (const QString &reading : expected)
        QVERIFY2(readings.contains(reading), qPrintable(readings.join(' ')));
    for (const QString &reading : readings)
        QVERIFY2(QRegularExpression("^[a-z]+$").match(reading).hasMatch(), qPrintable(reading));
    QCOMPARE(readings.removeDuplicates(), 0);
}

void TestMatcher::pinyinForms_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("query");
    QTest::addColumn<MatchBand>("band");

    const auto row = [](const char *tag, const QString &name, const QString &query,
                        MatchBand band) {
        QTest::newRow(tag) << name << query << band;
    };
    row("whole syllables", "微信", "weixin", MatchBand::NamePrefix);
    row("last syllable cut short", "微信", "weix", MatchBand::NamePrefix);
    row("first letter alone", "微信", "w", MatchBand::NamePrefix);
    row("initials", "微信", "wx", MatchBand::Initials);
    row("initials typed full-width", "微信", QStringLiteral("ｗｘ"), MatchBand::Initials);
    row("ü typed as such", "女人", QStringLiteral("nüren"), MatchBand::NamePrefix);
    row("lüe typed as such", "策略", QStringLiteral("celüe"), MatchBand::NamePrefix);
    row("four initials", "中国银行", "zgyh", MatchBand::Initials);
    row("initial then syllable", "微信", "wxin", MatchBand::NamePinyin);
    row("not from the first character", "微信", "xin", MatchBand::NamePinyin);
    row("cut short, from the start", "重阳节", "zhongy", MatchBand::NamePrefix);
    row("cut short, further in", "九九重阳", "zhongy", MatchBand::NamePinyin);
    row("spaces in the query", "微信", "wei xin", MatchBand::NamePrefix);
    row("capitals in the query", "微信", "WeiXin", MatchBand::NamePrefix);
    row("white space in the name", "中国 银行", "zgyh", MatchBand::Initials);
    row("ideographic space in the name", "中国\u3000银行", "zgyh", MatchBand::Initials);
    row("white space in the name, syllables", "中国 银行", "zhongguoyinhang",
        MatchBand::NamePrefix);
    row("dash in the name", "中国-银行", "zgyh", MatchBand::Initials);
    row("brackets in the name", "中国（银行）", "zgyh", MatchBand::Initials);
    row("middle dot in the name, syllables", "中国·银行", "zhongguoyinhang", MatchBand::NamePrefix);
    row("brackets around the name", "【微信】", "wx", MatchBand::Initials);
    row("symbol before the name", "♪音乐", "yinyue", MatchBand::NamePrefix);
    row("emoji inside the name", "音乐🎵播放器", "yybfq", MatchBand::Initials);
    row("Latin letters and initials across a dash", "WPS-文字", "wps wz", MatchBand::Initials);
    row("the dash typed", "WPS-文字", "wps-wz", MatchBand::Initials);
    row("a letter still ends the run", "中国x银行", "zgyh", MatchBand::None);
    row("syllables out of order", "微信", "xinwei", MatchBand::None);
    row("not a reading", "微信", "wa", MatchBand::None);
    row("past the last character", "微信", "weixinx", MatchBand::None);

    row("zh as z", "中国", "zg", MatchBand::Initials);
    row("zh spelled", "中国", "zhg", MatchBand::Initials);
    row("ch as c", "长城", "cc", MatchBand::Initials);
    row("ch spelled twice", "长城", "chch", MatchBand::Initials);
    row("sh cut short", "上海", "sh", MatchBand::NamePrefix);
    row("sh and h", "上海", "shh", MatchBand::Initials);

    row("v for ü", "绿色", "lvse", MatchBand::NamePrefix);
    // Input methods take "lue" and "nue" for lüe and nüe: 略 and 虐.
    row("lue as input methods type it", "策略", "celue", MatchBand::NamePrefix);
    row("lve as well", "策略", "celve", MatchBand::NamePrefix);
    row("nue", "虐待", "nuedai", MatchBand::NamePrefix);
    row("other reading of 绿", "绿色", "luse", MatchBand::NamePrefix);
    row("v as initial", "绿色", "ls", MatchBand::Initials);
    row("nv", "女人", "nvren", MatchBand::NamePrefix);

    row("apostrophe between syllables", "西安", "xi'an", MatchBand::NamePrefix);
    row("Chinese opening quote between syllables", "西安", QStringLiteral("xi‘an"),
        MatchBand::NamePrefix);
    row("apostrophe splits xian", "先锋", "xi'an", MatchBand::None);
    row("xian as one syllable", "先锋", "xian", MatchBand::NamePrefix);
    row("xian as two syllables", "西安", "xian", MatchBand::NamePrefix);
    row("apostrophe before a cut syllable", "西安", "xi'a", MatchBand::NamePrefix);

    row("重 as chong", "重启", "chongqi", MatchBand::NamePrefix);
    row("重 as zhong", "重启", "zhongqi", MatchBand::NamePrefix);
    row("行 as hang", "银行", "yinhang", MatchBand::NamePrefix);
    row("行 as xing", "行走", "xingzou", MatchBand::NamePrefix);
    row("乐 as le", "快乐", "kuaile", MatchBand::NamePrefix);
    row("乐 as yue", "音乐", "yinyue", MatchBand::NamePrefix);
    row("长 as chang", "长城", "changcheng", MatchBand::NamePrefix);
    row("长 as zhang", "队长", "duizhang", MatchBand::NamePrefix);
    // 2^40 spellings of the name; each reading must be tried per character, not per spelling.
    row("forty polyphones", QString(40, QChar(u'重')), "zhongchongzhongchongzhongchong",
        MatchBand::NamePrefix);
    row("forty polyphones, further in", "一" + QString(40, QChar(u'重')) + "行",
        "chongzhongchongzhongchongzhongxing", MatchBand::NamePinyin);

    row("Latin letters spelled", "QQ音乐", "qqyinyue", MatchBand::NamePrefix);
    row("Latin letters and initials", "QQ音乐", "qqyy", MatchBand::Initials);
    row("from after the Latin letters", "QQ音乐", "yinyue", MatchBand::NamePinyin);
    row("digits and initials", "360安全卫士", "360aqws", MatchBand::Initials);
    row("Chinese typed with pinyin", "微信", "微x", MatchBand::NamePrefix);
    row("plane 3 character", "𰻞𰻞面", "biangbiangm", MatchBand::NamePrefix);
}

void TestMatcher::pinyinForms()
{
    QFETCH(QString, name);
    QFETCH(QString, query);
    QFETCH(MatchBand, band);

    QCOMPARE(match(query, name), band);
}

void TestMatcher::textForms_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("query");
    QTest::addColumn<MatchBand>("band");

    const auto row = [](const char *tag, const QString &name, const QString &note,
                        const QString &query, MatchBand band) {
        QTest::newRow(tag) << name << note << query << band;
    };
    const QString code = "Visual Studio Code";
    row("word initials", code, "", "vsc", MatchBand::Initials);
    row("two word initials", code, "", "vs", MatchBand::Initials);
    row("initials and a word", code, "", "vscode", MatchBand::Initials);
    row("initials and a cut word", code, "", "vsco", MatchBand::Initials);
    row("words skipped", code, "", "vcd", MatchBand::Fuzzy);
    row("not from the first word", code, "", "sc", MatchBand::Fuzzy);
    row("white space ignored", code, "", "visualstudio", MatchBand::NamePrefix);
    row("digit, dash", "7-Zip File Manager", "", "7zfm", MatchBand::Initials);
    row("underscore", "gnome_terminal", "", "gt", MatchBand::Initials);
    row("dots", "org.gnome.Nautilus", "", "ogn", MatchBand::Initials);
    row("brackets", "Files (Nautilus)", "", "fn", MatchBand::Initials);
    row("en dash", "GIMP – GNU Image Manipulation", "", "ggim", MatchBand::Initials);
    row("apostrophe inside a word", "Assassin’s Creed", "", "ac", MatchBand::Initials);
    row("emoji between words", "🎵 Music 🎧 Player", "", "mp", MatchBand::Initials);

    row("exact, other case", code, "", "VISUAL STUDIO CODE", MatchBand::ExactName);
    row("full-width letters", QStringLiteral("ＱＱ音乐"), "", "qq", MatchBand::NamePrefix);
    row("full-width digits and space", "123 Player", "", QStringLiteral("１２３　p"),
        MatchBand::NamePrefix);
    row("prefix", code, "", "visual s", MatchBand::NamePrefix);
    row("substring", code, "", "studio", MatchBand::NameSubstring);
    row("subsequence", "Firefox", "", "ffx", MatchBand::Fuzzy);
    row("Chinese prefix", "微信", "", "微", MatchBand::NamePrefix);
    row("Chinese substring", "微信", "", "信", MatchBand::NameSubstring);
    row("Chinese exact", "微信", "", "微信", MatchBand::ExactName);
    row("digits", "360安全卫士", "", "360", MatchBand::NamePrefix);
    row("nothing", "微信", "", "qq", MatchBand::None);
    row("longer than the masks", QString(70, 'a'), "", QString(70, 'A'), MatchBand::ExactName);
    row("longer than the masks, inside", "x" + QString(70, 'a'), "", QString(70, 'a'),
        MatchBand::NameSubstring);
    // Text is matched unit by unit: a lone low surrogate typed is found after a high one.
    const QString lowSurrogate(QChar(0xdc00));
    row("lone surrogate typed", QString::fromUcs4(U"x\U00010000a"), "", lowSurrogate + "a",
        MatchBand::NameSubstring);
    row("lone surrogate typed, note", "Code", QString::fromUcs4(U"x\U00010000a"),
        lowSurrogate + "a", MatchBand::Note);

    row("German capitals", "Ärger im Büro", "", "ÄRGER", MatchBand::NamePrefix);
    row("German substring", "Ärger im Büro", "", "BÜRO", MatchBand::NameSubstring);
    row("Greek final sigma", "Οδυσσεύς", "", "ΟΔΥΣΣΕΎΣ", MatchBand::ExactName);
    row("Cyrillic", "Москва", "", "МОСК", MatchBand::NamePrefix);
    row("sharp s spelled out", "Straße", "", "strasse", MatchBand::ExactName);
    row("sharp s in capitals", "Straße", "", "STRASSE", MatchBand::ExactName);
    row("capital sharp s", "STRAẞE", "", "straße", MatchBand::ExactName);
    row("sharp s typed", "Strasse", "", "straß", MatchBand::NamePrefix);
    row("dotted capital I", "İstanbul", "", "istanbul", MatchBand::ExactName);
    row("dotted capital I typed", "Istanbul", "", "İST", MatchBand::NamePrefix);
    row("ligature in the name", "ﬁle Manager", "", "fi", MatchBand::NamePrefix);
    row("ligature typed", "Profile", "", "proﬁ", MatchBand::NamePrefix);
    row("Greek iota subscript", "ᾼ", "", "ΑΙ", MatchBand::ExactName);
    row("sharp s in the note", "Karte", "Große Straße", "grosse", MatchBand::Note);

    // A run of letters begun inside a word ends with the word; one that begins a word goes on.
    row("letters across a word gap", "Mozilla Firefox", "", "af", MatchBand::Fuzzy);
    row("letters across a word gap into Chinese", "Firefox 浏览器", "", "foxliulan",
        MatchBand::None);
    row("letters from a word's start across a gap", code, "", "studiocode", MatchBand::NamePinyin);
    row("letters from inside a word into Chinese", "QQ音乐", "", "qyinyue", MatchBand::NamePinyin);
    row("letters across brackets", "Files (Nautilus)", "", "sna", MatchBand::Fuzzy);
    row("letters across a word gap in the note", "Code", "Mozilla Firefox", "af", MatchBand::None);

    row("pattern spells the name", code, "", "vis%code", MatchBand::ExactName);
    row("pattern at the start", code, "", "vis%", MatchBand::NamePrefix);
    row("pattern inside", code, "", "%studio%", MatchBand::NameSubstring);
    row("one character", code, "", "st_dio", MatchBand::NameSubstring);
    row("one character for a space", code, "", "visual_studio", MatchBand::NamePrefix);
    row("one character for a pair", "𠀀", "", "_", MatchBand::ExactName);
    row("a run and a character", code, "", "s%d_o", MatchBand::NameSubstring);
    row("everything", "微信", "", "%", MatchBand::NameSubstring);
    row("pattern in the note", code, "Editor by Microsoft", "%micro%", MatchBand::Note);
    row("character in the note", code, "Editor by Microsoft", "edit_r", MatchBand::Note);
    row("no pinyin in patterns", "微信", "", "wx%", MatchBand::None);
    row("pattern nowhere", code, "Editor", "x_z", MatchBand::None);

    row("note text", "Code", "文本编辑器", "编辑", MatchBand::Note);
    row("note syllables", "Code", "文本编辑器", "bianji", MatchBand::Note);
    row("note initials", "Code", "文本编辑器", "bjq", MatchBand::Note);
    row("note mixed", "Code", "文本编辑器", "bjiq", MatchBand::Note);
    row("note Latin", "微信", "WeChat for Linux", "LINUX", MatchBand::Note);
    row("name before note", "编辑器", "编辑器", "bjq", MatchBand::Initials);
    row("note is no fuzzy", "Code", "Editor", "etr", MatchBand::None);
}

void TestMatcher::textForms()
{
    QFETCH(QString, name);
    QFETCH(QString, note);
    QFETCH(QString, query);
    QFETCH(MatchBand, band);

    QCOMPARE(match(query, name, note), band);
}

void TestMatcher::folding_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("folded");

    const auto row = [](const char *tag, const QString &text, const QString &folded) {
        QTest::newRow(tag) << text << folded;
    };
    row("Latin", "Große ﬁLE İstanbul", "grosse file istanbul");
    row("Greek", "ΐ ᾈ", QString::fromUtf16(u"\u03b9\u0308\u0301 \u1f00\u03b9"));
    row("full-width", "ＱＱ　Ｍｕｓｉｃ", "qq music");
    row("plane 1", "𐐀𐐁", "𐐨𐐩");
    const QString high(QChar(0xd800));
    const QString low(QChar(0xdc00));
    row("lone surrogates kept", high + QStringLiteral("ẞ") + low + "A", high + "ss" + low + "a");
}

void TestMatcher::folding()
{
    QFETCH(QString, text);
    QFETCH(QString, folded);

    QCOMPARE(foldForSearch(text), folded);
    QCOMPARE(foldForSearch(folded), folded);
}

// The index folds a name once and the query folds it again when the name is typed as it shows:
// Qt's simple foldings and the table's full ones, of differing Unicode versions, must agree.
void TestMatcher::foldingEveryCharacter()
{
    for (char32_t c = 0; c <= 0x10ffff; ++c) {
        if (QChar::isSurrogate(c))
            continue;
        const QString folded = foldForSearch(QString::fromUcs4(&c, 1));
        QVERIFY2(foldForSearch(folded) == folded, qPrintable(QString::number(c, 16)));
    }
}

// Random names of polyphones and spellings of parts of them, some spoiled, against the rules.
void TestMatcher::spellingsOfPolyphones()
{
    const QString characters = "重行乐长中国银绿西安先上海";
    std::mt19937 random(7);
    const auto pick = [&](int n) {
        return int(random() % unsigned(n));
    };
    int matched = 0;
    for (int round = 0; round < 2000; ++round) {
        QString name;
        Spelling spelling;
        for (int i = 1 + pick(5); i > 0; --i) {
            const QChar c = characters.at(pick(characters.size()));
            name += c;
            spelling.readings << Pinyin::readings(c.unicode());
            if (pick(4) == 0)
                name += ' ';
        }
        QString query;
        const int from = pick(spelling.readings.size());
        for (int i = from; i < spelling.readings.size() && (i == from || pick(3)); ++i) {
            const QStringList &readings = spelling.readings.at(i);
            const QString reading = readings.at(pick(readings.size()));
            query += reading.left(pick(2) ? reading.size() : 1 + pick(reading.size()));
            if (pick(3) == 0)
                query += '\'';
        }
        if (pick(4) == 0)
            query.insert(pick(query.size() + 1), QChar('a' + pick(26)));
        if (pick(4) == 0)
            query.insert(pick(query.size() + 1), '\'');
        bool gap = false;
        for (const QChar c : query) {
            if (c == '\'') {
                gap = true;
                continue;
            }
            spelling.gapBefore << gap;
            spelling.key += c;
            gap = false;
        }
        if (spelling.key.isEmpty())
            continue;
        const MatchBand expected = spelling.band();
        matched += expected != MatchBand::None;
        QVERIFY2(match(query, name) == expected, qPrintable(name + " / " + query));
    }
    // Spoiled queries must not make the rounds pointless.
    QVERIFY(matched > 1000);
}

void TestMatcher::ranking_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("items"); // "name|note", in the order of their bands

    QTest::newRow("exact before prefix before substring")
        << "code" << QStringList{"Code|",    "Code Editor|",      "Cascade Of Dark Elves|",
                                 "VS Code|", "Notes|source code", "Color Depth|"};
    QTest::newRow("pinyin before note")
        << "yinyue" << QStringList{"音乐|", "QQ音乐|", "Player|音乐播放器", "Yin-Yang Ruler|"};
    QTest::newRow("note before letters spelled across words")
        << "af" << QStringList{"Browser|safe browsing", "Mozilla Firefox|"};
}

void TestMatcher::ranking()
{
    QFETCH(QString, query);
    QFETCH(QStringList, items);

    const SearchQuery prepared(query);
    QStringList shuffled = items;
    std::reverse(shuffled.begin(), shuffled.end());
    shuffled << "Calendar|nothing here";
    const auto band = [&](const QString &item) {
        return matchItem(prepared, foldForSearch(item.section('|', 0, 0)),
                         foldForSearch(item.section('|', 1)));
    };
    std::stable_sort(shuffled.begin(), shuffled.end(),
                     [&](const QString &a, const QString &b) { return band(a) < band(b); });
    QCOMPARE(band(shuffled.takeLast()), MatchBand::None);
    QCOMPARE(shuffled, items);
}

void TestMatcher::queries_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("empty");
    QTest::addColumn<bool>("pattern");
    QTest::addColumn<QString>("text");

    QTest::newRow("nothing") << "" << true << false << "";
    QTest::newRow("white space") << " \t\u3000" << true << false << "";
    QTest::newRow("text") << " WeiXin " << false << false << "weixin";
    QTest::newRow("apostrophes only") << "''" << false << false << "''";
    QTest::newRow("percent") << "a%B" << false << true << "a%b";
    QTest::newRow("underscore") << "_" << false << true << "_";
}

void TestMatcher::queries()
{
    QFETCH(QString, typed);
    QFETCH(bool, empty);
    QFETCH(bool, pattern);
    QFETCH(QString, text);

    const SearchQuery query(typed);
    QCOMPARE(query.isEmpty(), empty);
    QCOMPARE(query.isPattern(), pattern);
    QCOMPARE(query.text(), text);
    // What to show for an empty query is the caller's choice: it finds nothing itself.
    QCOMPARE(matchItem(query, QString(), QString()), MatchBand::None);
    if (empty)
        QCOMPARE(matchItem(query, u"weixin", u"weixin"), MatchBand::None);
}

QUIVER_TEST_MAIN(TestMatcher)
#include "tst_matcher.moc"
