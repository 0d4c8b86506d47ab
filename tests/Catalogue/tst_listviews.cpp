#include "Core/DataControl.h"
#include "Catalogue/GroupsListView.h"
#include "Catalogue/ItemRoles.h"
#include "Catalogue/ItemsListView.h"
#include "Catalogue/ResultsListView.h"
#include "CatalogueSupport.h"
#include "TestSupport.h"
#include "Catalogue/TypesListView.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QDrag>
#include <QProcess>
#include <QTimer>

#include <functional>
#include <memory>

// Xlib's macros clash with Qt's names: its headers come last.
#include "X11Desktop.h"

namespace {
QDragMoveEvent dragMoveOver(QListView *view, const QModelIndex &index, QMimeData *mime)
{
    const QPoint pos = view->visualRect(index).center();
    return QDragMoveEvent(pos, Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
}

// Counts the events of a kind a widget is sent: the X server's input has reached it.
class EventCount final : public QObject
{
public:
    EventCount(QObject *watched, QEvent::Type type)
        : m_type(type)
    {
        watched->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == m_type;
        return false;
    }

private:
    QEvent::Type m_type;
};

// Drags an entry with the real pointer: press on it and move away, so the view starts its drag.
// Once the drag runs, `during` previews over other entries and Escape cancels the drag. Returns
// whether a drag ran at all.
bool dragEntry(QListView *view, int row, const std::function<void()> &during)
{
    const QPoint start =
        view->viewport()->mapToGlobal(view->visualRect(view->model()->index(row, 0)).center());
    bool dragged = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, view, [&] {
        if (dragged || !view->findChild<QDrag *>())
            return;
        dragged = true;
        during();
        QTest::keyClick(view->viewport(), Qt::Key_Escape);
    });
    poll.start(20);
    const EventCount presses(view->viewport(), QEvent::MouseButtonPress);
    const EventCount moves(view->viewport(), QEvent::MouseMove);
    X11Desktop::xdotool({"mousemove", QString::number(start.x()), QString::number(start.y())});
    X11Desktop::xdotool({"mousedown", "1"});
    (void)QTest::qWaitFor([&] { return presses.count > 0; }, 1000);
    // The view starts its drag on the second move it sees; two moves queued together reach it
    // as one.
    const int movesBefore = moves.count;
    X11Desktop::xdotool(
        {"mousemove", QString::number(start.x() + 15), QString::number(start.y() + 15)});
    (void)QTest::qWaitFor([&] { return moves.count > movesBefore; }, 1000);
    X11Desktop::xdotool(
        {"mousemove", QString::number(start.x() + 30), QString::number(start.y() + 30)});
    (void)QTest::qWaitFor([&] { return dragged; }, 1000);
    X11Desktop::xdotool({"mouseup", "1"});
    // Released before the next press of the test.
    (void)QTest::qWaitFor([] { return QGuiApplication::mouseButtons() == Qt::NoButton; }, 1000);
    return dragged;
}
} // namespace

class TestListViews : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void shouldPreviewAndStoreTypeOrder();
    void shouldStoreItemOrderThroughProxy();
    void shouldNotDragSeveralItemsOrWhenDisabled();
    void shouldAcceptOnlyOwnFormats();
    void shouldEmitDroppedUrls();
    void shouldOpenExactMenus();
    void shouldSwitchDisplayModes_data();
    void shouldSwitchDisplayModes();

private:
    std::unique_ptr<CatalogueWorkDir> m_dir;
    QStandardItemModel m_types;
};

void TestListViews::initTestCase()
{
    m_dir = std::make_unique<CatalogueWorkDir>();
    QVERIFY(m_dir->isOpen());
    m_types.setSortRole(RowRole);
}

