#include "Catalogue/ResultsListView.h"

#include <QAction>
#include <QMenu>

ResultsListView::ResultsListView(QWidget *parent)
    : QListView(parent)
    , m_run(new QAction(QStringLiteral("运行"), this))
    , m_locate(new QAction(QStringLiteral("定位位置"), this))
    , m_menu(new QMenu(this))
{
    m_run->setObjectName(QStringLiteral("actionRunResult"));
    m_locate->setObjectName(QStringLiteral("actionLocateResult"));
    setContextMenuPolicy(Qt::CustomContextMenu);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(32, 32));
    m_menu->addActions({m_run, m_locate});
    connect(this, &QWidget::customContextMenuRequested, this, &ResultsListView::menu_show);
}

void ResultsListView::menu_show(QPoint pos)
{
    if (indexAt(pos).isValid())
        m_menu->exec(mapToGlobal(pos));
}
