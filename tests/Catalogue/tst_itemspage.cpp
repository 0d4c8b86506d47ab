// The items and results pages without the main window: a real catalogue file, the real views
// and search box, and the page that fills them, searches and answers the keys.
#include "CatalogueSupport.h"
#include "Core/DataControl.h"
#include "Catalogue/ItemRoles.h"
#include "Catalogue/ItemsListView.h"
#include "Catalogue/ItemsModel.h"
#include "Icons/IconLoader.h"
#include "Catalogue/ItemsPage.h"
#include "Catalogue/ResultsListView.h"
#include "Core/SettingsControl.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QDateTime>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QToolButton>

#include <memory>

class TestItemsPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void shouldShowTheGroupsItemsInStoredOrder();
    void shouldIndexOnlyTheShownRows_data();
    void shouldIndexOnlyTheShownRows();
    void shouldShowEveryNameAndIconOfALargeGroup_data();
    void shouldShowEveryNameAndIconOfALargeGroup();
    void shouldAnswerTheSearchBoxKeys_data();
    void shouldAnswerTheSearchBoxKeys();
    void shouldListTheHistoryNewestFirst();
    void shouldMoveTheSelectedItemsToAnotherGroup();
    void shouldShowFoundIconsRightAfterTheFirstFrame();

private:
    QStringList shown(const QAbstractItemModel *model) const;
    // The page showing group 1 of type 1, as the catalogue column would make it current.
    void showGroupOne();

    std::unique_ptr<CatalogueWorkDir> m_dir;
    std::unique_ptr<QWidget> m_window;
    QStandardItemModel m_groups;
    ItemsPage::Widgets m_widgets{};
    ItemsPage *m_page = nullptr;
};

void TestItemsPage::initTestCase()
{
    m_dir = std::make_unique<CatalogueWorkDir>();
    QVERIFY(m_dir->isOpen());
    auto *group = new QStandardItem("聊天");
    group->setData(1, TypesIdRole);
    group->setData(1, GroupsIdRole);
    m_groups.appendRow(group);
}

void TestItemsPage::init()
{
    Catalogue::reset("(1, '常用', 0)", "(1, '聊天', 1, 0), (2, '工作', 1, 1)");
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID, Row) VALUES "
                    "(1, '微信', 0, '/bin/true', 1, 1, 2), (2, '微博', 3, 'https://weibo.com', 1, "
                    "1, 0), (3, 'QQ', 0, '/bin/true', 1, 1, 1), (4, '文档', 1, '/tmp', 2, 1, 0)");
    SettingsControl::instance().setInstantSearch(true);
    m_window = std::make_unique<QWidget>();
    auto *pages = new QStackedWidget(m_window.get());
    m_widgets = {new ItemsListView(pages), new ResultsListView(pages),
                 new QLineEdit(m_window.get()), pages, new QToolButton(m_window.get())};
    pages->addWidget(m_widgets.items);
    pages->addWidget(m_widgets.results);
    m_page = new ItemsPage(m_widgets, m_window.get());
    m_page->setSearchable(true);
}

void TestItemsPage::cleanup()
{
    m_window.reset();
}

QStringList TestItemsPage::shown(const QAbstractItemModel *model) const
{
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->index(row, 0).data().toString();
    return names;
}

void TestItemsPage::showGroupOne()
{
    m_page->showGroup(m_groups.index(0, 0));
}