void TestListViews::init()
{
    Catalogue::reset("(1, 'A', 1), (2, 'B', 2), (3, 'C', 3)");
    Catalogue::exec("INSERT INTO Groups(ID, Name, TypesID) VALUES (7, 'g7', 2), (8, 'g8', 2)");
    m_types.clear();
    const QList<QPair<int, QString>> types{{1, "A"}, {2, "B"}, {3, "C"}};
    for (const auto &type : types) {
        auto *item = new QStandardItem(type.second);
        // Gapped positions: a drag renumbers them first.
        item->setData(double(type.first * 10), RowRole);
        item->setData(type.first, TypesIdRole);
        m_types.appendRow(item);
    }
}

void TestListViews::shouldPreviewAndStoreTypeOrder()
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        QSKIP("offscreen runs no drag loop; needs the X server");
    TypesListView view;
    view.setModel(&m_types);
    view.setDragEnabled(true);
    view.resize(120, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    // A down over C: lands just after it. Then back up over B: just before it.
    view.setCurrentIndex(m_types.index(0, 0));
    QStringList previewed;
    QVERIFY(dragEntry(&view, 0, [&] {
        QMimeData mime;
        mime.setData("types/index", QByteArray());
        QDragMoveEvent down = dragMoveOver(&view, m_types.index(2, 0), &mime);
        QApplication::sendEvent(view.viewport(), &down);
        QVERIFY(down.isAccepted());
        previewed = rowTexts(&m_types);
    }));
    QCOMPARE(previewed, (QStringList{"B", "C", "A"}));
    // Cancelled with Escape: the previewed order is kept and stored.
    QCOMPARE(rowTexts(&m_types), (QStringList{"B", "C", "A"}));
    QCOMPARE(Catalogue::column("SELECT Name FROM Types ORDER BY Row"),
             (QStringList{"B", "C", "A"}));
    QCOMPARE(Catalogue::column("SELECT Row FROM Types ORDER BY Row"), (QStringList{"0", "1", "2"}));

    view.setCurrentIndex(m_types.index(2, 0));
    QVERIFY(dragEntry(&view, 2, [&] {
        QMimeData mime;
        mime.setData("types/index", QByteArray());
        QDragMoveEvent up = dragMoveOver(&view, m_types.index(0, 0), &mime);
        QApplication::sendEvent(view.viewport(), &up);
    }));
    QCOMPARE(Catalogue::column("SELECT Name FROM Types ORDER BY Row"),
             (QStringList{"A", "B", "C"}));
}

void TestListViews::shouldStoreItemOrderThroughProxy()
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        QSKIP("offscreen runs no drag loop; needs the X server");
    QStandardItemModel items;
    for (int id = 1; id <= 3; ++id) {
        Catalogue::exec(
            QStringLiteral("INSERT INTO Items(ID, Name, GroupsID) VALUES(%1, 'i%1', 7)").arg(id));
        auto *item = new QStandardItem(QStringLiteral("i%1").arg(id));
        item->setData(id, ItemIdRole);
        items.appendRow(item);
    }
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&items);
    proxy.setSortRole(RowRole);
    proxy.sort(0);
    ItemsListView view;
    view.setModel(&proxy);
    view.setDragEnabled(true);
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    view.setCurrentIndex(proxy.index(0, 0));
    QVERIFY(dragEntry(&view, 0, [&] {
        QMimeData mime;
        mime.setData("items/index", QByteArray());
        QDragMoveEvent over = dragMoveOver(&view, proxy.index(1, 0), &mime);
        QApplication::sendEvent(view.viewport(), &over);
    }));
    QCOMPARE(rowTexts(&proxy), (QStringList{"i2", "i1", "i3"}));
    QCOMPARE(Catalogue::column("SELECT Name FROM Items ORDER BY Row"),
             (QStringList{"i2", "i1", "i3"}));
}

