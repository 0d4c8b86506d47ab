// The types column and groups bar without the main window: a real catalogue file, the real list
// views, and the column that keeps them and the shown group in step.
#include "Catalogue/CatalogueColumn.h"
#include "Catalogue/CatalogueListModel.h"
#include "CatalogueSupport.h"
#include "Core/DataControl.h"
#include "Catalogue/GroupsListView.h"
#include "Catalogue/ItemRoles.h"
#include "TestSupport.h"
#include "Catalogue/TypesListView.h"

#include <QMenu>
#include <QSignalSpy>

#include <memory>

class TestCatalogueColumn : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void shouldListByStoredOrderAndStartOnFirstStored_data();
    void shouldListByStoredOrderAndStartOnFirstStored();
    void shouldFollowTheCurrentTypeToItsGroups();
    void shouldStoreRenamesMadeInPlaceOnly_data();
    void shouldStoreRenamesMadeInPlaceOnly();
    void shouldKeepTheCurrentRowThroughAReorder();
    void shouldOfferEveryTypeToMoveAGroupTo();

private:
    QStringList shown(const QAbstractItemModel *model) const;

    std::unique_ptr<CatalogueWorkDir> m_dir;
    std::unique_ptr<QWidget> m_window;
    TypesListView *m_types = nullptr;
    GroupsListView *m_groups = nullptr;
    CatalogueColumn *m_column = nullptr;
};

void TestCatalogueColumn::initTestCase()
{
    m_dir = std::make_unique<CatalogueWorkDir>();
    QVERIFY(m_dir->isOpen());
}

void TestCatalogueColumn::init()
{
    Catalogue::reset();
    m_window = std::make_unique<QWidget>();
    m_types = new TypesListView(m_window.get());
    m_groups = new GroupsListView(m_window.get());
    m_column = new CatalogueColumn(m_types, m_groups, m_window.get());
}

void TestCatalogueColumn::cleanup()
{
    m_window.reset();
}

QStringList TestCatalogueColumn::shown(const QAbstractItemModel *model) const
{
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->index(row, 0).data().toString();
    return names;
}

void TestCatalogueColumn::shouldListByStoredOrderAndStartOnFirstStored_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("current");
    // (ID, Name, Row): stored positions decide, ties keep the stored order, never numbered
    // rows come first; the first type stored is current wherever it is shown.
    QTest::newRow("by position") << "(1, 'A', 2), (2, 'B', 0), (3, 'C', 1)"
                                 << QStringList{"B", "C", "A"} << "A";
    QTest::newRow("ties") << "(1, 'A', 1), (2, 'B', 0), (3, 'C', 1)" << QStringList{"B", "A", "C"}
                          << "A";
    QTest::newRow("never numbered")
        << "(1, 'A', 0), (2, 'B', NULL), (3, 'C', NULL)" << QStringList{"B", "C", "A"} << "A";
    QTest::newRow("empty") << QString() << QStringList() << QString();
}

void TestCatalogueColumn::shouldListByStoredOrderAndStartOnFirstStored()
{
    QFETCH(QString, rows);
    QFETCH(QStringList, expected);
    QFETCH(QString, current);
    if (!rows.isEmpty())
        Catalogue::exec("INSERT INTO Types(ID, Name, Row) VALUES " + rows);
    QSignalSpy emptied(m_column, &CatalogueColumn::emptied);
    m_column->reload();
    QCOMPARE(shown(m_column->typesModel()), expected);
    QCOMPARE(m_types->currentIndex().data().toString(), current);
    QCOMPARE(emptied.count(), 1);
    QCOMPARE(emptied.first().first().toBool(), expected.isEmpty());
    QCOMPARE(m_column->isEmpty(), expected.isEmpty());
}

void TestCatalogueColumn::shouldFollowTheCurrentTypeToItsGroups()
{
    Catalogue::exec("INSERT INTO Types(ID, Name, Row) VALUES (1, 'A', 0), (2, 'B', 1)");
    Catalogue::exec("INSERT INTO Groups(ID, Name, TypesID, Row) VALUES "
                    "(10, 'a1', 1, 0), (11, 'b2', 2, 1), (12, 'b1', 2, 0)");
    QSignalSpy changed(m_column, &CatalogueColumn::groupChanged);
    m_column->reload();
    QCOMPARE(shown(m_groups->model()), QStringList{"a1"});
    QCOMPARE(changed.last().first().toModelIndex().data(GroupsIdRole).toInt(), 10);

    m_types->setCurrentIndex(m_column->typesModel()->indexOfId(2));
    QCOMPARE(shown(m_groups->model()), (QStringList{"b1", "b2"}));
    const QModelIndex group = changed.last().first().toModelIndex();
    QCOMPARE(group.data(GroupsIdRole).toInt(), 12);
    QCOMPARE(group.data(TypesIdRole).toInt(), 2);
    QCOMPARE(m_column->currentGroup(), group);

    // As the results page's "定位" asks.
    m_column->locate(1, 10);
    QCOMPARE(m_column->currentGroup().data().toString(), QStringLiteral("a1"));
    m_column->locate(2, 11);
    QCOMPARE(m_column->currentGroup().data().toString(), QStringLiteral("b2"));

    // A type without groups shows none, and the items with them.
    Catalogue::exec("DELETE FROM Groups WHERE TypesID = 2");
    m_column->reloadGroups();
    QVERIFY(shown(m_groups->model()).isEmpty());
    QVERIFY(!changed.last().first().toModelIndex().isValid());
}

