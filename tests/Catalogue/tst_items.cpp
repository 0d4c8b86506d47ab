#include "App/Program.h"
#include "Window/FormMain.h"
#include "Catalogue/GroupsListView.h"
#include "Catalogue/ItemRoles.h"
#include "Catalogue/ItemsListView.h"
#include "Catalogue/ResultsListView.h"
#include "Core/SettingsControl.h"
#include "CatalogueSupport.h"
#include "TestSupport.h"
#include "Catalogue/TypesListView.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QAbstractButton>
#include <QTimer>
#include <QMenu>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QToolButton>

#include <memory>

// Items of a group, search, history and moving, against a real catalogue.
class TestItems : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void shouldListInRowOrderWithTooltips();
    void shouldRenumberWithoutRewritingNames();
    void shouldShowAppIconWhenIconLoadingIsOff();
    void shouldLogTimingOnlyWhenMonitoring();
    void shouldSearchNotesAndShowHistory();
    void shouldLocateResultInAnotherType();
    void shouldMoveOnlyItemsFromElsewhere();

private:
    void open();
    ItemsListView *items() const { return m_window->findChild<ItemsListView *>("listView_items"); }
    QAbstractItemModel *itemsModel() const { return items()->model(); }
    void selectItems(const QList<int> &rows);

    std::unique_ptr<CatalogueWorkDir> m_dir;
    std::unique_ptr<Program> m_program;
    FormMain *m_window = nullptr;
};

void TestItems::initTestCase()
{
    m_dir = std::make_unique<CatalogueWorkDir>();
    QVERIFY(m_dir->isOpen());
}

void TestItems::init()
{
    Catalogue::reset("(1, 'T1', 0), (2, 'T2', 1)",
                     "(10, 'G10', 1, 0), (11, 'G11', 1, 1), (20, 'G20', 2, 0)");
    SettingsControl::instance().setThenHide(false);
    // Each case opens as a first start does: on the first type stored.
    SettingsControl::instance().setLastTypeId(0);
    SettingsControl::instance().setLastGroupId(0);
    // The search of these cases is the one Enter starts, over the catalogue in storage order.
    SettingsControl::instance().setInstantSearch(false);
}

void TestItems::cleanup()
{
    m_program.reset();
    Notices::clear();
    SettingsControl::instance().setIconLoadEnabled(true);
    SettingsControl::instance().setTimeMonitoring(false);
}

void TestItems::open()
{
    m_program = std::make_unique<Program>();
    m_window = &m_program->window();
    m_window->show();
    new QAbstractItemModelTester(itemsModel(),
                                 QAbstractItemModelTester::FailureReportingMode::QtTest, m_window);
}

void TestItems::selectItems(const QList<int> &rows)
{
    items()->clearSelection();
    for (int row : rows)
        items()->selectionModel()->select(itemsModel()->index(row, 0), QItemSelectionModel::Select);
}

void TestItems::shouldListInRowOrderWithTooltips()
{
    Catalogue::exec(
        "INSERT INTO Items(ID, Name, Path, Type, Note, RunCount, GroupsID, TypesID) VALUES "
        "(1, 'one', '/a', 3, '', 2, 10, 1), (2, 'two', '/b', 3, '说明', 0, 10, 1), "
        "(3, 'three', '/c', 3, NULL, 0, 10, 1)");
    open();
    QCOMPARE(rowTexts(itemsModel()), (QStringList{"one", "two", "three"}));
    QCOMPARE(itemsModel()->index(0, 0).data(Qt::ToolTipRole).toString(),
             QStringLiteral("名称:one\n路径:/a\n运行次数:2"));
    QCOMPARE(itemsModel()->index(1, 0).data(Qt::ToolTipRole).toString(),
             QStringLiteral("名称:two\n路径:/b\n备注:说明\n运行次数:0"));
    QCOMPARE(itemsModel()->index(0, 0).data(GroupsIdRole).toInt(), 10);
    QCOMPARE(itemsModel()->index(0, 0).data(TypesIdRole).toInt(), 1);
    QVERIFY(!items()->currentIndex().isValid());

    Catalogue::exec("UPDATE Items SET Row = CASE ID WHEN 1 THEN 2 WHEN 2 THEN 0 ELSE 1 END");
    Catalogue::exec(
        "INSERT INTO Items(ID, Name, Path, Type, GroupsID, TypesID) VALUES (4, 'new', '/d', 3, 10, "
        "1)");
    items()->actionRefresh()->trigger();
    // Never numbered comes first, then the stored order.
    QCOMPARE(rowTexts(itemsModel()), (QStringList{"new", "two", "three", "one"}));
}

