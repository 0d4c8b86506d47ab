#include "KelSideList.h"

#include <QStandardItemModel>

namespace {
QString rules(const char *list, const char *item, const char *selected, int gap)
{
    const QString spaces(gap, QLatin1Char(' '));
    return QLatin1String(list) + spaces + QLatin1String(item) + spaces + QLatin1String(selected);
}

QString templateOf(KelSideList::StyleMode mode)
{
    if (mode == KelSideList::LeftBorder)
        return rules("QListView{ outline:0; background-color::bgColor; border:none; }",
                     "QListView:item{ padding-left:8px; background-color::bgColor; height:50px; "
                     "color::color; }",
                     "QListView:item:selected{ padding-left:6px; color::s_color; "
                     "background-color::s_bgColor; border-left: 2px solid :bdColor; height:30px; }",
                     40);
    return rules("QListView{ outline:0; background-color::bgColor; border:none; }",
                 "QListView:item{ margin:4px; padding-left:10px;padding-right:10px;"
                 "background-color::bgColor; height:50px; color::color; }",
                 "QListView:item:selected{ color::s_color; background-color::s_bgColor;  "
                 "height:30px;border-radius:10%; }",
                 41);
}
} // namespace

KelSideList::KelSideList(QWidget *parent)
    : QListView(parent)
    , m_model(new QStandardItemModel(this))
    , m_template(templateOf(Rounded))
{
    setModel(m_model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(28, 28));
    setMovement(QListView::Static);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleColor(m_colors);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { emit currentRowChanged(current.row()); });
}

void KelSideList::append(QStandardItem *item)
{
    item->setTextAlignment(m_alignment);
    m_model->appendRow(item);
    if (m_model->rowCount() == 1)
        setCurrentIndex(m_model->index(0, 0));
}

QIcon KelSideList::withSelectionIcon(const QIcon &icon) const
{
    if (m_selectionIcon)
        return icon;
    // Selected entries show their ordinary picture instead of the style's selection tint.
    QIcon copy = icon;
    copy.addPixmap(icon.pixmap(iconSize(), QIcon::Normal), QIcon::Selected, QIcon::Off);
    return copy;
}

void KelSideList::addItem(const QString &text)
{
    append(new QStandardItem(text));
}

void KelSideList::addItem(const QString &text, const QIcon &icon)
{
    append(new QStandardItem(withSelectionIcon(icon), text));
}

void KelSideList::addItem(const QIcon &icon, const QString &toolTip)
{
    auto *item = new QStandardItem(withSelectionIcon(icon), QString());
    item->setToolTip(toolTip);
    append(item);
}

void KelSideList::addItem(const QString &text, const QString &iconFile)
{
    addItem(text, QIcon(iconFile));
}

void KelSideList::addItem(const QString &text,
                          const QString &iconFile,
                          const QString &selectedIconFile)
{
    QIcon icon(iconFile);
    icon.addPixmap(QPixmap(selectedIconFile), QIcon::Selected, QIcon::Off);
    append(new QStandardItem(icon, text));
}

void KelSideList::setSelectionIconAble(bool able)
{
    m_selectionIcon = able;
}

void KelSideList::setStyleColor(const StyleConfig &config)
{
    m_colors = config;
    QString sheet = m_template;
    sheet.replace(QLatin1String(":color"), m_colors.color)
        .replace(QLatin1String(":bgColor"), m_colors.bgColor)
        .replace(QLatin1String(":s_color"), m_colors.s_color)
        .replace(QLatin1String(":s_bgColor"), m_colors.s_bgColor)
        .replace(QLatin1String(":bdColor"), m_colors.bdColor);
    QListView::setStyleSheet(QString());
    QListView::setStyleSheet(sheet + m_styleSheet);
}

void KelSideList::setStyleMode(const StyleMode &mode)
{
    if (mode == LeftBorder || mode == Rounded)
        m_template = templateOf(mode);
    setStyleColor(m_colors);
}

void KelSideList::setStyleSheet(const QString &styleSheet)
{
    m_styleSheet = styleSheet;
    setStyleColor(m_colors);
}

QString KelSideList::styleSheet() const
{
    return m_styleSheet;
}

void KelSideList::setTextAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
}

void KelSideList::setViewMode(QListView::ViewMode)
{
    QListView::setViewMode(QListView::ListMode);
}
