#include "FormMain.h"
#include "GroupsListView.h"
#include "ItemRoles.h"
#include "ItemsListView.h"
#include "ResultsListView.h"
#include "SettingsControl.h"
#include "CatalogueSupport.h"
#include "TestSupport.h"
#include "TypesListView.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QAbstractButton>
#include <QScopeGuard>
#include <QTimer>
#include <QMenu>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QToolButton>

#include <memory>

namespace {
QImage picture(const QIcon &icon)
{
    return icon.pixmap(32, 32).toImage();
}
} // namespace

// Items of a group, search, history and running, against a real catalogue. Opened documents
// and addresses are caught by URL handlers instead of reaching the desktop.
class TestItems : public QObject
{
    Q_OBJECT

public slots:
    void openedUrl(const QUrl &url) { m_opened << url; }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void shouldListInRowOrderWithTooltips();
    void shouldShowAppIconWhenIconLoadingIsOff();
    void shouldLogTimingOnlyWhenMonitoring();
    void shouldSearchNotesAndShowHistory();
    void shouldLocateResultInAnotherType();
    void shouldMoveOnlyItemsFromElsewhere();
    void shouldRunExecutablesWithSplitArguments();
    void shouldRefuseBrokenItemsAndCountTheRest();
    void shouldOpenDocumentsAddressesAndCommands();
    void shouldOpenFolderAndCopyPath();
    void shouldRunWholeGroupInIdOrderAndClearIt();
    void shouldRunFilesOnlyAsAdministrator();

private:
    void open();
    QString writeScript(const QString &name);
    ItemsListView *items() const { return m_window->findChild<ItemsListView *>("listView_items"); }
    QAbstractItemModel *itemsModel() const { return items()->model(); }
    void selectItems(const QList<int> &rows);

    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<FormMain> m_window;
    QList<QUrl> m_opened;
};

void TestItems::initTestCase()
{
    m_dir = std::make_unique<TestWorkDir>();
    FormMain creatingTables;
    for (const char *scheme : {"file", "https", "mailto"})
        QDesktopServices::setUrlHandler(scheme, this, "openedUrl");
}

void TestItems::cleanupTestCase()
{
    for (const char *scheme : {"file", "https", "mailto"})
        QDesktopServices::unsetUrlHandler(scheme);
}

void TestItems::init()
{
    Catalogue::exec("DELETE FROM Types");
    Catalogue::exec("DELETE FROM Groups");
    Catalogue::exec("DELETE FROM Items");
    Catalogue::exec("INSERT INTO Types(ID, Name, Row) VALUES (1, 'T1', 0), (2, 'T2', 1)");
    Catalogue::exec(
        "INSERT INTO Groups(ID, Name, TypesID, Row) VALUES (10, 'G10', 1, 0), (11, 'G11', 1, 1), "
        "(20, 'G20', 2, 0)");
    m_opened.clear();
    SettingsControl::instance().setThenHide(false);
}

void TestItems::cleanup()
{
    m_window.reset();
    Notices::clear();
    SettingsControl::instance().setIconLoadEnabled(true);
    SettingsControl::instance().setTimeMonitoring(false);
}

void TestItems::open()
{
    m_window = std::make_unique<FormMain>();
    m_window->show();
    new QAbstractItemModelTester(
        itemsModel(), QAbstractItemModelTester::FailureReportingMode::QtTest, m_window.get());
}