// A drag renumbers every row as it starts and moves; none of it is a rename, so a name changed
// meanwhile by a second instance stays.
void TestItems::shouldRenumberWithoutRewritingNames()
{
    Catalogue::exec("INSERT INTO Items(ID, Name, Path, Type, Row, GroupsID, TypesID) VALUES "
                    "(1, 'one', '/a', 3, 0, 10, 1), (2, 'two', '/b', 3, 1, 10, 1), "
                    "(3, 'three', '/c', 3, 2, 10, 1)");
    open();
    Catalogue::exec("UPDATE Items SET Name = 'elsewhere' WHERE ID = 1");
    const QList<int> reversed{2, 1, 0};
    QList<QPersistentModelIndex> rows;
    for (int row = 0; row < 3; ++row)
        rows << QPersistentModelIndex(itemsModel()->index(row, 0));
    for (int row = 0; row < 3; ++row)
        QVERIFY(itemsModel()->setData(rows.at(row), reversed.at(row), RowRole));

    QCOMPARE(rowTexts(itemsModel()), (QStringList{"three", "two", "one"}));
    QCOMPARE(Catalogue::column("SELECT Name FROM Items ORDER BY ID"),
             (QStringList{"elsewhere", "two", "three"}));
}

void TestItems::shouldShowAppIconWhenIconLoadingIsOff()
{
    Catalogue::exec(
        "INSERT INTO Items(ID, Name, Path, Type, GroupsID, TypesID) VALUES "
        "(1, 'web', 'https://example.org', 2, 10, 1), (2, 'lost', '/no/file', 0, 10, 1)");
    open();
    QCOMPARE(picture(itemsModel()->index(0, 0).data(Qt::DecorationRole)),
             picture(QIcon(":/icon/web.svg")));
    SettingsControl::instance().setIconLoadEnabled(false);
    items()->actionRefresh()->trigger();
    for (int row = 0; row < 2; ++row)
        QCOMPARE(picture(itemsModel()->index(row, 0).data(Qt::DecorationRole)),
                 picture(QIcon(":/icon/app.ico")));
}

void TestItems::shouldLogTimingOnlyWhenMonitoring()
{
    Catalogue::exec("INSERT INTO Items(Name, Path, Type, GroupsID, TypesID) VALUES "
                    "('a', 'x', 3, 10, 1), ('b', 'x', 3, 10, 1), ('c', 'x', 3, 10, 1)");
    open();
    LogCapture &log = LogCapture::install();
    items()->actionRefresh()->trigger();
    QVERIFY(log.lines().filter("耗时").isEmpty());
    SettingsControl::instance().setTimeMonitoring(true);
    items()->actionRefresh()->trigger();
    QCOMPARE(log.lines().filter("[ G10 ] 开始监测耗时").size(), 1);
    QCOMPARE(log.lines().filter(QRegularExpression("^  \\[ [abc] \\] 加载耗时\\d+毫秒$")).size(),
             3);
    QCOMPARE(log.lines().filter(QRegularExpression("^\\[ G10 \\] 加载总耗时\\d+毫秒$")).size(), 1);
}