void TestListViews::shouldNotDragSeveralItemsOrWhenDisabled()
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        QSKIP("drags the real pointer; needs the X server");
    TypesListView view;
    view.setModel(&m_types);
    view.resize(120, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setDragEnabled(false);
    view.setCurrentIndex(m_types.index(0, 0));
    QVERIFY(!dragEntry(&view, 0, [] {}));
    // No drag started: the rows were never renumbered.
    QCOMPARE(m_types.index(0, 0).data(RowRole).toDouble(), 10.0);

    QStandardItemModel items;
    for (int i = 0; i < 2; ++i) {
        auto *item = new QStandardItem(QString::number(i));
        item->setData(double(10 + i), RowRole);
        items.appendRow(item);
    }
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&items);
    ItemsListView itemsView;
    itemsView.setModel(&proxy);
    itemsView.setDragEnabled(true);
    itemsView.resize(400, 300);
    itemsView.show();
    QVERIFY(QTest::qWaitForWindowExposed(&itemsView));
    itemsView.setCurrentIndex(proxy.index(0, 0));
    itemsView.selectAll();
    QCOMPARE(itemsView.selectionModel()->selectedIndexes().size(), 2);
    // Pressing a selected entry keeps the selection until release, so the drag sees both.
    QVERIFY(!dragEntry(&itemsView, 0, [] {}));
    QCOMPARE(items.item(0)->data(RowRole).toDouble(), 10.0);
    QCOMPARE(items.item(1)->data(RowRole).toDouble(), 11.0);
}

void TestListViews::shouldAcceptOnlyOwnFormats()
{
    TypesListView types;
    GroupsListView groups;
    ItemsListView items;
    QStandardItemModel groupsModel;
    groups.setModel(&groupsModel);
    types.setModel(&m_types);
    const auto accepts = [](QListView &view, const QString &format) {
        QMimeData mime;
        mime.setData(format, QByteArray("file:///tmp/x\r\n"));
        QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &enter);
        return enter.isAccepted();
    };
    QVERIFY(accepts(types, "types/index"));
    QVERIFY(!accepts(types, "groups/index"));
    QVERIFY(!accepts(types, "text/uri-list"));
    QVERIFY(accepts(groups, "groups/index"));
    QVERIFY(!accepts(groups, "items/index"));
    QVERIFY(!accepts(groups, "text/uri-list"));
    QVERIFY(accepts(items, "items/index"));
    QVERIFY(accepts(items, "text/uri-list"));
    QVERIFY(!accepts(items, "types/index"));
}

void TestListViews::shouldEmitDroppedUrls()
{
    ItemsListView view;
    QStandardItemModel items;
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&items);
    view.setModel(&proxy);
    view.setDragEnabled(false); // external drops stay accepted without dragging
    QSignalSpy dropped(&view, &ItemsListView::dropIn);
    QMimeData mime;
    const QList<QUrl> urls{QUrl::fromLocalFile("/usr/bin/env"), QUrl("https://example.org/a")};
    mime.setUrls(urls);
    view.resize(200, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &drop);
    QVERIFY(drop.isAccepted());
    // The drop is finished for the drag source before the entries are added.
    QCOMPARE(dropped.count(), 0);
    QTRY_COMPARE(dropped.count(), 1);
    QCOMPARE(dropped.at(0).at(0).value<QList<QUrl>>(), urls);
}