void TestItemsPage::shouldShowTheGroupsItemsInStoredOrder()
{
    showGroupOne();
    QCOMPARE(shown(m_widgets.items->model()), (QStringList{"微博", "QQ", "微信"}));
    // Renamed in place: stored.
    QAbstractItemModel *items = m_widgets.items->model();
    QVERIFY(items->setData(items->index(1, 0), "企鹅", Qt::EditRole));
    QCOMPARE(Catalogue::value("SELECT Name FROM Items WHERE ID = 3"), QStringLiteral("企鹅"));
    // Changed elsewhere, read again on reload.
    Catalogue::exec("DELETE FROM Items WHERE ID = 2");
    m_page->reload();
    QCOMPARE(shown(items), (QStringList{"企鹅", "微信"}));
    m_page->select(1);
    QCOMPARE(m_widgets.items->currentIndex().data(ItemIdRole).toInt(), 1);
    // Without a position (imported) or at the same one, items show in the order they were
    // added, whatever their icons.
    Catalogue::exec("DELETE FROM Items");
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID, Row, IconPath) "
                    "VALUES (10, '丙', 0, '/bin/true', 1, 1, NULL, 'c'), "
                    "(11, '乙', 0, '/bin/true', 1, 1, NULL, 'b'), "
                    "(12, '甲', 0, '/bin/true', 1, 1, NULL, ''), "
                    "(13, '丁', 0, '/bin/true', 1, 1, 5, 'a'), "
                    "(14, '戊', 0, '/bin/true', 1, 1, 5, NULL)");
    m_page->reload();
    QCOMPARE(shown(items), (QStringList{"丙", "乙", "甲", "丁", "戊"}));
    // No group: nothing shown.
    m_page->showGroup(QModelIndex());
    QCOMPARE(items->rowCount(), 0);
}

void TestItemsPage::shouldIndexOnlyTheShownRows_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("underAnItem");
    QTest::addColumn<int>("id"); // of the item indexed; 0 for an invalid index
    QTest::newRow("first") << 0 << 0 << false << 1;
    QTest::newRow("last") << 2 << 0 << false << 3;
    QTest::newRow("past the last") << 3 << 0 << false << 0;
    QTest::newRow("negative row") << -1 << 0 << false << 0;
    QTest::newRow("second column") << 0 << 1 << false << 0;
    QTest::newRow("under an item") << 0 << 0 << true << 0;
}

void TestItemsPage::shouldIndexOnlyTheShownRows()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, underAnItem);
    QFETCH(int, id);
    showGroupOne();
    // The source rows, in the catalogue's order; the view shows them sorted through the proxy.
    ItemsModel *items = m_page->itemsModel();
    const QModelIndex parent = underAnItem ? items->index(0, 0) : QModelIndex();
    const QModelIndex index = items->index(row, column, parent);
    QCOMPARE(index.isValid(), id != 0);
    QCOMPARE(items->hasIndex(row, column, parent), id != 0);
    if (id)
        QCOMPARE(index.data(ItemIdRole).toInt(), id);
}

void TestItemsPage::shouldShowEveryNameAndIconOfALargeGroup_data()
{
    // Stored orders of the items, by id; names are read a block of rows at a time.
    QTest::addColumn<QString>("order");
    QTest::newRow("by id") << "ID";
    QTest::newRow("reversed") << "1000 - ID";
    QTest::newRow("interleaved") << "(ID % 7) * 1000 + ID";
    QTest::newRow("none stored") << "NULL";
}