void TestItems::shouldSearchNotesAndShowHistory()
{
    Catalogue::exec("INSERT INTO Items(ID, Name, Path, Type, Note, GroupsID, TypesID) VALUES "
                    "(1, 'Editor', '/e', 3, '写代码用', 10, 1), (2, 'Other', '/o', 3, '', 20, 2)");
    open();
    auto *search = m_window->findChild<QLineEdit *>("lineEdit_search");
    auto *stack = m_window->findChild<QStackedWidget *>("stackedWidget");
    auto *results = m_window->findChild<ResultsListView *>("listView_result");
    search->setText("代码");
    QTest::keyClick(search, Qt::Key_Return);
    QCOMPARE(stack->currentIndex(), 1);
    QVERIFY(m_window->findChild<QToolButton *>("toolButton_back")->isVisible());
    QCOMPARE(rowTexts(results->model()), QStringList{"Editor"});

    search->clear();
    QTest::keyClick(search, Qt::Key_Return);
    QCOMPARE(rowTexts(results->model()), QStringList{"Editor"});

    m_window->findChild<QToolButton *>("toolButton_history")->click();
    QVERIFY(Notices::shown().contains("进入历史记录"));
    QCOMPARE(results->model()->rowCount(), 0);
    Catalogue::exec("UPDATE Items SET RunDate = '1700000000' WHERE ID = 2");
    m_window->findChild<QToolButton *>("toolButton_history")->click();
    QCOMPARE(rowTexts(results->model()), QStringList{"Other"});
}

void TestItems::shouldLocateResultInAnotherType()
{
    Catalogue::exec(
        "INSERT INTO Items(ID, Name, Path, Type, GroupsID, TypesID) VALUES "
        "(1, 'here', '/h', 3, 10, 1), (2, 'there', '/t', 3, 20, 2), (3, 'target', '/x', 3, 20, 2)");
    open();
    auto *search = m_window->findChild<QLineEdit *>("lineEdit_search");
    search->setText("target");
    QTest::keyClick(search, Qt::Key_Return);
    auto *results = m_window->findChild<ResultsListView *>("listView_result");
    results->setCurrentIndex(results->model()->index(0, 0));
    results->actionLocate()->trigger();

    QCOMPARE(m_window->findChild<TypesListView *>()->currentIndex().data().toString(),
             QStringLiteral("T2"));
    QCOMPARE(m_window->findChild<GroupsListView *>()->currentIndex().data().toString(),
             QStringLiteral("G20"));
    QCOMPARE(items()->currentIndex().data().toString(), QStringLiteral("target"));
    QCOMPARE(m_window->findChild<QStackedWidget *>("stackedWidget")->currentIndex(), 0);
    QCOMPARE(results->model()->rowCount(), 0);
}

void TestItems::shouldMoveOnlyItemsFromElsewhere()
{
    Catalogue::exec("INSERT INTO Items(ID, Name, Path, Type, GroupsID, TypesID, Row) VALUES "
                    "(1, 'a', '/a', 3, 10, 1, 5), (2, 'b', '/b', 3, 10, 1, 6)");
    open();
    selectItems({0, 1});
    QAction target;
    target.setData(QVariant::fromValue(QPair<int, int>(2, 20)));
    emit items()->moveMenu()->triggered(&target);
    QCOMPARE(itemsModel()->rowCount(), 0);
    QCOMPARE(
        Catalogue::value("SELECT GroupsID || '/' || TypesID || '/' || Row FROM Items WHERE ID = 1"),
        QStringLiteral("20/2/5"));
    QVERIFY(Notices::shown().contains("移动完成"));

    // A row that already belongs to the target stays; the others move.
    Catalogue::exec("UPDATE Items SET GroupsID = 10, TypesID = 1");
    items()->actionRefresh()->trigger();
    QCOMPARE(rowTexts(itemsModel()), (QStringList{"a", "b"}));
    Notices::clear();
    itemsModel()->setData(itemsModel()->index(1, 0), 11, GroupsIdRole);
    selectItems({0, 1});
    target.setData(QVariant::fromValue(QPair<int, int>(1, 11)));
    emit items()->moveMenu()->triggered(&target);
    const QStringList shownNotices = Notices::shown();
    QVERIFY2(shownNotices.contains("b 无需移动"), qPrintable(shownNotices.join('|')));
    QVERIFY(shownNotices.contains("移动完成"));
    QCOMPARE(Catalogue::value("SELECT GroupsID FROM Items WHERE ID = 1"), QStringLiteral("11"));
    QCOMPARE(Catalogue::value("SELECT GroupsID FROM Items WHERE ID = 2"), QStringLiteral("10"));
}

QUIVER_TEST_MAIN(TestItems)
#include "tst_items.moc"
