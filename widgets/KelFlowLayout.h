#pragma once

#include <QLayout>
#include <QList>
#include <QStyle>

#include "kelwidgets_export.h"

// Places its items left to right and wraps to a new line when the next item would cross the
// right edge, like words in a paragraph.
class KELWIDGETS_EXPORT KelFlowLayout : public QLayout
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KelFlowLayout)

public:
    explicit KelFlowLayout(QWidget *parent, int margin = -1, int hSpacing = -1, int vSpacing = -1);
    explicit KelFlowLayout(int margin = -1, int hSpacing = -1, int vSpacing = -1);
    ~KelFlowLayout() override;

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;
    QSize sizeHint() const override;

    int horizontalSpacing() const;
    int verticalSpacing() const;

private:
    int doLayout(const QRect &rect, bool testOnly) const;
    int smartSpacing(QStyle::PixelMetric metric) const;
    int itemSpacing(QLayoutItem *item, Qt::Orientation orientation) const;

    QList<QLayoutItem *> m_items;
    int m_hSpace;
    int m_vSpace;
};