QString TestItems::writeScript(const QString &name)
{
    // Records its arguments, one per line, and its working folder.
    const QString path = m_dir->path(name);
    QFile script(path);
    script.open(QIODevice::WriteOnly);
    script.write(
        QStringLiteral("#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"[$a]\"; done; } > %1.out\n")
            .arg(path)
            .toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    return path;
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

void TestItems::shouldShowAppIconWhenIconLoadingIsOff()
{
    Catalogue::exec(
        "INSERT INTO Items(ID, Name, Path, Type, GroupsID, TypesID) VALUES "
        "(1, 'web', 'https://example.org', 2, 10, 1), (2, 'lost', '/no/file', 0, 10, 1)");
    open();
    QCOMPARE(picture(itemsModel()->index(0, 0).data(Qt::DecorationRole).value<QIcon>()),
             picture(QIcon(":/icon/web.svg")));
    SettingsControl::instance().setIconLoadEnabled(false);
    items()->actionRefresh()->trigger();
    for (int row = 0; row < 2; ++row)
        QCOMPARE(picture(itemsModel()->index(row, 0).data(Qt::DecorationRole).value<QIcon>()),
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

void TestItems::shouldRunExecutablesWithSplitArguments()
{
#ifdef QUIVER_SANITIZE_BUILD
    // A fork from a pool thread can deadlock inside the sanitizer runtime before exec; the
    // plain build runs this case.
    QSKIP("starts programs from a worker thread");
#endif
    const QString script = writeScript("marker.sh");
    QDir(m_dir->path(QString())).mkpath("work");
    Catalogue::exec(
        QStringLiteral("INSERT INTO Items(ID, Name, Path, Type, Arguments, WorkingDirectory, "
                       "GroupsID, TypesID) VALUES (1, 'with dir', '%1', 0, 'a  b', '%2', 10, 1), "
                       "(2, 'own dir', '%1', 0, '', '', 10, 1)")
            .arg(script, m_dir->path("work")));
    open();
    LogCapture &log = LogCapture::install();
    m_window->data_itemRun(itemsModel()->index(0, 0));
    QTRY_VERIFY(QFileInfo(script + ".out").size() > 0);
    QFile out(script + ".out");
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(out.readAll()).split('\n', Qt::SkipEmptyParts),
             (QStringList{m_dir->path("work"), "[a]", "[]", "[b]"}));
    out.close();
    QCOMPARE(Catalogue::value("SELECT RunCount FROM Items WHERE ID = 1"), QStringLiteral("1"));
    QCOMPARE(Catalogue::value("SELECT length(RunDate) FROM Items WHERE ID = 1"),
             QStringLiteral("10"));
    QVERIFY(log.lines().contains(QStringLiteral("Item_Run: Path[%1], Type[0], Arguments[a  b], "
                                                "WorkingDirectory[%2]")
                                     .arg(script, m_dir->path("work"))));

    QFile::remove(script + ".out");
    m_window->data_itemRun(itemsModel()->index(1, 0));
    QTRY_VERIFY(QFile::exists(script + ".out") && QFileInfo(script + ".out").size() > 0);
    QFile own(script + ".out");
    QVERIFY(own.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(own.readLine()).trimmed(), QFileInfo(script).path());
    QVERIFY(log.lines().filter("Arguments[无], WorkingDirectory[无]").size() == 1);
}

void TestItems::shouldRefuseBrokenItemsAndCountTheRest()
{
    const QString script = writeScript("ok.sh");
    Catalogue::exec(
        QStringLiteral("INSERT INTO Items(ID, Name, Path, Type, GroupsID, TypesID) VALUES "
                       "(1, 'ok', '%1', 0, 10, 1), (2, 'folder as file', '%2', 0, 10, 1), "
                       "(3, 'odd type', '/x', 9, 10, 1), (4, 'gone', '/no/such', 0, 10, 1)")
            .arg(script, m_dir->path("bin")));
    open();
    const QModelIndex gone = itemsModel()->index(3, 0);
    Catalogue::exec("DELETE FROM Items WHERE ID = 4");
    m_window->data_itemRun(gone);
    QCOMPARE(Notices::shown(), QStringList{"打开失败, 数据有误"});
    Notices::clear();

    m_window->data_itemRun(itemsModel()->index(1, 0));
    QCOMPARE(Notices::shown(), QStringList{"打开失败, 不是文件类型"});
    QCOMPARE(Catalogue::value("SELECT RunCount FROM Items WHERE ID = 2"), QStringLiteral("0"));
    Notices::clear();

    m_window->data_itemRun(itemsModel()->index(2, 0));
    QVERIFY(Notices::shown().isEmpty());
    QCOMPARE(Catalogue::value("SELECT RunCount FROM Items WHERE ID = 3"), QStringLiteral("1"));

    // Three selected, one broken: two runs counted, one notice.
    selectItems({0, 1, 2});
    items()->actionRunSelected()->trigger();
    QCOMPARE(Notices::shown(), QStringList{"打开失败, 不是文件类型"});
    QCOMPARE(Catalogue::value("SELECT RunCount FROM Items WHERE ID = 1"), QStringLiteral("1"));
    QCOMPARE(Catalogue::value("SELECT RunCount FROM Items WHERE ID = 3"), QStringLiteral("2"));

    SettingsControl::instance().setThenHide(true);
    m_window->data_itemRun(itemsModel()->index(2, 0));
    QTRY_VERIFY(m_window->isHidden() || m_window->isMinimized());
}

void TestItems::shouldOpenDocumentsAddressesAndCommands()
{
#ifdef QUIVER_SANITIZE_BUILD
    // A fork from a pool thread can deadlock inside the sanitizer runtime before exec; the
    // plain build runs this case.
    QSKIP("starts programs from a worker thread");
#endif
    QFile document(m_dir->path("notes.txt"));
    QVERIFY(document.open(QIODevice::WriteOnly));
    document.close();
    const QString marker = m_dir->path("shell.out");
    Catalogue::exec(
        QStringLiteral(
            "INSERT INTO Items(ID, Name, Path, Type, Arguments, GroupsID, TypesID) VALUES "
            "(1, 'doc', '%1', 0, '', 10, 1), (2, 'web', 'https://example.org/a', 2, "
            "'ignored', 10, 1), (3, 'mail', 'mailto:me@example.org', 3, '', 10, 1), "
            "(4, 'cmd', 'echo ran > %2', 3, '', 10, 1), (5, 'dir', '%3', 1, '', 10, 1)")
            .arg(document.fileName(), marker, m_dir->path("bin")));
    open();
    for (int row = 0; row < 5; ++row)
        m_window->data_itemRun(itemsModel()->index(row, 0));
    QCOMPARE(m_opened,
             (QList<QUrl>{QUrl::fromLocalFile(document.fileName()), QUrl("https://example.org/a"),
                          QUrl("mailto:me@example.org"), QUrl::fromLocalFile(m_dir->path("bin"))}));
    QTRY_VERIFY(QFileInfo(marker).size() > 0);
}

void TestItems::shouldOpenFolderAndCopyPath()
{
    Catalogue::exec(QStringLiteral(
        "INSERT INTO Items(ID, Name, Path, Type, GroupsID, TypesID) VALUES "
        "(1, 'file', '../data/data.db', 0, 10, 1), (2, 'web', 'https://x', 2, 10, 1), "
        "(3, 'nowhere', '/no/such/dir/f', 0, 10, 1)"));
    open();
    items()->setCurrentIndex(itemsModel()->index(0, 0));
    items()->actionOpenFolder()->trigger();
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile("../data")});
    items()->actionCopyPath()->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("../data/data.db"));
    QVERIFY(Notices::shown().contains("已复制"));
    Notices::clear();

    items()->setCurrentIndex(itemsModel()->index(1, 0));
    items()->actionOpenFolder()->trigger();
    QCOMPARE(Notices::shown(), QStringList{"非文件，不操作"});
    Notices::clear();
    items()->setCurrentIndex(itemsModel()->index(2, 0));
    items()->actionOpenFolder()->trigger();
    QCOMPARE(Notices::shown(), QStringList{"所在文件夹不存在"});
    QCOMPARE(Catalogue::value("SELECT SUM(RunCount) FROM Items"), QStringLiteral("0"));
}

