#include "Catalogue/CatalogueListModel.h"
#include "App/Program.h"
#include "Window/FormMain.h"
#include "Catalogue/GroupsListView.h"
#include "Catalogue/ItemRoles.h"
#include "Core/SettingsControl.h"
#include "CatalogueSupport.h"
#include "TestSupport.h"
#include "Catalogue/TypesListView.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QInputDialog>
#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>

#include <memory>

namespace {
QStringList shown(const QListView *view)
{
    return rowTexts(view->model());
}

QString lastNotice()
{
    return Notices::shown().value(0);
}

QAction *moveAction(GroupsListView *groups, const QString &typeName)
{
    for (QAction *action : groups->moveMenu()->actions())
        if (action->text() == typeName)
            return action;
    return nullptr;
}
} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void shouldStartEmptyAndRefuseGroupWithoutType();
    void shouldAddTypeWithDefaultGroup();
    void shouldMakeNewTypeCurrentAfterDeletions();
    void shouldShowStoredOrderWithLowestIdCurrent();
    void shouldKeepPositionWhenRenamingOrDeleting();
    void shouldMoveGroupsBetweenTypes();
    void shouldStoreNamesEditedInPlace();
    void shouldDeleteByKeyAndReopenWhereLeft();

private:
    void open();
    std::unique_ptr<CatalogueWorkDir> m_dir;
    std::unique_ptr<Program> m_program;
    FormMain *m_window = nullptr;
    TypesListView *m_types = nullptr;
    GroupsListView *m_groups = nullptr;
};

void TestCatalogue::initTestCase()
{
    m_dir = std::make_unique<CatalogueWorkDir>();
    QVERIFY(m_dir->isOpen());
}

void TestCatalogue::init()
{
    Catalogue::reset();
    // Each case starts as a first start does: on the first type stored.
    SettingsControl::instance().setLastTypeId(0);
    SettingsControl::instance().setLastGroupId(0);
}

void TestCatalogue::cleanup()
{
    m_program.reset();
    Notices::clear();
}

void TestCatalogue::open()
{
    m_program = std::make_unique<Program>();
    m_window = &m_program->window();
    m_types = m_window->findChild<TypesListView *>("listView_types");
    m_groups = m_window->findChild<GroupsListView *>("listView_groups");
    new QAbstractItemModelTester(m_types->model(),
                                 QAbstractItemModelTester::FailureReportingMode::QtTest, m_window);
    new QAbstractItemModelTester(m_groups->model(),
                                 QAbstractItemModelTester::FailureReportingMode::QtTest, m_window);
}

void TestCatalogue::shouldStartEmptyAndRefuseGroupWithoutType()
{
    open();
    QVERIFY(!m_types->currentIndex().isValid());
    QVERIFY(!m_groups->currentIndex().isValid());
    m_groups->actionAdd()->trigger();
    QCOMPARE(lastNotice(), QStringLiteral("你需要先创建一个分类"));
    QCOMPARE(Catalogue::column("SELECT COUNT(*) FROM Groups"), QStringList{"0"});
}

void TestCatalogue::shouldAddTypeWithDefaultGroup()
{
    open();
    answerNextDialog("工具");
    m_types->actionAdd()->trigger();
    QCOMPARE(shown(m_types), QStringList{"工具"});
    QCOMPARE(shown(m_groups), QStringList{"默认分组"});
    QCOMPARE(m_types->currentIndex().row(), 0);
    QCOMPARE(m_groups->currentIndex().row(), 0);
    QCOMPARE(m_types->model()->index(0, 0).data(Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignCenter));

    answerNextDialog("常用");
    m_groups->actionAdd()->trigger();
    QCOMPARE(shown(m_groups), (QStringList{"默认分组", "常用"}));
    QCOMPARE(m_groups->currentIndex().data().toString(), QStringLiteral("常用"));

    // A cancelled or empty answer adds nothing.
    answerNextDialog(QString());
    m_types->actionAdd()->trigger();
    QCOMPARE(shown(m_types), QStringList{"工具"});
}

