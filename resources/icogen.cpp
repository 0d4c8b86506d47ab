// Renders the program's SVG icon into the .ico file that the resources carry, or into a PNG of
// one size for the desktop's icon theme.
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s input.svg output.ico | output.png size\n", argv[0]);
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const int size = argc == 4 ? QByteArray(argv[3]).toInt() : 256;
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    const QString output = QString::fromLocal8Bit(argv[2]);
    QImageWriter writer(output, QFileInfo(output).suffix().toLatin1());
    if (!writer.write(image)) {
        std::fprintf(stderr, "cannot write %s: %s\n", argv[2], qPrintable(writer.errorString()));
        return 1;
    }
    return 0;
}