void TestItems::shouldRunWholeGroupInIdOrderAndClearIt()
{
    Catalogue::exec(
        "INSERT INTO Items(ID, Name, Path, Type, GroupsID, TypesID, Row) VALUES "
        "(1, 'a', 'x1', 9, 10, 1, 2), (2, 'b', 'x2', 9, 10, 1, 1), (3, 'c', 'x3', 9, 10, 1, 0)");
    open();
    QCOMPARE(rowTexts(itemsModel()), (QStringList{"c", "b", "a"}));
    LogCapture &log = LogCapture::install();
    m_window->findChild<GroupsListView *>()->actionRunAll()->trigger();
    QCOMPARE(log.lines().filter("Item_Run:"),
             (QStringList{"Item_Run: Path[x1], Type[9], Arguments[无], WorkingDirectory[无]",
                          "Item_Run: Path[x2], Type[9], Arguments[无], WorkingDirectory[无]",
                          "Item_Run: Path[x3], Type[9], Arguments[无], WorkingDirectory[无]"}));
    QCOMPARE(Catalogue::value("SELECT SUM(RunCount) FROM Items"), QStringLiteral("3"));

    answerNextDialog();
    m_window->findChild<GroupsListView *>()->actionClear()->trigger();
    QCOMPARE(itemsModel()->rowCount(), 0);
    QCOMPARE(Catalogue::value("SELECT COUNT(*) FROM Items"), QStringLiteral("0"));
    QCOMPARE(m_window->findChild<GroupsListView *>()->currentIndex().data().toString(),
             QStringLiteral("G10"));
}

void TestItems::shouldRunFilesOnlyAsAdministrator()
{
    // pkexec is replaced by a script that records what it was asked to start.
    QTemporaryDir bin;
    const QString record = bin.filePath("pkexec.out");
    QFile fake(bin.filePath("pkexec"));
    QVERIFY(fake.open(QIODevice::WriteOnly));
    fake.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > %1\n").arg(record).toUtf8());
    fake.close();
    fake.setPermissions(fake.permissions() | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit() + ':' + path);
    const auto restore = qScopeGuard([&] { qputenv("PATH", path); });

    Catalogue::exec(
        "INSERT INTO Items(ID, Name, Path, Type, Arguments, GroupsID, TypesID) VALUES "
        "(1, 'tool', '/usr/bin/env', 0, '-i  x', 10, 1), (2, 'site', 'https://x', 2, '', 10, 1)");
    open();
    LogCapture &log = LogCapture::install();
    items()->setCurrentIndex(itemsModel()->index(1, 0));
    items()->actionRunAsAdmin()->trigger();
    QCOMPARE(Notices::shown(), QStringList{"管理员权限仅支持文件"});
    QCOMPARE(Catalogue::value("SELECT RunCount FROM Items WHERE ID = 2"), QStringLiteral("0"));

    items()->setCurrentIndex(itemsModel()->index(0, 0));
    items()->actionRunAsAdmin()->trigger();
    QTRY_VERIFY(QFileInfo(record).size() > 0);
    QFile out(record);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(out.readAll()).split('\n'),
             (QStringList{"/usr/bin/env", "-i", "", "x", ""}));
    QVERIFY(log.lines().contains("Item_RunAsAdmin: Path[/usr/bin/env], Parameters[-i  x]"));
    QCOMPARE(Catalogue::value("SELECT RunCount FROM Items WHERE ID = 1"), QStringLiteral("1"));
}

QUIVER_TEST_MAIN(TestItems)
#include "tst_items.moc"
