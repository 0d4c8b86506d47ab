// Another client's text box, holding the focus when the hotkey is pressed: it prints "focused"
// once it has the keyboard, then its text whenever a key reaches it.
#include <QApplication>
#include <QLineEdit>

#include <cstdio>

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
    edit.show();
    return app.exec();
}