void TestCatalogueColumn::shouldStoreRenamesMadeInPlaceOnly_data()
{
    QTest::addColumn<bool>("types");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("stored");
    QTest::newRow("type renamed") << true << int(Qt::EditRole) << "新";
    QTest::newRow("group renamed") << false << int(Qt::EditRole) << "新";
    QTest::newRow("type dragged") << true << int(RowRole) << "old";
    QTest::newRow("group dragged") << false << int(RowRole) << "old";
}

void TestCatalogueColumn::shouldStoreRenamesMadeInPlaceOnly()
{
    QFETCH(bool, types);
    QFETCH(int, role);
    QFETCH(QString, stored);
    Catalogue::exec("INSERT INTO Types(ID, Name, Row) VALUES (1, 'old', 0)");
    Catalogue::exec("INSERT INTO Groups(ID, Name, TypesID, Row) VALUES (5, 'old', 1, 0)");
    m_column->reload();
    QAbstractItemModel *model = types ? m_types->model() : m_groups->model();
    QVERIFY(model->setData(model->index(0, 0), role == RowRole ? QVariant(3.5) : "新", role));
    const QString table = types ? "Types" : "Groups";
    QCOMPARE(Catalogue::value("SELECT Name FROM " + table), stored);
    // A drag's position is the drag's to store.
    QCOMPARE(Catalogue::value("SELECT Row FROM " + table), QStringLiteral("0"));
}

void TestCatalogueColumn::shouldKeepTheCurrentRowThroughAReorder()
{
    Catalogue::exec("INSERT INTO Types(ID, Name, Row) VALUES (1, 'A', 0), (2, 'B', 1), "
                    "(3, 'C', 2)");
    m_column->reload();
    CatalogueListModel *model = m_column->typesModel();
    m_types->setCurrentIndex(model->indexOfId(3));
    QSignalSpy groups(m_column, &CatalogueColumn::groupChanged);
    // As a drag previews "C" before "A".
    model->setData(model->indexOfId(3), -0.5, RowRole);
    model->sort(0);
    QCOMPARE(shown(model), (QStringList{"C", "A", "B"}));
    QCOMPARE(m_types->currentIndex().data().toString(), QStringLiteral("C"));
    QCOMPARE(m_types->currentIndex().row(), 0);
    // Still the same type: its groups are not read again.
    QCOMPARE(groups.count(), 0);
}

void TestCatalogueColumn::shouldOfferEveryTypeToMoveAGroupTo()
{
    Catalogue::exec("INSERT INTO Types(ID, Name, Row) VALUES (1, '甲', 1), (2, '乙', 0)");
    Catalogue::exec("INSERT INTO Groups(ID, Name, TypesID) VALUES (5, 'g', 1)");
    m_column->reload();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QMenu *menu = m_groups->moveMenu();
    // Built as the menu opens: what the types column shows then.
    QTimer::singleShot(0, [] {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
    });
    m_groups->menu_show(m_groups->visualRect(m_groups->model()->index(0, 0)).center());
    QStringList offered;
    QList<int> ids;
    for (QAction *action : menu->actions()) {
        offered << action->text();
        ids << action->data().toInt();
    }
    QCOMPARE(offered, (QStringList{"乙", "甲"}));
    QCOMPARE(ids, (QList<int>{2, 1}));

    // Moving it where it is refuses; elsewhere it goes, and the bar shows what is left.
    m_column->moveGroup(menu->actions().at(1));
    QCOMPARE(Catalogue::value("SELECT TypesID FROM Groups"), QStringLiteral("1"));
    m_column->moveGroup(menu->actions().at(0));
    QCOMPARE(Catalogue::value("SELECT TypesID FROM Groups"), QStringLiteral("2"));
    QVERIFY(shown(m_groups->model()).isEmpty());
}

QUIVER_TEST_MAIN(TestCatalogueColumn)
#include "tst_cataloguecolumn.moc"
