#include "Catalogue/ItemsListView.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QSortFilterProxyModel>
#include <QSqlQuery>
#include <QAbstractItemModel>

#include "Core/DataControl.h"
#include "Catalogue/DragReorder.h"
#include "Catalogue/ItemRoles.h"

namespace {
const QString itemsFormat = QStringLiteral("items/index");
const QString urlFormat = QStringLiteral("text/uri-list");
const QString iconModeSheet =
    QStringLiteral("#listView_items:item{height:66;width:115;padding-top:4;}");
const QString listModeSheet = QStringLiteral("#listView_items:item{height:45;}");
} // namespace

ItemsListView::ItemsListView(QWidget *parent)
    : QListView(parent)
    , m_run(new QAction(QStringLiteral("打开"), this))
    , m_runAsAdmin(new QAction(QStringLiteral("打开(管理员)"), this))
    , m_add(new QAction(QStringLiteral("新建"), this))
    , m_paste(new QAction(QStringLiteral("粘贴"), this))
    , m_copy(new QAction(QStringLiteral("复制"), this))
    , m_refresh(new QAction(QStringLiteral("刷新"), this))
    , m_rename(new QAction(QStringLiteral("重命名"), this))
    , m_openFolder(new QAction(QStringLiteral("打开文件位置"), this))
    , m_copyPath(new QAction(QStringLiteral("复制完整路径"), this))
    , m_delete(new QAction(QStringLiteral("删除"), this))
    , m_attribute(new QAction(QStringLiteral("属性"), this))
    , m_setIcon(new QAction(QStringLiteral("设置图标"), this))
    , m_runSelected(new QAction(QStringLiteral("打开选中"), this))
    , m_deleteSelected(new QAction(QStringLiteral("删除选中"), this))
    , m_moveMenu(new QMenu(QStringLiteral("移动到"), this))
    , m_blankMenu(new QMenu(this))
    , m_singleMenu(new QMenu(this))
    , m_severalMenu(new QMenu(this))
    , m_reorder(std::make_unique<DragReorder>(
          this, itemsFormat, ItemIdRole, [](const QVariant &id, const QVariant &row) {
              return DataControl::instance().item_setRow(id, row);
          }))
{
    m_run->setObjectName(QStringLiteral("actionRunItem"));
    m_runAsAdmin->setObjectName(QStringLiteral("actionRunItemAsAdmin"));
    m_add->setObjectName(QStringLiteral("actionAddItem"));
    m_paste->setObjectName(QStringLiteral("actionPasteItems"));
    m_copy->setObjectName(QStringLiteral("actionCopyItems"));
    m_refresh->setObjectName(QStringLiteral("actionRefreshItems"));
    m_rename->setObjectName(QStringLiteral("actionRenameItem"));
    m_openFolder->setObjectName(QStringLiteral("actionOpenItemFolder"));
    m_copyPath->setObjectName(QStringLiteral("actionCopyItemPath"));
    m_delete->setObjectName(QStringLiteral("actionDeleteItem"));
    m_attribute->setObjectName(QStringLiteral("actionItemProperties"));
    m_setIcon->setObjectName(QStringLiteral("actionSetItemIcon"));
    m_runSelected->setObjectName(QStringLiteral("actionRunSelectedItems"));
    m_deleteSelected->setObjectName(QStringLiteral("actionDeleteSelectedItems"));
    qRegisterMetaType<QPair<int, int>>();

    setShowMode(0);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
    setAcceptDrops(true);
    setDefaultDropAction(Qt::MoveAction);
    setMovement(QListView::Free);
    // One key for one item or several: deleting asks about the whole selection.
    for (QAction *remove : {m_delete, m_deleteSelected}) {
        remove->setShortcut(QKeySequence::Delete);
        remove->setShortcutContext(Qt::WidgetShortcut);
    }
    addAction(m_delete);

    m_blankMenu->addActions({m_add, m_refresh, m_paste});
    m_singleMenu->addActions({m_run, m_runAsAdmin});
    m_singleMenu->addSeparator();
    m_singleMenu->addActions({m_openFolder, m_copyPath, m_add, m_rename});
    m_singleMenu->addMenu(m_moveMenu);
    m_singleMenu->addActions({m_setIcon, m_copy, m_delete});
    m_singleMenu->addSeparator();
    m_singleMenu->addAction(m_attribute);
    m_severalMenu->addActions({m_runSelected, m_copy});
    m_severalMenu->addMenu(m_moveMenu);
    m_severalMenu->addActions({m_setIcon, m_deleteSelected});

    // The proxy's order is the display order; each row stands for its item in the source model.
    m_reorder->setRows([this] {
        QList<QPersistentModelIndex> rows;
        for (int row = 0; row < m_proxy->rowCount(); ++row)
            rows << m_proxy->mapToSource(m_proxy->index(row, 0));
        return rows;
    });

    connect(this, &QWidget::customContextMenuRequested, this, &ItemsListView::menu_show);
}

ItemsListView::~ItemsListView() = default;

void ItemsListView::setTypesModel(QAbstractItemModel *model)
{
    m_typesModel = model;
}

