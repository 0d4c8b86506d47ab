// The yardstick for start-up: a bare Qt Widgets window with one label, of the launcher's size,
// started the way the launcher is (no OpenGL probe).
#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Quiver 快速启动"));
    label.resize(700, 600);
    label.show();
    return app.exec();
}
