// A window that starts an XDND drag of the files named on its command line when pressed, as a
// file manager would. It stays after the drag: the target fetches the data after the drop, so
// the source must still answer then. It prints the action the drag ended with.
#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include <cstdio>

namespace {
class DragSource final : public QLabel
{
public:
    explicit DragSource(const QList<QUrl> &urls)
        : QLabel(QStringLiteral("drag me"))
        , m_urls(urls)
    {
        setAlignment(Qt::AlignCenter);
    }

protected:
    void mousePressEvent(QMouseEvent *) override
    {
        auto *mime = new QMimeData;
        mime->setUrls(m_urls);
        auto *drag = new QDrag(this);
        drag->setMimeData(mime);
        const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::LinkAction);
        std::printf("%d\n", int(action));
        std::fflush(stdout);
    }

private:
    QList<QUrl> m_urls;
};
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QList<QUrl> urls;
    for (const QString &path : app.arguments().mid(1))
        urls << QUrl::fromLocalFile(path);
    DragSource source(urls);
    source.setWindowTitle(QStringLiteral("quiver-drag-source"));
    source.resize(120, 120);
    source.show();
    return app.exec();
}
