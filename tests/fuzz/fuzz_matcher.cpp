// The search box against the catalogue: any typed text against any name and note, lone
// surrogates and texts of a million characters included. The band may not depend on what lies
// around a name and note in the index's block of text, keeps the ranking rules that hold for
// every text, and the index finds an item exactly when its band is not None, best band first.
//
// Input: one byte, then UTF-8 (lone surrogates spelled as three bytes, as WTF-8 has them): the
// typed text, a line feed, the name, a line feed, the note. The first byte's low and high four
// bits repeat the name and the note 2^n times, up to a million characters each.
#include "Core/DataControl.h"
#include "Search/Matcher.h"
#include "Search/SearchIndex.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <easylogging++.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

constexpr int maxRepeated = 1 << 20;

// Bytes that are no part of a character stand for themselves, so every input is some text.
QString decode(const uint8_t *data, size_t size)
{
    QString text;
    for (size_t i = 0; i < size;) {
        const uint8_t lead = data[i];
        const size_t length = lead < 0x80   ? 1
                              : lead < 0xc2 ? 0
                              : lead < 0xe0 ? 2
                              : lead < 0xf0 ? 3
                              : lead < 0xf5 ? 4
                                            : 0;
        char32_t c = length == 1 ? lead : lead & (0x7f >> length);
        bool valid = length > 0 && i + length <= size;
        for (size_t k = 1; valid && k < length; ++k) {
            valid = (data[i + k] & 0xc0) == 0x80;
            c = c << 6 | (data[i + k] & 0x3f);
        }
        valid =
            valid && !(length == 3 && c < 0x800) && !(length == 4 && (c < 0x10000 || c > 0x10ffff));
        if (!valid) {
            text += QChar(lead);
            ++i;
        } else if (c >= 0x10000) {
            text += QChar(QChar::highSurrogate(c));
            text += QChar(QChar::lowSurrogate(c));
            i += length;
        } else {
            text += QChar(ushort(c));
            i += length;
        }
    }
    return text;
}

QString repeated(const QString &text, int power)
{
    if (text.isEmpty())
        return text;
    return text.repeated(std::min(1 << power, std::max(1, maxRepeated / int(text.size()))));
}

// A copy of exactly its size, so the address sanitizer stops any read past either end.
struct Exact
{
    explicit Exact(const QString &text)
        : units(new char16_t[size_t(text.size())])
        , size(text.size())
    {
        std::copy(text.utf16(), text.utf16() + size, units.get());
    }
    QStringView view() const { return QStringView(units.get(), size); }

    std::unique_ptr<char16_t[]> units;
    int size;
};

// The catalogue in a folder of its own; the fuzzed item is the first of three.
struct Catalogue
{
    Catalogue()
    {
        QDir(dir.path()).mkpath(QStringLiteral("bin"));
        QDir(dir.path()).mkpath(QStringLiteral("data"));
        QDir(dir.path()).mkpath(QStringLiteral("cache"));
        const QString started = QDir::currentPath();
        QDir::setCurrent(dir.filePath(QStringLiteral("bin")));
        el::Loggers::reconfigureAllLoggers(el::ConfigurationType::Enabled, "false");
        DataControl &data = DataControl::instance();
        if (!data.init_databases())
            std::abort();
        data.database_create();
        for (const char *name : {"fuzzed", "微信", "Visual Studio Code"})
            if (!data.item_add(item(QString::fromUtf8(name), QStringLiteral("编辑器 Editor")), 1,
                               1))
                std::abort();
        // libFuzzer reads and writes its corpus folders by the paths it was given; the catalogue
        // keeps its files open whatever the working directory.
        QDir::setCurrent(started);
    }

    static QVariantMap item(const QString &name, const QString &note)
    {
        return {{QStringLiteral("Name"), name},
                {QStringLiteral("Note"), note},
                {QStringLiteral("Type"), 3},
                {QStringLiteral("Path"), QStringLiteral("true")}};
    }

    QTemporaryDir dir;
    SearchIndex index;
};

void checkBand(const SearchQuery &query, const QString &name, const QString &note)
{
    const QString foldedName = foldForSearch(name);
    const QString foldedNote = foldForSearch(note);
    // The index folds names once, a query folds them again when a name is typed as it shows.
    if (foldForSearch(foldedName) != foldedName || foldForSearch(foldedNote) != foldedNote)
        std::abort();
    const Exact exactName(foldedName);
    const Exact exactNote(foldedNote);
    const MatchBand band = matchItem(query, exactName.view(), exactNote.view());

    // As the index lays them out, between texts that would match if they were read.
    const QString &text = query.text();
    const QString block = text + foldedName + foldedNote + text;
    if (matchItem(query, QStringView(block).mid(text.size(), foldedName.size()),
                  QStringView(block).mid(text.size() + foldedName.size(), foldedNote.size())) !=
        band)
        std::abort();

    if (query.isEmpty() && band != MatchBand::None)
        std::abort();
    if (query.isEmpty() || query.isPattern())
        return;
    if ((foldedName == text && band != MatchBand::ExactName) ||
        (foldedName.startsWith(text) && band > MatchBand::NamePrefix) ||
        (foldedName.contains(text) && band > MatchBand::NameSubstring) ||
        (foldedNote.contains(text) && band > MatchBand::Note))
        std::abort();
}

void checkIndex(Catalogue &catalogue,
                const SearchQuery &query,
                const QString &typed,
                const QString &name,
                const QString &note)
{
    DataControl &data = DataControl::instance();
    if (!data.item_edit(Catalogue::item(name, note), 1))
        return;
    // The catalogue's own text is what the index reads: SQLite may have changed a lone
    // surrogate on the way.
    QVector<MatchBand> bands(4, MatchBand::None);
    QSqlQuery rows = data.items_all(QStringLiteral("ID, Name, Note"));
    while (rows.next())
        bands[rows.value(0).toInt() & 3] = matchItem(query, foldForSearch(rows.value(1).toString()),
                                                     foldForSearch(rows.value(2).toString()));
    const QVector<int> found = catalogue.index.find(typed, 10);
    for (int i = 0; i < found.size(); ++i)
        if (bands.value(found.at(i), MatchBand::None) == MatchBand::None ||
            (i > 0 && bands.at(found.at(i)) < bands.at(found.at(i - 1))))
            std::abort();
    for (int id = 1; id <= 3; ++id)
        if (bands.at(id) != MatchBand::None && !found.contains(id))
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Catalogue catalogue;
    if (size == 0)
        return 0;
    const QString input = decode(data + 1, size - 1);
    const int nameEnd = input.indexOf(QLatin1Char('\n'));
    const int noteStart = nameEnd < 0 ? -1 : input.indexOf(QLatin1Char('\n'), nameEnd + 1);
    const QString typed = input.left(nameEnd);
    const QString name =
        nameEnd < 0 ? QString()
                    : repeated(input.mid(nameEnd + 1, noteStart - nameEnd - 1), data[0] & 15);
    const QString note =
        noteStart < 0 ? QString() : repeated(input.mid(noteStart + 1), data[0] >> 4);
    // Preparing a query is the costly part of a small input.
    const SearchQuery query(typed);
    checkBand(query, name, note);
    checkIndex(catalogue, query, typed, name, note);
    return 0;
}
