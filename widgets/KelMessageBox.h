#pragma once

#include <QPoint>
#include <QString>
#include <QVariant>

#include "kelwidgets_export.h"

class MsgBox;
class QWidget;

// Non-modal notices: a rounded coloured strip with one line of text that rises and fades near a
// window, then deletes itself. A click dismisses it early.
class KELWIDGETS_EXPORT KelMessageBox
{
public:
    // Fixed underlying types: callers may pass any integer, and values outside the names are
    // handled (placed at the origin, no preset colour).
    enum DefaultPoint : int { Top = 0, Bottom = 1 };
    enum DefaultColor : int { Blue = 1, Red = 2, Green = 3 };

    // color: a DefaultColor value as an integer, or any style-sheet background text; an invalid
    // variant gives the blue preset.
    static void show(QWidget *parent,
                     const QString &text,
                     const QVariant &color = QVariant(),
                     int duration = 2000,
                     const DefaultPoint &point = Bottom,
                     const QString &textColor = QString());
    static void show(QPoint position,
                     const QString &text,
                     const QVariant &color = QVariant(),
                     int duration = 2000,
                     const QString &textColor = QString());

    // background is taken as it stands; an empty one gives the blue preset.
    static void information(QWidget *parent,
                            const QString &text,
                            const DefaultPoint &point = Bottom,
                            int duration = 3000,
                            const QString &background = QString(),
                            const QString &textColor = QString());
    static void information(const QPoint &position,
                            const QString &text,
                            int duration = 3000,
                            const QString &background = QString(),
                            const QString &textColor = QString());

    // The preset gradient of a colour; empty for any other value.
    static QString getDefaultColor(DefaultColor color);

private:
    static QPoint getDefaultPoint(const DefaultPoint &point, MsgBox *box, QWidget *parent);
    static void setStyleColor(MsgBox *box, const QString &background, const QString &textColor);
    static QString backgroundOf(const QVariant &color);
    static void present(MsgBox *box,
                        const QPoint &position,
                        const QString &background,
                        const QString &textColor);
};