void TestItemsPage::shouldShowEveryNameAndIconOfALargeGroup()
{
    QFETCH(QString, order);
    Catalogue::exec("WITH RECURSIVE n(i) AS (SELECT 10 UNION ALL SELECT i + 1 FROM n WHERE i < "
                    "709) INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) SELECT i, "
                    "'项目 ' || i, 0, '/bin/true', 1, 1 FROM n");
    Catalogue::exec(QStringLiteral("UPDATE Items SET Row = %1 WHERE GroupsID = 1").arg(order));
    // Cached icons of six colours, by id; the seventh kind of item has none.
    const QList<QColor> colours{Qt::red, Qt::green, Qt::blue, Qt::cyan, Qt::magenta, Qt::yellow};
    QStringList keys;
    for (const QColor &colour : colours) {
        QImage image(32, 32, QImage::Format_ARGB32);
        image.fill(colour);
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "png"));
        QVERIFY(DataControl::instance().cache_addData(png, {{"Name", "c"}, {"Class", "test"}}));
        keys << DataControl::hashName(png);
    }
    const auto giveIcons = [&](int shift) {
        for (int kind = 0; kind < keys.size(); ++kind)
            Catalogue::exec(QStringLiteral("UPDATE Items SET IconPath = '%1' WHERE (ID + %2) % 7 "
                                           "= %3")
                                .arg(keys.at(kind))
                                .arg(shift)
                                .arg(kind));
    };
    giveIcons(0);
    showGroupOne();
    // Changed after the switch, before any row was shown: what is shown is read when shown.
    Catalogue::exec("UPDATE Items SET IconPath = '' WHERE GroupsID = 1");
    giveIcons(1);
    QAbstractItemModel *items = m_widgets.items->model();
    // A name changed in place before its row was shown still gets its icon.
    QVERIFY(items->setData(items->index(300, 0), "改名", Qt::EditRole));
    const int renamed = items->index(300, 0).data(ItemIdRole).toInt();
    const auto colourOf = [&](const QModelIndex &index) {
        return index.data(Qt::DecorationRole)
            .value<QIcon>()
            .pixmap(32)
            .toImage()
            .pixelColor(16, 16);
    };
    if ((renamed + 1) % 7 < colours.size())
        QCOMPARE(colourOf(items->index(300, 0)), colours.at((renamed + 1) % 7));
    // As stored: by order, unordered ones first, equal ones by id.
    QStringList stored =
        Catalogue::column("SELECT Name FROM Items WHERE GroupsID = 1 ORDER BY IFNULL(Row, -1), ID");
    QCOMPARE(stored.size(), 703);
    // From the last row up, so that blocks are read out of turn; the icon asked before the name.
    QStringList shown;
    for (int row = items->rowCount() - 1; row >= 0; --row) {
        const QModelIndex index = items->index(row, 0);
        const int kind = (index.data(ItemIdRole).toInt() + 1) % 7;
        if (kind < colours.size())
            QCOMPARE(colourOf(index), colours.at(kind));
        else
            QVERIFY(!colours.contains(colourOf(index)));
        shown.prepend(index.data().toString());
    }
    QCOMPARE(items->index(300, 0).data(ItemIdRole).toInt(), renamed);
    QCOMPARE(shown.at(300), QStringLiteral("改名"));
    stored[300] = QStringLiteral("改名");
    QCOMPARE(shown, stored);
}

void TestItemsPage::shouldAnswerTheSearchBoxKeys_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("runs");       // the id asked to run; 0 for none
    QTest::addColumn<bool>("onResults"); // afterwards
    QTest::addColumn<QString>("text");   // in the box afterwards
    QTest::newRow("enter runs the first") << "wx" << int(Qt::Key_Return) << 1 << true << "wx";
    QTest::newRow("down then enter") << "wei" << int(Qt::Key_Down) << 0 << true << "wei";
    QTest::newRow("escape ends the search") << "wx" << int(Qt::Key_Escape) << 0 << false << "";
    QTest::newRow("no match, enter") << "zzz" << int(Qt::Key_Return) << 0 << true << "zzz";
}

void TestItemsPage::shouldAnswerTheSearchBoxKeys()
{
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(int, runs);
    QFETCH(bool, onResults);
    QFETCH(QString, text);
    QSignalSpy run(m_page, &ItemsPage::runRequested);
    m_widgets.search->setText(typed);
    QVERIFY(m_page->isOnResults());
    QVERIFY(!m_widgets.back->isHidden());
    QTest::keyClick(m_widgets.search, Qt::Key(key));
    if (key == Qt::Key_Down) {
        // The keyboard stays in the box; the second result becomes current.
        QCOMPARE(m_widgets.results->currentIndex().row(), 1);
        QTest::keyClick(m_widgets.search, Qt::Key_Return);
        QCOMPARE(run.count(), 1);
        QCOMPARE(run.first().first().toModelIndex().row(), 1);
    } else {
        QCOMPARE(run.count(), runs ? 1 : 0);
        if (runs)
            QCOMPARE(run.first().first().toModelIndex().data(ItemIdRole).toInt(), runs);
    }
    QCOMPARE(m_page->isOnResults(), onResults);
    QCOMPARE(m_widgets.search->text(), text);
    QCOMPARE(m_widgets.back->isHidden(), !onResults);
}

