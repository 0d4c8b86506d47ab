#include "MsgBox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QX11Info>

MsgBox::MsgBox(const QString &text, int duration)
    : QDialog(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_duration(duration)
    , m_label(new QLabel(text, this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    // A notice must not take the focus from the window the user is working in.
    setAttribute(Qt::WA_ShowWithoutActivating);
    resize(280, 60);
    m_label->setObjectName(QStringLiteral("labelNotice"));
    m_label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_label);
    // Translucency needs a compositing manager; without one (a bare window manager) the
    // transparent parts come out black. The label then fills the box, which is cut to its
    // rounded shape.
    m_opaque = QX11Info::isPlatformX11() && !QX11Info::isCompositingManagerRunning();
    if (m_opaque)
        layout->setContentsMargins(0, 0, 0, 0);
    else
        setAttribute(Qt::WA_TranslucentBackground);
}

void MsgBox::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (!m_opaque)
        return;
    QPainterPath shape;
    const qreal radius = qMin(width(), height()) * 0.05;
    shape.addRoundedRect(rect(), radius, radius);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
}

void MsgBox::mouseReleaseEvent(QMouseEvent *event)
{
    QDialog::mouseReleaseEvent(event);
    deleteLater();
}

void MsgBox::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);

    // Unparented and self-deleting: an animation whose box was clicked away stops on its own.
    auto *rise = new QPropertyAnimation(this, "pos");
    rise->setDuration(m_duration);
    rise->setStartValue(pos());
    rise->setEndValue(QPoint(x(), y() - 60));

    auto *fade = new QPropertyAnimation(this, "windowOpacity");
    fade->setDuration(m_duration);
    fade->setKeyValueAt(0.0, 1.0);
    fade->setKeyValueAt(0.4, 1.0);
    fade->setKeyValueAt(1.0, 0.1);

    connect(rise, &QAbstractAnimation::finished, this, &QObject::deleteLater);
    rise->start(QAbstractAnimation::DeleteWhenStopped);
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}
