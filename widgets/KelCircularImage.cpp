#include "KelCircularImage.h"

#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>

KelCircularImage::KelCircularImage(QWidget *parent)
    : QLabel(parent)
{
    setScaledContents(true);
    setMinimumSize(10, 10);
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
}

void KelCircularImage::setPixmap(const QPixmap &pixmap)
{
    m_source = pixmap;
    QLabel::setPixmap(toCircular(m_source, size()));
}

void KelCircularImage::resizeEvent(QResizeEvent *event)
{
    if (!event->size().isEmpty())
        QLabel::setPixmap(toCircular(m_source, event->size()));
    QLabel::resizeEvent(event);
}

QPixmap KelCircularImage::toCircular(const QPixmap &source, const QSize &size, int radius)
{
    if (source.isNull() || size.isEmpty())
        return QPixmap();
    const int r = radius == -1 ? size.height() / 2 : radius;
    QPixmap result(size);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    // Qt 5.14 folded high-quality antialiasing into the ordinary hint.
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(0, 0, size.width(), size.height(), r, r, Qt::AbsoluteSize);
    painter.setClipPath(clip, Qt::ReplaceClip);
    // Anchored top-left: the overflow to the right or bottom is cut off.
    painter.drawPixmap(
        0, 0, source.scaled(size, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation));
    return result;
}
