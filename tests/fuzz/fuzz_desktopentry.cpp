// Desktop entries as any file may hold them, and item arguments as any text: the entry is read,
// the arguments split as a shell reads them and put where Exec takes files. A word the split
// gave comes back alone once quoted, and Exec with the words in place reads back, as GIO reads
// it, as the program and exactly those words.
#include "Desktop/DesktopEntry.h"
#include "Desktop/DesktopShell.h"
#include "KelProcess.h"

#include <QFile>
#include <QTemporaryDir>

#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
// Exec's own escape: "%%" is a percent sign (the only field code in the Exec below).
QString unescapePercent(const QString &exec)
{
    QString plain;
    for (int i = 0; i < exec.size(); ++i) {
        if (exec.at(i) == QLatin1Char('%') && i + 1 < exec.size())
            ++i;
        plain += exec.at(i);
    }
    return plain;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder;
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    // The arguments up to the first NUL, the entry after it.
    const int cut = bytes.indexOf('\0');
    const QString arguments = QString::fromUtf8(cut < 0 ? bytes : bytes.left(cut));
    const QString path = folder.filePath(QStringLiteral("fuzz.desktop"));
    {
        QFile entry(path);
        if (!entry.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        entry.write(cut < 0 ? QByteArray() : bytes.mid(cut + 1));
    }
    const DesktopEntry entry = DesktopEntry::read(path);
    if (!DesktopEntry::isEntryFile(path))
        std::abort();

    const std::optional<QStringList> words = KelProcess::splitArguments(arguments);
    if (!words)
        return 0;
    for (const QString &word : *words) {
        gchar *quoted = g_shell_quote(word.toUtf8().constData());
        const std::optional<QStringList> again =
            KelProcess::splitArguments(QString::fromUtf8(quoted));
        g_free(quoted);
        if (again != QStringList{word})
            std::abort();
    }
    DesktopShell::execWithArguments(entry.exec(), *words, folder.path());
    // No relative name exists in a folder that does not: the words stay as they are.
    const QString exec = DesktopShell::execWithArguments(
        QStringLiteral("program --first %F"), *words, QStringLiteral("/nonexistent/quiver-fuzz"));
    if (KelProcess::splitArguments(unescapePercent(exec)) !=
        QStringList{"program", "--first"} + *words)
        std::abort();
    return 0;
}