void TestCatalogue::shouldMakeNewTypeCurrentAfterDeletions()
{
    // Rows 0 and 5 are left once other types were deleted: the new type is numbered 2, the
    // count, and sorts between them, not last.
    Catalogue::exec("INSERT INTO Types(ID, Name, Row) VALUES (1, 'first', 0), (6, 'sixth', 5)");
    open();
    answerNextDialog("new");
    m_types->actionAdd()->trigger();
    QCOMPARE(m_types->currentIndex().data().toString(), QStringLiteral("new"));
    QCOMPARE(shown(m_groups), QStringList{"默认分组"});
}

void TestCatalogue::shouldShowStoredOrderWithLowestIdCurrent()
{
    Catalogue::exec(
        "INSERT INTO Types(ID, Name, Row) VALUES (1, 'two', 2), (2, 'zero', 0), (3, 'one', 1)");
    Catalogue::exec("INSERT INTO Groups(Name, TypesID, Row) VALUES ('g-of-two', 1, 0)");
    open();
    QCOMPARE(shown(m_types), (QStringList{"zero", "one", "two"}));
    QCOMPARE(m_types->currentIndex().data().toString(), QStringLiteral("two"));
    QCOMPARE(shown(m_groups), QStringList{"g-of-two"});
    QCOMPARE(m_groups->currentIndex().data(TypesIdRole).toInt(), 1);
}

void TestCatalogue::shouldKeepPositionWhenRenamingOrDeleting()
{
    Catalogue::exec(
        "INSERT INTO Types(ID, Name, Row) VALUES (1, 'a', 0), (2, 'b', 1), (3, 'c', 2)");
    open();
    m_types->setCurrentIndex(m_types->model()->index(1, 0));
    answerNextDialog("b2");
    m_types->actionRename()->trigger();
    QCOMPARE(shown(m_types), (QStringList{"a", "b2", "c"}));
    QCOMPARE(m_types->currentIndex().row(), 1);

    answerNextDialog();
    m_types->actionDelete()->trigger();
    QCOMPARE(shown(m_types), (QStringList{"a", "c"}));
    QCOMPARE(m_types->currentIndex().data().toString(), QStringLiteral("c"));

    answerNextDialog();
    m_types->actionDelete()->trigger();
    QCOMPARE(shown(m_types), QStringList{"a"});
    QVERIFY(!m_types->currentIndex().isValid());
    QCOMPARE(m_groups->model()->rowCount(), 0);
}

void TestCatalogue::shouldMoveGroupsBetweenTypes()
{
    Catalogue::exec("INSERT INTO Types(ID, Name, Row) VALUES (1, 'from', 0), (2, 'to', 1)");
    Catalogue::exec(
        "INSERT INTO Groups(ID, Name, TypesID, Row) VALUES (10, 'g1', 1, 0), (11, 'g2', 1, 1)");
    Catalogue::exec("INSERT INTO Items(Name, GroupsID, TypesID) VALUES ('item', 10, 1)");
    open();
    QCOMPARE(shown(m_groups), (QStringList{"g1", "g2"}));
    // A right click on an entry rebuilds "移动到" with every type, the group's own one included.
    QTimer::singleShot(0, [] {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
    });
    m_groups->menu_show(m_groups->visualRect(m_groups->model()->index(0, 0)).center());
    QVERIFY(moveAction(m_groups, "to"));
    QVERIFY(moveAction(m_groups, "from"));

    m_groups->setCurrentIndex(m_groups->model()->index(0, 0));
    emit m_groups->moveMenu()->triggered(moveAction(m_groups, "from"));
    QCOMPARE(lastNotice(), QStringLiteral("目标和当前一致，无需移动"));
    QCOMPARE(shown(m_groups), (QStringList{"g1", "g2"}));

    emit m_groups->moveMenu()->triggered(moveAction(m_groups, "to"));
    QCOMPARE(shown(m_groups), QStringList{"g2"});
    QCOMPARE(m_types->currentIndex().data().toString(), QStringLiteral("from"));
    QCOMPARE(Catalogue::column("SELECT TypesID FROM Items WHERE Name='item'"), QStringList{"2"});
    QCOMPARE(Catalogue::column("SELECT TypesID || '/' || Row FROM Groups WHERE ID=10"),
             QStringList{"2/0"});

    answerNextDialog();
    m_groups->actionDeleteAll()->trigger();
    QCOMPARE(m_groups->model()->rowCount(), 0);
    QCOMPARE(Catalogue::column("SELECT Name FROM Types ORDER BY ID"), (QStringList{"from", "to"}));
    Notices::clear();
    m_groups->actionDeleteAll()->trigger();
    QCOMPARE(lastNotice(), QStringLiteral("没有有效的分类可以删除"));
}

