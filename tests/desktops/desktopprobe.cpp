// A small X11 client for the desktop tests. Plain, it shows a text box titled by its first
// argument, where the second ("x,y") puts it, and prints a line for each thing that happens:
// "window 0x…" once shown, "focused" when the box gets the keyboard, "text …" on Return, "escape"
// on Escape. With "--record FILE" it shows nothing and appends how it was started to FILE: the
// command a desktop's shortcut runs.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QShortcut>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--record") == 0) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        if (!file.open(QIODevice::Append))
            return 1;
        // One write, so that two quick starts never mix their lines.
        const QByteArray line = "started token=" + qgetenv("XDG_ACTIVATION_TOKEN") +
                                " startup-id=" + qgetenv("DESKTOP_STARTUP_ID") + '\n';
        return file.write(line) == line.size() ? 0 : 1;
    }

    QApplication app(argc, argv);
    const auto say = [](const QString &line) {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    };
    QLineEdit edit;
    edit.setWindowTitle(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("probe"));
    edit.resize(360, 60);
    // An explicit position, which window managers keep, so that tests know where to click.
    const QStringList at =
        argc > 2 ? QString::fromLocal8Bit(argv[2]).split(QLatin1Char(',')) : QStringList();
    if (at.size() == 2)
        edit.move(at.at(0).toInt(), at.at(1).toInt());
    QObject::connect(&edit, &QLineEdit::textEdited,
                     [&](const QString &text) { say(QStringLiteral("edited ") + text); });
    QObject::connect(&edit, &QLineEdit::returnPressed,
                     [&] { say(QStringLiteral("text ") + edit.text()); });
    QObject::connect(new QShortcut(Qt::Key_Escape, &edit), &QShortcut::activated,
                     [&] { say(QStringLiteral("escape")); });
    QObject::connect(&app, &QApplication::focusChanged, [&](QWidget *, QWidget *now) {
        if (now == &edit)
            say(QStringLiteral("focused"));
    });
    edit.show();
    say(QStringLiteral("window 0x%1").arg(edit.winId(), 0, 16));
    return app.exec();
}
