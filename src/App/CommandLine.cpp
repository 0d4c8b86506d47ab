#include "App/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {
struct Known
{
    const char *name;
    CommandLine::Command command;
    const char *description;
};

const Known commands[] = {
    {"toggle", CommandLine::Command::Toggle, "显示或隐藏正在运行的窗口（与热键相同）"},
    {"show", CommandLine::Command::Show, "显示正在运行的窗口，没有则启动"},
    {"hide", CommandLine::Command::Hide, "隐藏正在运行的窗口"},
    {"quit", CommandLine::Command::Quit, "退出正在运行的程序"},
};
// Qt's own options, which the application object takes off the command line later: a session
// manager restores the program with "-session <id>", a user may give "-style Fusion".
const char *const qtOptionsWithValue[] = {"platform",      "platformpluginpath",
                                          "platformtheme", "plugin",
                                          "qmljsdebugger", "qwindowgeometry",
                                          "qwindowicon",   "qwindowtitle",
                                          "session",       "display",
                                          "name",          "title",
                                          "visual",        "geometry",
                                          "style",         "stylesheet"};
const char *const qtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

void addQtOptions(QCommandLineParser &parser)
{
    const auto hidden = [&parser](const char *name, const QString &valueName) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), valueName);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    };
    for (const char *name : qtOptionsWithValue)
        hidden(name, QStringLiteral("value"));
    for (const char *name : qtFlags)
        hidden(name, QString());
}
} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine line;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("快速启动器"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    for (const Known &known : commands)
        parser.addOption(QCommandLineOption(QString::fromLatin1(known.name),
                                            QString::fromUtf8(known.description)));
    const QCommandLineOption removeShortcut(QStringLiteral("remove-shortcut"),
                                            QStringLiteral("删除本程序在桌面设置中注册的快捷键"));
    parser.addOption(removeShortcut);
    // "-session" is one option, as Qt reads it, not seven letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    addQtOptions(parser);
    if (!parser.parse(arguments)) {
        line.exitCode = 2;
        line.error = QCoreApplication::applicationName() + QStringLiteral(": ") +
                     parser.errorText() + QStringLiteral("\n") +
                     QStringLiteral("用法见 %1 --help\n").arg(QCoreApplication::applicationName());
        return line;
    }
    if (!parser.positionalArguments().isEmpty()) {
        line.exitCode = 2;
        line.error =
            QCoreApplication::applicationName() +
            QStringLiteral(": 未知的参数 '%1'\n").arg(parser.positionalArguments().first());
        return line;
    }
    if (parser.isSet(help)) {
        line.exitCode = 0;
        line.output = parser.helpText();
        return line;
    }
    if (parser.isSet(version)) {
        line.exitCode = 0;
        line.output = QCoreApplication::applicationName() + QLatin1Char(' ') +
                      QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return line;
    }
    line.removeShortcut = parser.isSet(removeShortcut);
    int given = line.removeShortcut ? 1 : 0;
    for (const Known &known : commands)
        if (parser.isSet(QString::fromLatin1(known.name))) {
            line.command = known.command;
            ++given;
        }
    if (given > 1) {
        line.exitCode = 2;
        line.error =
            QCoreApplication::applicationName() +
            QStringLiteral(": --toggle、--show、--hide、--quit、--remove-shortcut 只能选一个\n");
    }
    return line;
}

QString CommandLine::message(const Activation::Request &request) const
{
    QString name = QStringLiteral("show");
    for (const Known &known : commands)
        if (known.command == command)
            name = QString::fromLatin1(known.name);
    return name + QLatin1Char('\n') + request.token + QLatin1Char('\n') +
           QString::number(request.userTime);
}

CommandLine CommandLine::fromMessage(const QString &message, Activation::Request *request)
{
    CommandLine line;
    // An empty message is what a plain second start sends: bring the window to the front.
    line.command = Command::Show;
    const QString name = message.section(QLatin1Char('\n'), 0, 0);
    for (const Known &known : commands)
        if (name == QLatin1String(known.name))
            line.command = known.command;
    request->token = message.section(QLatin1Char('\n'), 1, 1);
    request->userTime = message.section(QLatin1Char('\n'), 2, 2).toUInt();
    return line;
}
