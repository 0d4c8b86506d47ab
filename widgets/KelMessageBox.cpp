#include "KelMessageBox.h"

#include <QLabel>
#include <QWidget>

#include "MsgBox.h"

QString KelMessageBox::getDefaultColor(DefaultColor color)
{
    switch (color) {
    case Blue:
        return QStringLiteral("qlineargradient(spread:pad, x1:0.0170455, y1:0.517, x2:1, y2:0.5, "
                              "stop:0 rgba(65, 127, 246, 255), stop:1 rgba(122, 165, 250, 255))");
    case Red:
        return QStringLiteral("qlineargradient(spread:pad, x1:0.018, y1:0.573864, x2:1, "
                              "y2:0.534091, stop:0 rgba(255, 78, 78, 255), stop:1 rgba(250, 112, "
                              "112, 255))");
    case Green:
        return QStringLiteral("qlineargradient(spread:pad, x1:0.00568182, y1:0.568, x2:0.948864, "
                              "y2:0.563, stop:0 rgba(0, 203, 0, 255), stop:1 rgba(0, 191, 89, "
                              "255))");
    }
    return QString();
}

QString KelMessageBox::backgroundOf(const QVariant &color)
{
    const int preset = color.toInt();
    if (preset >= Blue && preset <= Green)
        return getDefaultColor(DefaultColor(preset));
    return color.toString();
}

QPoint KelMessageBox::getDefaultPoint(const DefaultPoint &point, MsgBox *box, QWidget *parent)
{
    if (!parent || (point != Top && point != Bottom))
        return QPoint(0, 0);
    const int x = parent->x() + parent->width() / 2 - box->width() / 2;
    const int y = point == Top ? int(parent->y() * 1.2) : int(parent->y() + 0.9 * parent->height());
    return QPoint(x, y);
}

void KelMessageBox::setStyleColor(MsgBox *box, const QString &background, const QString &textColor)
{
    const QString text = textColor.isEmpty() ? QStringLiteral("#FFF") : textColor;
    const QString back = background.isEmpty() ? getDefaultColor(Blue) : background;
    box->label()->setStyleSheet(
        QStringLiteral("color: %1;font-size:16px; background-color:%2; border-radius:5%;")
            .arg(text)
            .arg(back));
}

void KelMessageBox::present(MsgBox *box,
                            const QPoint &position,
                            const QString &background,
                            const QString &textColor)
{
    box->move(position);
    setStyleColor(box, background, textColor);
    box->show();
}

void KelMessageBox::show(QWidget *parent,
                         const QString &text,
                         const QVariant &color,
                         int duration,
                         const DefaultPoint &point,
                         const QString &textColor)
{
    auto *box = new MsgBox(text, duration);
    present(box, getDefaultPoint(point, box, parent), backgroundOf(color), textColor);
}

void KelMessageBox::show(QPoint position,
                         const QString &text,
                         const QVariant &color,
                         int duration,
                         const QString &textColor)
{
    present(new MsgBox(text, duration), position, backgroundOf(color), textColor);
}

void KelMessageBox::information(QWidget *parent,
                                const QString &text,
                                const DefaultPoint &point,
                                int duration,
                                const QString &background,
                                const QString &textColor)
{
    auto *box = new MsgBox(text, duration);
    present(box, getDefaultPoint(point, box, parent), background, textColor);
}

void KelMessageBox::information(const QPoint &position,
                                const QString &text,
                                int duration,
                                const QString &background,
                                const QString &textColor)
{
    present(new MsgBox(text, duration), position, background, textColor);
}
