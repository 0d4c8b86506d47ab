#pragma once

#include <QLabel>
#include <QPixmap>

#include "kelwidgets_export.h"

// Shows a picture clipped to a circle, or to a pill shape on a widget that is not square,
// refitted at every resize.
class KELWIDGETS_EXPORT KelCircularImage : public QLabel
{
public:
    explicit KelCircularImage(QWidget *parent = nullptr);

    void setPixmap(const QPixmap &pixmap);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // radius -1 stands for half the height.
    static QPixmap toCircular(const QPixmap &source, const QSize &size, int radius = -1);

    QPixmap m_source;
};