void TestListViews::shouldOpenExactMenus()
{
    TypesListView types;
    types.setModel(&m_types);
    types.resize(120, 300);
    types.show();
    QVERIFY(QTest::qWaitForWindowExposed(&types));
    const QPoint onEntry = types.visualRect(m_types.index(0, 0)).center();
    QCOMPARE(menuAt([&] { types.menu_show(QPoint(60, 290)); }),
             (QStringList{"添加分类", "导入应用程序"}));
    QCOMPARE(menuAt([&] { types.menu_show(onEntry); }),
             (QStringList{"添加分类", "设置图标", "重命名", "删除", "", "导入应用程序"}));

    GroupsListView groups;
    QStandardItemModel groupsModel;
    groupsModel.appendRow(new QStandardItem("g"));
    groups.setModel(&groupsModel);
    groups.setTypesModel(&m_types);
    groups.resize(400, 40);
    groups.show();
    QVERIFY(QTest::qWaitForWindowExposed(&groups));
    QCOMPARE(menuAt([&] { groups.menu_show(QPoint(390, 20)); }),
             (QStringList{"添加分组", "删除所有分组"}));
    QCOMPARE(menuAt([&] { groups.menu_show(groups.visualRect(groupsModel.index(0, 0)).center()); }),
             (QStringList{"打开全部", "添加分组", "重命名", "▸移动到", "▸显示模式", "▸排序",
                          "设置图标", "清空", "删除", "删除所有分组"}));
    QStringList targets;
    for (const QAction *action : groups.moveMenu()->actions())
        targets << action->text() + "=" + action->data().toString();
    QCOMPARE(targets, (QStringList{"A=1", "B=2", "C=3"}));

    ItemsListView items;
    QStandardItemModel itemsModel;
    itemsModel.appendRow(new QStandardItem("one"));
    itemsModel.appendRow(new QStandardItem("two"));
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&itemsModel);
    items.setModel(&proxy);
    items.setTypesModel(&m_types);
    items.resize(400, 300);
    items.show();
    QVERIFY(QTest::qWaitForWindowExposed(&items));
    QCOMPARE(menuAt([&] { items.menu_show(QPoint(390, 290)); }),
             (QStringList{"新建", "刷新", "粘贴"}));
    const QPoint first = items.visualRect(proxy.index(0, 0)).center();
    items.setCurrentIndex(proxy.index(0, 0));
    QCOMPARE(menuAt([&] { items.menu_show(first); }),
             (QStringList{"打开", "打开(管理员)", "", "打开文件位置", "复制完整路径", "新建",
                          "重命名", "▸移动到", "设置图标", "复制", "删除", "", "属性"}));
    // One submenu per type, each listing its groups with (type, group) as data.
    const QList<QAction *> typeMenus = items.moveMenu()->actions();
    QCOMPARE(typeMenus.size(), 3);
    QCOMPARE(typeMenus.at(0)->menu()->actions().size(), 0);
    const QList<QAction *> ofB = typeMenus.at(1)->menu()->actions();
    QCOMPARE(ofB.size(), 2);
    QCOMPARE(ofB.at(0)->text(), QStringLiteral("g7"));
    using TypeAndGroup = QPair<int, int>;
    QCOMPARE(ofB.at(1)->data().value<TypeAndGroup>(), TypeAndGroup(2, 8));
    items.selectAll();
    QCOMPARE(menuAt([&] { items.menu_show(first); }),
             (QStringList{"打开选中", "复制", "▸移动到", "设置图标", "删除选中"}));
    // Every right click builds the submenus anew; the old ones go, not one per type per click.
    QCOMPARE(items.moveMenu()->findChildren<QMenu *>(QString(), Qt::FindDirectChildrenOnly).size(),
             3);

    ResultsListView results;
    results.setModel(&itemsModel);
    results.resize(400, 300);
    results.show();
    QVERIFY(QTest::qWaitForWindowExposed(&results));
    QCOMPARE(
        menuAt([&] { results.menu_show(results.visualRect(itemsModel.index(0, 0)).center()); }),
        (QStringList{"运行", "定位位置"}));
    QVERIFY(menuAt([&] { results.menu_show(QPoint(390, 290)); }).isEmpty());
}

void TestListViews::shouldSwitchDisplayModes_data()
{
    QTest::addColumn<QList<int>>("modes");
    QTest::addColumn<bool>("whileShown");
    QTest::addColumn<bool>("tiles");
    QTest::newRow("tiles at start") << QList<int>{} << false << true;
    QTest::newRow("list rows") << QList<int>{1} << false << false;
    QTest::newRow("tiles again") << QList<int>{1, 0} << false << true;
    QTest::newRow("an unknown mode is ignored") << QList<int>{1, 7} << false << false;
    QTest::newRow("list rows while shown") << QList<int>{1} << true << false;
    QTest::newRow("tiles again while shown") << QList<int>{1, 0} << true << true;
}