void TestCatalogue::shouldStoreNamesEditedInPlace()
{
    Catalogue::exec("INSERT INTO Types(ID, Name, Row) VALUES (1, 't', 0)");
    Catalogue::exec("INSERT INTO Groups(ID, Name, TypesID, Row) VALUES (5, 'old', 1, 0)");
    open();
    m_groups->model()->setData(m_groups->model()->index(0, 0), "new", Qt::EditRole);
    QCOMPARE(Catalogue::column("SELECT Name FROM Groups WHERE ID=5"), QStringList{"new"});
    // An icon change is no name change.
    Catalogue::exec("UPDATE Groups SET Name='kept' WHERE ID=5");
    auto *groups = qobject_cast<CatalogueListModel *>(m_groups->model());
    QVERIFY(groups);
    groups->setIconKey(groups->index(0, 0), "0123456789abcdef");
    QCOMPARE(Catalogue::column("SELECT Name FROM Groups WHERE ID=5"), QStringList{"kept"});
    m_groups->model()->setData(m_groups->model()->index(0, 0), 3.0, RowRole);
    QCOMPARE(Catalogue::column("SELECT Name FROM Groups WHERE ID=5"), QStringList{"kept"});
}

void TestCatalogue::shouldDeleteByKeyAndReopenWhereLeft()
{
    Catalogue::exec("INSERT INTO Types(ID, Name, Row) VALUES (1, 'T', 0), (2, 'U', 1)");
    Catalogue::exec("INSERT INTO Groups(ID, Name, TypesID, Row) VALUES "
                    "(10, 't1', 1, 0), (20, 'u1', 2, 0), (21, 'u2', 2, 1), (22, 'u3', 2, 2)");
    Catalogue::exec("INSERT INTO Items(Name, GroupsID, TypesID) VALUES ('i1', 21, 2), "
                    "('i2', 22, 2), ('i3', 22, 2)");
    open();
    m_window->show();
    // Delete in the list that has the keyboard asks as "删除" does; a group tells what goes too.
    const auto pressDelete = [this](QListView *list, int row) {
        list->setCurrentIndex(list->model()->index(row, 0));
        QApplication::setActiveWindow(m_window);
        list->setFocus();
        ModalAnswers answers;
        answers.press(QMessageBox::Yes);
        QTest::keyClick(list, Qt::Key_Delete);
        return answers.questions().value(0);
    };
    QCOMPARE(pressDelete(m_types, 0), QStringLiteral("确定要删除'T'嘛"));
    QCOMPARE(pressDelete(m_groups, 2), QStringLiteral("确定要删除'u3'嘛\n其中的2个项目将一并删除"));
    m_groups->setCurrentIndex(m_groups->model()->index(1, 0));
    QCOMPARE(pressDelete(m_window->findChild<QListView *>("listView_items"), 0),
             QStringLiteral("确定要删除'i1'嘛"));
    QCOMPARE(Catalogue::column("SELECT group_concat(Name) FROM Groups UNION ALL "
                               "SELECT COUNT(*) FROM Items"),
             (QStringList{"u1,u2", "0"}));

    // The next start opens on the type and group shown last, or on the type's first group once
    // that group has gone.
    Catalogue::exec("INSERT INTO Types(ID, Name, Row) VALUES (1, 'T', 0)");
    for (const QString &opened : QStringList{"U/u2", "U/u1"}) {
        m_program.reset();
        if (opened == "U/u1")
            Catalogue::exec("DELETE FROM Groups WHERE ID = 21");
        open();
        QCOMPARE(m_types->currentIndex().data().toString() + "/" +
                     m_groups->currentIndex().data().toString(),
                 opened);
    }
}

QUIVER_TEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
