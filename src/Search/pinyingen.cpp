// Writes the pinyin reading table (the layout of PinyinTable.h) from Unihan's Mandarin
// readings, kMandarin, kXHC1983 and kTGHZ2013, at build time:
//   quiver_pinyingen <bzip2 program> Unihan_Readings.txt.bz2 PinyinTable.cpp
#include "Search/PinyinTable.h"

#include <QCoreApplication>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <QSaveFile>
#include <QSet>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

// kMandarin first: it names the reading a character is best known by.
const char *const fields[] = {"kMandarin", "kXHC1983", "kTGHZ2013"};
constexpr int fieldCount = 3;

// Tone marks go, ü becomes "v" as input methods spell it, and the rare ê (欸) is typed "e".
// Empty when what is left is not plain a-z.
QString plainSyllable(const QString &marked)
{
    QString plain;
    for (const QChar c : marked.normalized(QString::NormalizationForm_D)) {
        if (c.unicode() == 0x0308) {
            if (!plain.endsWith(QLatin1Char('u')))
                return QString();
            plain[plain.size() - 1] = QLatin1Char('v');
        } else if (c.category() != QChar::Mark_NonSpacing) {
            plain += c.toLower();
        }
    }
    for (const QChar c : plain)
        if (c < QLatin1Char('a') || c > QLatin1Char('z'))
            return QString();
    return plain;
}

QByteArray decompress(const QString &bzip2, const QString &path)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(bzip2, {QStringLiteral("-dc"), path});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return QByteArray();
    return process.readAllStandardOutput();
}

bool fail(const char *message)
{
    std::fprintf(stderr, "quiver_pinyingen: %s\n", message);
    return false;
}

struct Table
{
    QStringList syllables;
    QVector<QVector<quint16>> sets{{}};
    QMap<uint, quint16> setOf; // code point → set, characters with readings only
};

// Syllable ids and sets are numbered in a fixed order, so the same input gives the same file.
bool build(const QByteArray &text, Table &table)
{
    QMap<uint, std::array<QStringList, fieldCount>> readings;
    int skipped = 0;
    for (const QByteArray &line : text.split('\n')) {
        if (!line.startsWith("U+"))
            continue;
        const QList<QByteArray> columns = line.split('\t');
        if (columns.size() != 3)
            continue;
        int field = 0;
        while (field < fieldCount && columns.at(1) != fields[field])
            ++field;
        if (field == fieldCount)
            continue;
        bool ok = false;
        const uint code = columns.at(0).mid(2).toUInt(&ok, 16);
        if (!ok || code > 0x10ffff)
            return fail("malformed code point");
        // Dictionary values are "page.entry:reading", with several locations or a "*" at times.
        for (const QByteArray &value : columns.at(2).trimmed().split(' ')) {
            const QString marked = QString::fromUtf8(value.mid(value.lastIndexOf(':') + 1));
            const QString plain = plainSyllable(marked);
            if (plain.isEmpty()) {
                ++skipped;
                continue;
            }
            QStringList &list = readings[code][field];
            if (!list.contains(plain))
                list << plain;
            // Input methods take "lue" and "nue" for lüe and nüe, which nothing else spells.
            if (plain == QLatin1String("lve") || plain == QLatin1String("nve")) {
                const QString typed = plain.left(1) + QStringLiteral("ue");
                if (!list.contains(typed))
                    list << typed;
            }
        }
    }
    if (skipped)
        std::fprintf(stderr, "quiver_pinyingen: %d readings that are not pinyin left out\n",
                     skipped);

    QSet<QString> distinct;
    for (const auto &lists : readings)
        for (const QStringList &list : lists)
            for (const QString &syllable : list)
                distinct.insert(syllable);
    table.syllables = distinct.values();
    std::sort(table.syllables.begin(), table.syllables.end());
    QHash<QString, quint16> syllableId;
    for (int i = 0; i < table.syllables.size(); ++i)
        syllableId.insert(table.syllables.at(i), quint16(i));

    QMap<QVector<quint16>, quint16> setId;
    for (auto it = readings.cbegin(); it != readings.cend(); ++it) {
        QVector<quint16> members;
        for (const QStringList &list : it.value())
            for (const QString &syllable : list)
                if (!members.contains(syllableId.value(syllable)))
                    members << syllableId.value(syllable);
        auto known = setId.constFind(members);
        if (known == setId.cend()) {
            known = setId.insert(members, quint16(table.sets.size()));
            table.sets << members;
        }
        table.setOf.insert(it.key(), known.value());
    }

    // The layout's limits; the reading of a future Unihan that breaks them must stop the build.
    if (table.setOf.size() < 20000)
        return fail("too few characters with readings: not the Unihan readings file?");
    for (const QString &syllable : table.syllables)
        if (syllable.size() > 6)
            return fail("syllable longer than six letters");
    if (table.sets.size() > (1 << PinyinTable::setBits))
        return fail("too many reading sets for the supplementary table");
    return true;
}