void TestListViews::shouldSwitchDisplayModes()
{
    QFETCH(QList<int>, modes);
    QFETCH(bool, whileShown);
    QFETCH(bool, tiles);

    // What the view hands its delegate is how each entry is drawn.
    struct Recorder : QStyledItemDelegate
    {
        mutable QStyleOptionViewItem seen;
        void paint(QPainter *painter,
                   const QStyleOptionViewItem &option,
                   const QModelIndex &index) const override
        {
            seen = option;
            QStyledItemDelegate::paint(painter, option, index);
        }
    } recorder;
    QStandardItemModel model;
    QPixmap icon(16, 16);
    icon.fill(Qt::red);
    for (int row = 0; row < 40; ++row)
        model.appendRow(new QStandardItem(QIcon(icon), QStringLiteral("项目 %1").arg(row)));
    ItemsListView items;
    // The name the window gives it, which its sheets select.
    items.setObjectName(QStringLiteral("listView_items"));
    items.setItemDelegate(&recorder);
    items.setModel(&model);
    items.resize(400, 300);
    if (!whileShown) {
        for (int mode : modes)
            items.setShowMode(mode);
    }
    items.show();
    QVERIFY(QTest::qWaitForWindowExposed(&items));
    if (whileShown) {
        for (int mode : modes)
            items.setShowMode(mode);
    }
    items.viewport()->repaint();

    QCOMPARE(items.showMode(), tiles ? 0 : 1);
    const QRect first = items.visualRect(model.index(0, 0));
    const QRect second = items.visualRect(model.index(1, 0));
    const QRect fourth = items.visualRect(model.index(3, 0));
    if (tiles) {
        QCOMPARE(items.styleSheet(),
                 QStringLiteral("#listView_items:item{height:66;width:115;padding-top:4;}"));
        // Tiles 115 wide and 2 apart, 1 from the corner, three to a row of 400, icons over
        // centred names.
        QCOMPARE(first.topLeft(), QPoint(1, 1));
        QCOMPARE(first.width(), 115);
        QCOMPARE(second.topLeft(), first.topRight() + QPoint(3, 0));
        QCOMPARE(fourth.topLeft(), first.bottomLeft() + QPoint(0, 3));
        const int side = items.style()->pixelMetric(QStyle::PM_IconViewIconSize, nullptr, &items);
        QCOMPARE(recorder.seen.decorationSize, QSize(side, side));
        QCOMPARE(recorder.seen.decorationPosition, QStyleOptionViewItem::Top);
        QCOMPARE(recorder.seen.displayAlignment, Qt::AlignCenter);
        // A selected tile is highlighted behind its name, not across its icon; a band
        // selects several.
        QVERIFY(!recorder.seen.showDecorationSelected);
        QVERIFY(items.isSelectionRectVisible());
        // Scrolled by the pixel, not by the row.
        items.verticalScrollBar()->setValue(10);
        QCOMPARE(items.visualRect(model.index(0, 0)).top(), first.top() - 10);
        items.verticalScrollBar()->setValue(0);
    } else {
        QCOMPARE(items.styleSheet(), QStringLiteral("#listView_items:item{height:45;}"));
        QCOMPARE(items.iconSize(), QSize(32, 32));
        // Rows one under another, across the view, icons left of their names.
        QCOMPARE(second.left(), first.left());
        QCOMPARE(first.height(), 45);
        QCOMPARE(second.top(), first.bottom() + 5);
        QVERIFY(first.width() > 300);
        QCOMPARE(recorder.seen.decorationSize, QSize(32, 32));
        QCOMPARE(recorder.seen.decorationPosition, QStyleOptionViewItem::Left);
        QVERIFY(!items.isSelectionRectVisible());
    }
    // Down goes to the entry drawn under the current one.
    items.setCurrentIndex(model.index(0, 0));
    QTest::keyClick(&items, Qt::Key_Down);
    QCOMPARE(items.currentIndex().row(), tiles ? 3 : 1);

    GroupsListView groups;
    QVERIFY(groups.actionIconMode()->isChecked());
    QVERIFY(groups.showModeGroup()->isExclusive());
}

QUIVER_TEST_MAIN(TestListViews)
#include "tst_listviews.moc"
