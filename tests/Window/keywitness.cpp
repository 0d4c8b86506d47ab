// Another client's text box, holding the focus when the hotkey is pressed: it prints "focused"
// once it has the keyboard, then its text whenever a key reaches it. A line on its input
// focuses the box anew, as a click into it would.
#include <QApplication>
#include <QLineEdit>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLineEdit edit;
    edit.setGeometry(300, 300, 200, 60);
    edit.setWindowTitle(QStringLiteral("quiver key witness"));
    const auto say = [](const QString &line) {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    };
    QObject::connect(&edit, &QLineEdit::textChanged, say);
    QObject::connect(&app, &QApplication::focusChanged, [say, &edit](QWidget *, QWidget *now) {
        if (now == &edit)
            say(QStringLiteral("focused"));
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[64];
        if (::read(STDIN_FILENO, line, sizeof line) <= 0) {
            input.setEnabled(false);
            return;
        }
        edit.clearFocus();
        edit.setFocus();
    });
    edit.show();
    return app.exec();
}