void TestItemsPage::shouldListTheHistoryNewestFirst()
{
    DataControl &data = DataControl::instance();
    QVERIFY(data.item_ran(3));
    // Run dates are stored to the second.
    const qint64 ranAt = Catalogue::value("SELECT RunDate FROM Items WHERE ID = 3").toLongLong();
    QTRY_VERIFY(QDateTime::currentSecsSinceEpoch() > ranAt);
    QVERIFY(data.item_ran(1));
    m_page->history();
    QVERIFY(m_page->isOnResults());
    QCOMPARE(shown(m_widgets.results->model()), (QStringList{"微信", "QQ"}));
    // The back button returns to the catalogue, the results gone with the page.
    m_widgets.back->click();
    QVERIFY(!m_page->isOnResults());
    QCOMPARE(m_widgets.results->model()->rowCount(), 0);
}

void TestItemsPage::shouldMoveTheSelectedItemsToAnotherGroup()
{
    showGroupOne();
    auto *items = m_widgets.items;
    items->selectionModel()->select(items->model()->index(0, 0), QItemSelectionModel::Select);
    items->selectionModel()->select(items->model()->index(2, 0), QItemSelectionModel::Select);
    QAction move;
    move.setData(QVariant::fromValue(QPair<int, int>(1, 2)));
    m_page->moveSelected(&move);
    QCOMPARE(shown(items->model()), QStringList{"QQ"});
    QCOMPARE(Catalogue::column("SELECT Name FROM Items WHERE GroupsID = 2 ORDER BY ID"),
             (QStringList{"微信", "微博", "文档"}));
}

// An item without a cached icon shows its file's: not in the first frame, which does not wait
// for the MIME database and the icon theme, but right after it, without a reload.
void TestItemsPage::shouldShowFoundIconsRightAfterTheFirstFrame()
{
    const QString notes = m_dir->path("notes.txt");
    QFile file(notes);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    Catalogue::exec(QStringLiteral("UPDATE Items SET Path = '%1' WHERE ID = 1").arg(notes));
    showGroupOne();
    QSignalSpy changed(m_page->itemsModel(), &QAbstractItemModel::dataChanged);
    m_window->resize(600, 400);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_VERIFY(std::any_of(changed.cbegin(), changed.cend(), [](const QList<QVariant> &args) {
        return args.at(2).value<QVector<int>>().contains(Qt::DecorationRole);
    }));
    const QAbstractItemModel *items = m_widgets.items->model();
    const QModelIndex weixin = items->index(2, 0);
    QCOMPARE(weixin.data(ItemIdRole).toInt(), 1);
    const auto picture = [](const QIcon &icon) {
        return icon.pixmap(32, 32).toImage();
    };
    const QImage found = picture(weixin.data(Qt::DecorationRole).value<QIcon>());
    QVERIFY(!found.isNull());
    QCOMPARE(found, picture(IconLoader::instance().itemIcon(0, notes)));
    // An icon of its own, then none again: its file's at once, without reading the group anew.
    QImage own(32, 32, QImage::Format_ARGB32);
    own.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buffer(&png);
    QVERIFY(buffer.open(QIODevice::WriteOnly) && own.save(&buffer, "png"));
    QVERIFY(DataControl::instance().cache_addData(png, {{"Name", "own"}, {"Class", "test"}}));
    const QModelIndex source = m_page->itemsProxy()->mapToSource(weixin);
    m_page->itemsModel()->setIconKey(source, DataControl::hashName(png));
    QCOMPARE(picture(weixin.data(Qt::DecorationRole).value<QIcon>()).pixelColor(16, 16),
             QColor(Qt::darkCyan));
    m_page->itemsModel()->setIconKey(source, QString());
    QCOMPARE(picture(weixin.data(Qt::DecorationRole).value<QIcon>()), found);
}

QUIVER_TEST_MAIN(TestItemsPage)
#include "tst_itemspage.moc"
