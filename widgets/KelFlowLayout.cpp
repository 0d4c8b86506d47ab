#include "KelFlowLayout.h"

#include <QWidget>

KelFlowLayout::KelFlowLayout(QWidget *parent, int margin, int hSpacing, int vSpacing)
    : QLayout(parent)
    , m_hSpace(hSpacing)
    , m_vSpace(vSpacing)
{
    setContentsMargins(margin, margin, margin, margin);
}

KelFlowLayout::KelFlowLayout(int margin, int hSpacing, int vSpacing)
    : KelFlowLayout(nullptr, margin, hSpacing, vSpacing)
{}

KelFlowLayout::~KelFlowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void KelFlowLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
}

int KelFlowLayout::count() const
{
    return m_items.size();
}

QLayoutItem *KelFlowLayout::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem *KelFlowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    return m_items.takeAt(index);
}

Qt::Orientations KelFlowLayout::expandingDirections() const
{
    return {};
}

bool KelFlowLayout::hasHeightForWidth() const
{
    return true;
}

int KelFlowLayout::heightForWidth(int width) const
{
    return doLayout(QRect(0, 0, width, 0), true);
}

void KelFlowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    doLayout(rect, false);
}

QSize KelFlowLayout::sizeHint() const
{
    return minimumSize();
}

QSize KelFlowLayout::minimumSize() const
{
    QSize size(0, 0);
    for (const QLayoutItem *item : m_items)
        size = size.expandedTo(item->minimumSize());
    const QMargins margins = contentsMargins();
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

int KelFlowLayout::horizontalSpacing() const
{
    return m_hSpace >= 0 ? m_hSpace : smartSpacing(QStyle::PM_LayoutHorizontalSpacing);
}

int KelFlowLayout::verticalSpacing() const
{
    return m_vSpace >= 0 ? m_vSpace : smartSpacing(QStyle::PM_LayoutVerticalSpacing);
}

int KelFlowLayout::smartSpacing(QStyle::PixelMetric metric) const
{
    QObject *owner = parent();
    if (!owner)
        return -1;
    if (owner->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(owner);
        return widget->style()->pixelMetric(metric, nullptr, widget);
    }
    return static_cast<QLayout *>(owner)->spacing();
}

int KelFlowLayout::itemSpacing(QLayoutItem *item, Qt::Orientation orientation) const
{
    const int spacing = orientation == Qt::Horizontal ? horizontalSpacing() : verticalSpacing();
    if (spacing != -1)
        return spacing;
    // Ask the item's own style; a spacer or nested layout has none, so take the one of the
    // widget this layout belongs to, and without one, no gap.
    const QWidget *widget = item->widget() ? item->widget() : parentWidget();
    if (!widget)
        return 0;
    return widget->style()->layoutSpacing(QSizePolicy::PushButton, QSizePolicy::PushButton,
                                          orientation);
}

int KelFlowLayout::doLayout(const QRect &rect, bool testOnly) const
{
    const QMargins margins = contentsMargins();
    const QRect area =
        rect.adjusted(margins.left(), margins.top(), -margins.right(), -margins.bottom());
    int x = area.x();
    int y = area.y();
    int lineHeight = 0;

    for (QLayoutItem *item : m_items) {
        const QSize hint = item->sizeHint();
        const int spaceX = itemSpacing(item, Qt::Horizontal);
        const int spaceY = itemSpacing(item, Qt::Vertical);
        int nextX = x + hint.width() + spaceX;
        // The first item of a line stays on it however wide it is.
        if (nextX - spaceX > area.right() && lineHeight > 0) {
            x = area.x();
            y = y + lineHeight + spaceY;
            nextX = x + hint.width() + spaceX;
            lineHeight = 0;
        }
        if (!testOnly)
            item->setGeometry(QRect(QPoint(x, y), hint));
        x = nextX;
        lineHeight = qMax(lineHeight, hint.height());
    }
    return y + lineHeight - rect.y() + margins.bottom();
}