QByteArray numbers(const QVector<uint> &values)
{
    QByteArray out;
    int column = 0;
    for (const uint value : values) {
        const QByteArray number = QByteArray::number(value) + ',';
        if (column + number.size() > 99) {
            out += '\n';
            column = 0;
        }
        out += number;
        column += number.size();
    }
    return out;
}

QByteArray write(const Table &table, int &bytes)
{
    QByteArray out =
        "// Generated by quiver_pinyingen from Unihan_Readings.txt; never edit, never commit.\n"
        "#include \"Search/PinyinTable.h\"\n\nnamespace PinyinTable {\n\n";

    out += "const Syllable syllables[] = {\n";
    for (const QString &syllable : table.syllables)
        out += "{\"" + syllable.toLatin1() + "\"," + QByteArray::number(syllable.size()) + "},";
    out +=
        "\n};\nconst int syllableCount = " + QByteArray::number(table.syllables.size()) + ";\n\n";
    bytes = table.syllables.size() * int(sizeof(PinyinTable::Syllable));

    QVector<uint> starts{0};
    QVector<uint> members;
    for (const QVector<quint16> &set : table.sets) {
        for (const quint16 id : set)
            members << id;
        starts << uint(members.size());
    }
    if (members.size() > 0xffff)
        return QByteArray();
    out += "const quint16 setStart[] = {\n" + numbers(starts) + "\n};\n";
    out += "const quint16 setMembers[] = {\n" + numbers(members) + "\n};\n";
    out += "const int setCount = " + QByteArray::number(table.sets.size()) + ";\n\n";
    bytes += (starts.size() + members.size()) * 2;

    QVector<uint> pageOf(256, 0);
    QVector<uint> pages(256, 0);
    QVector<uint> supplementary;
    for (auto it = table.setOf.cbegin(); it != table.setOf.cend(); ++it) {
        const uint code = it.key();
        if (code >= 0x10000) {
            supplementary << (code << PinyinTable::setBits | it.value());
            continue;
        }
        if (!pageOf[code >> 8]) {
            pageOf[code >> 8] = uint(pages.size() / 256);
            pages.resize(pages.size() + 256);
        }
        pages[int(pageOf[code >> 8] * 256 + (code & 0xff))] = it.value();
    }
    if (pages.size() / 256 > 256)
        return QByteArray();
    out += "const quint8 bmpPageOf[256] = {\n" + numbers(pageOf) + "\n};\n";
    out += "const quint16 bmpPages[][256] = {\n";
    for (int page = 0; page < pages.size() / 256; ++page)
        out += "{" + numbers(pages.mid(page * 256, 256)) + "},\n";
    out += "};\n\n";
    bytes += 256 + pages.size() * 2;

    out += "const quint32 supplementary[] = {\n" + numbers(supplementary) + "\n};\n";
    out += "const int supplementaryCount = " + QByteArray::number(supplementary.size()) +
           ";\n\n} // namespace PinyinTable\n";
    bytes += supplementary.size() * 4;
    return out;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s bzip2 Unihan_Readings.txt.bz2 output.cpp\n", argv[0]);
        return 2;
    }
    const QByteArray text =
        decompress(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    if (text.isEmpty()) {
        std::fprintf(stderr, "quiver_pinyingen: cannot decompress %s\n", argv[2]);
        return 1;
    }
    Table table;
    if (!build(text, table))
        return 1;
    int bytes = 0;
    const QByteArray source = write(table, bytes);
    if (source.isEmpty()) {
        fail("table too large for its layout");
        return 1;
    }
    // Written whole or not at all, so a broken build never leaves half a table behind.
    QSaveFile file(QString::fromLocal8Bit(argv[3]));
    if (!file.open(QIODevice::WriteOnly) || file.write(source) != source.size() || !file.commit()) {
        std::fprintf(stderr, "quiver_pinyingen: cannot write %s\n", argv[3]);
        return 1;
    }
    std::printf("Pinyin table: %d characters, %d syllables, %d reading sets, %d bytes\n",
                int(table.setOf.size()), int(table.syllables.size()), int(table.sets.size()),
                bytes);
    return 0;
}
