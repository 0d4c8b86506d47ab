// The command line and the message a second start hands to the running instance: any words
// are read without harm, any message too; a command read from words reaches the instance as the
// same command (a plain start as a show), with the caller's token and time.
#include "App/CommandLine.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quiver"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    Activation::Request received;
    CommandLine::fromMessage(text, &received);

    // Words one per line; the first line doubles as the caller's token, which never holds a
    // line break.
    const QStringList lines = text.split(QLatin1Char('\n'));
    const CommandLine line = CommandLine::parse(QStringList{QStringLiteral("Quiver")} + lines);
    if (line.exitCode)
        return 0;
    Activation::Request request;
    request.token = lines.value(0);
    request.userTime = quint32(qHash(text));
    Activation::Request back;
    const CommandLine handed = CommandLine::fromMessage(line.message(request), &back);
    // A plain second start brings the window up.
    const auto expected =
        line.command == CommandLine::Command::Start ? CommandLine::Command::Show : line.command;
    if (handed.command != expected || back.token != request.token ||
        back.userTime != request.userTime)
        std::abort();
    return 0;
}