void ItemsListView::setShowMode(int mode)
{
    if (mode != 0 && mode != 1)
        return;
    m_showMode = mode;
    // First: setting the scroll mode runs a pending layout at once, which before the view is
    // first shown would measure the tiles by the sheet it had.
    if (mode == 0)
        setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    else
        resetVerticalScrollMode();
    // Tiles are a list that wraps, not an icon view, which would keep a rectangle and a spatial
    // index entry per item; viewOptions() draws them as an icon view would. A list counts its
    // spacing on both sides of each tile: 1 leaves tiles 2 apart.
    setFlow(mode == 0 ? QListView::LeftToRight : QListView::TopToBottom);
    setWrapping(mode == 0);
    setSelectionRectVisible(mode == 0);
    setSpacing(mode == 0 ? 1 : 2);
    setStyleSheet(mode == 0 ? iconModeSheet : listModeSheet);
    setIconSize(mode == 0 ? QSize(-1, -1) : QSize(32, 32));
}

QStyleOptionViewItem ItemsListView::viewOptions() const
{
    QStyleOptionViewItem option = QListView::viewOptions();
    if (m_showMode == 0) {
        option.showDecorationSelected = false;
        option.decorationPosition = QStyleOptionViewItem::Top;
        option.displayAlignment = Qt::AlignCenter;
        if (!iconSize().isValid()) {
            const int side = style()->pixelMetric(QStyle::PM_IconViewIconSize, nullptr, this);
            option.decorationSize = QSize(side, side);
        }
    }
    return option;
}

void ItemsListView::rebuildMoveMenu()
{
    // clear() drops the actions only; the submenus of the last build are children to delete.
    qDeleteAll(m_moveMenu->findChildren<QMenu *>(QString(), Qt::FindDirectChildrenOnly));
    m_moveMenu->clear();
    if (!m_typesModel)
        return;
    for (int row = 0; row < m_typesModel->rowCount(); ++row) {
        const QModelIndex type = m_typesModel->index(row, 0);
        QMenu *groups = m_moveMenu->addMenu(type.data().toString());
        const int typeId = type.data(TypesIdRole).toInt();
        QSqlQuery query = DataControl::instance().groups_select(QStringLiteral("Name, ID"), typeId);
        while (query.next()) {
            QAction *action = groups->addAction(query.value(0).toString());
            action->setData(QVariant::fromValue(QPair<int, int>(typeId, query.value(1).toInt())));
        }
    }
}

void ItemsListView::menu_show(QPoint pos)
{
    if (!indexAt(pos).isValid()) {
        m_blankMenu->exec(mapToGlobal(pos));
        return;
    }
    rebuildMoveMenu();
    QMenu *menu = selectionModel()->selectedIndexes().size() < 2 ? m_singleMenu : m_severalMenu;
    menu->exec(mapToGlobal(pos));
}

bool ItemsListView::cacheModels()
{
    if (!m_proxy) {
        m_proxy = qobject_cast<QSortFilterProxyModel *>(model());
        m_items = m_proxy ? m_proxy->sourceModel() : nullptr;
    }
    return m_proxy && m_items;
}

void ItemsListView::dragEnterEvent(QDragEnterEvent *event)
{
    const QMimeData *mime = event->mimeData();
    if (mime->hasFormat(urlFormat) || mime->hasFormat(itemsFormat))
        event->acceptProposedAction();
    else
        event->ignore();
}

void ItemsListView::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->source())
        event->accept();
    const QMimeData *mime = event->mimeData();
    if (!mime->hasFormat(itemsFormat)) {
        if (mime->hasFormat(urlFormat))
            event->acceptProposedAction();
        else
            event->ignore();
        return;
    }
    m_reorder->preview(event);
}

void ItemsListView::dropEvent(QDropEvent *event)
{
    const QMimeData *mime = event->mimeData();
    if (mime->hasFormat(itemsFormat)) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else if (mime->hasFormat(urlFormat)) {
        // The drag source waits until this returns; questions and page downloads come after.
        const QList<QUrl> urls = mime->urls();
        event->acceptProposedAction();
        QMetaObject::invokeMethod(
            this, [this, urls] { emit dropIn(urls); }, Qt::QueuedConnection);
    }
}

void ItemsListView::setEmptyHint(const QString &hint)
{
    m_emptyHint = hint;
    viewport()->update();
}

void ItemsListView::paintEvent(QPaintEvent *event)
{
    QListView::paintEvent(event);
    if (m_emptyHint.isEmpty() || (model() && model()->rowCount() > 0))
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.drawText(viewport()->rect().adjusted(24, 24, -24, -24),
                     Qt::AlignCenter | Qt::TextWordWrap, m_emptyHint);
}

void ItemsListView::startDrag(Qt::DropActions)
{
    if (selectionModel()->selectedIndexes().size() > 1 || !cacheModels())
        return;
    const QModelIndex dragged = m_proxy->mapToSource(currentIndex());
    m_reorder->run(dragged, dragged.data(Qt::DecorationRole).value<QIcon>().pixmap(32, 32));
}
