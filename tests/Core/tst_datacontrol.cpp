#include "Core/DataControl.h"
#include "TestSupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <memory>

namespace {
// Looks at a database file through a connection of the test's own.
class Peek
{
public:
    explicit Peek(const QString &fileName)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "peek");
        db.setDatabaseName(fileName);
        db.open();
    }
    ~Peek() { QSqlDatabase::removeDatabase("peek"); }

    QStringList column(const QString &sql, int at = 0) const
    {
        QStringList values;
        QSqlQuery query(QSqlDatabase::database("peek"));
        if (!query.exec(sql))
            return {query.lastError().text()};
        while (query.next())
            values << (query.isNull(at) ? QStringLiteral("NULL") : query.value(at).toString());
        return values;
    }
    void exec(const QString &sql) const
    {
        QSqlQuery query(QSqlDatabase::database("peek"));
        QVERIFY2(query.exec(sql), qPrintable(query.lastError().text()));
    }
};

QStringList names(QSqlQuery query)
{
    QStringList values;
    while (query.next())
        values << query.value("Name").toString();
    return values;
}

QByteArray fileBytes(const QString &fileName)
{
    QFile file(fileName);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void writeFile(const QString &fileName, const QByteArray &bytes)
{
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
} // namespace

class TestDataControl : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void shouldCreateBothFilesOnFirstStart();
    void shouldAddMissingRowColumnOnce();
    void shouldFailOpenWithoutTouchingForeignFile_data();
    void shouldFailOpenWithoutTouchingForeignFile();
    void shouldRunWithoutUnreadableCache();
    void shouldLogFailedStatementOnce();

    void shouldNumberNewTypesAndGroupsAfterReordered();
    void shouldCascadeDeletesAndMoves();
    void shouldReportMaxId();
    void shouldSearchWithWildcards_data();
    void shouldSearchWithWildcards();
    void shouldListMostRecentRunsFirst();
    void shouldSelectMissingItemAsEmptyRecord();
    void shouldEditMoveAndCountItems();
    void shouldStoreIconFilesByContent();

private:
    void start();
    QString dataFile() const { return m_dir->path("data/data.db"); }
    QString cacheFile() const { return m_dir->path("cache/cache.db"); }

    std::unique_ptr<TestWorkDir> m_dir;
    LogCapture *m_log = nullptr;
    DataControl &m_data = DataControl::instance();
};

void TestDataControl::init()
{
    m_dir = std::make_unique<TestWorkDir>();
    QDir(m_dir->path(QString())).mkpath("data");
    QDir(m_dir->path(QString())).mkpath("cache/caches");
    m_log = &LogCapture::install();
}

void TestDataControl::cleanup()
{
    m_data.database_close();
    m_dir.reset();
}

// What the main window does at start-up.
void TestDataControl::start()
{
    QVERIFY(m_data.init_databases());
    m_data.database_transaction(true);
    m_data.database_create();
    m_data.database_transaction(false);
}

void TestDataControl::shouldCreateBothFilesOnFirstStart()
{
    // Nothing to read ahead: the opening makes the file.
    m_data.checkCatalogueAhead();
    start();
    QVERIFY(QFile::exists(dataFile()));
    QVERIFY(QFile::exists(cacheFile()));
    QCOMPARE(Peek(dataFile())
                 .column("SELECT name FROM sqlite_master WHERE type='table' AND "
                         "name NOT LIKE 'sqlite%' ORDER BY name"),
             (QStringList{"Groups", "Items", "Types"}));
    QCOMPARE(Peek(cacheFile()).column("SELECT name FROM sqlite_master WHERE name='Caches'"),
             QStringList{"Caches"});
    QCOMPARE(m_log->lines(), (QStringList{"Create/Check Tables [Types]", "Check structure Types",
                                          "Create/Check Table [Groups]", "Check structure Groups",
                                          "Create/Check Tables [Items]", "Check structure Items",
                                          "Create/Check Tables [cache]"}));
}

void TestDataControl::shouldAddMissingRowColumnOnce()
{
    {
        Peek old(dataFile());
        old.exec("CREATE TABLE Types(ID INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,Name TEXT,"
                 "IconPath TEXT)");
        old.exec("CREATE TABLE Groups(ID INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,Name TEXT,"
                 "IconPath TEXT,TypesID INTEGER)");
        old.exec("CREATE TABLE Items(ID INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,GroupsID "
                 "INTEGER,TypesID INTEGER,Name TEXT,Type INTEGER,Path TEXT,Arguments TEXT,"
                 "WorkingDirectory TEXT,Note TEXT,IconPath TEXT,CreateDate TEXT,RunDate TEXT,"
                 "RunCount INTEGER DEFAULT 0)");
        old.exec("INSERT INTO Types(Name) VALUES('旧分类')");
        // Indexes by the names earlier versions gave them.
        old.exec("CREATE INDEX Items_GroupsID ON Items(GroupsID)");
        old.exec("CREATE INDEX Items_GroupRows ON Items(GroupsID, ID, IconPath)");
    }
    start();
    {
        // One index for a group's rows, which answers their ids and order alone.
        const Peek upgraded(dataFile());
        QCOMPARE(upgraded.column("SELECT name FROM sqlite_master WHERE type = 'index' AND "
                                 "tbl_name = 'Items' AND sql IS NOT NULL"),
                 QStringList{"Items_GroupOrder"});
        const QString plan = upgraded
                                 .column("EXPLAIN QUERY PLAN SELECT ID, Row FROM Items WHERE "
                                         "GroupsID = 1 ORDER BY ID",
                                         3)
                                 .join(' ');
        QVERIFY2(plan.contains("COVERING INDEX Items_GroupOrder"), qPrintable(plan));
    }
    const QStringList added = m_log->lines().filter("structure add Row");
    QCOMPARE(added, (QStringList{"Types's structure add Row ", "Groups's structure add Row ",
                                 "Items's structure add Row "}));
    for (const char *table : {"Types", "Groups", "Items"})
        QVERIFY(m_data.database_isExists_column(table, "Row"));
    QCOMPARE(Peek(dataFile()).column("SELECT Row FROM Types"), QStringList{"NULL"});
    // The tables without ShowMode and SortMode are left as they are.
    QVERIFY(!m_data.database_isExists_column("Groups", "ShowMode"));

    m_data.database_close();
    const QByteArray afterUpgrade = fileBytes(dataFile());
    m_log->clear();
    // Read ahead, as the program starts: sound, it opens.
    m_data.checkCatalogueAhead();
    start();
    QVERIFY(m_log->lines().filter("structure add Row").isEmpty());
    m_data.database_close();
    QCOMPARE(fileBytes(dataFile()), afterUpgrade);
}

void TestDataControl::shouldFailOpenWithoutTouchingForeignFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("ahead");
    QByteArray garbage(8192, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 131 + 7) % 251);
    QTest::newRow("garbage") << garbage << false;
    QTest::newRow("text") << QByteArray("Name=Quiver\nnot a database\n") << false;

    // A real catalogue cut off after its first page.
    TestWorkDir scratch;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "scratch");
        db.setDatabaseName(scratch.path("full.db"));
        db.open();
        QSqlQuery query(db);
        query.exec("CREATE TABLE Items(ID INTEGER PRIMARY KEY, Name TEXT)");
        for (int i = 0; i < 2000; ++i)
            query.exec(
                QStringLiteral("INSERT INTO Items(Name) VALUES('%1')").arg(QString(50, 'x')));
        db.close();
    }
    QSqlDatabase::removeDatabase("scratch");
    const QByteArray truncated = fileBytes(scratch.path("full.db")).left(4096 * 3);
    QTest::newRow("truncated") << truncated << false;
    // Read on a thread of its own while the window is built, as the program does.
    QTest::newRow("garbage, read ahead") << garbage << true;
    QTest::newRow("truncated, read ahead") << truncated << true;
}

void TestDataControl::shouldFailOpenWithoutTouchingForeignFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, ahead);
    writeFile(dataFile(), content);
    if (ahead)
        m_data.checkCatalogueAhead();
    QVERIFY(!m_data.init_databases());
    QCOMPARE(m_log->errors().size(), 1);
    QVERIFY(m_log->errors().first().startsWith("主要数据库打开失败，错误原因："));
    QVERIFY(m_log->errors().first().size() >
            QStringLiteral("主要数据库打开失败，错误原因：").size());
    // Whatever the caller does next must not reach the file.
    m_data.database_create();
    m_data.type_add("new");
    QCOMPARE(fileBytes(dataFile()), content);
    QVERIFY(!QFile::exists(dataFile() + "-journal"));
}

void TestDataControl::shouldRunWithoutUnreadableCache()
{
    writeFile(cacheFile(), QByteArray(4096, 'z'));
    QVERIFY(m_data.init_databases());
    QVERIFY(m_log->errors().first().startsWith("缓存数据库打开失败，错误原因："));
    m_data.database_create();
    QVERIFY(m_data.type_add("分类"));
    m_log->clear();
    QVERIFY(!m_data.cache_add({{"Name", "icon"}, {"HashName", "x"}, {"Class", "c"}}));
    QCOMPARE(m_log->errors().size(), 1);
    QVERIFY(m_log->errors().first().startsWith("DataControl cache_add query has error: "));
    QCOMPARE(fileBytes(cacheFile()), QByteArray(4096, 'z'));
}

void TestDataControl::shouldLogFailedStatementOnce()
{
    start();
    m_log->clear();
    QSqlQuery query = m_data.items_select("NoSuchColumn", 1);
    QVERIFY(!query.next());
    QCOMPARE(m_log->lines().size(), 1);
    QCOMPARE(m_log->errors().size(), 1);
    QVERIFY2(m_log->errors().first().startsWith("DataControl items_select query has error: "),
             qPrintable(m_log->errors().first()));
    QVERIFY(m_log->errors().first().contains("NoSuchColumn"));
    QVERIFY(m_data.item_select("NoSuchColumn", 1).isEmpty());
}

void TestDataControl::shouldNumberNewTypesAndGroupsAfterReordered()
{
    start();
    for (const char *name : {"A", "B", "C"})
        QVERIFY(m_data.type_add(name));
    QCOMPARE(Peek(dataFile()).column("SELECT Row FROM Types ORDER BY ID"),
             (QStringList{"0", "1", "2"}));
    // Reordered as C, A, B, then a new type lands last.
    m_data.database_transaction(true);
    QVERIFY(m_data.type_setRow(3, 0) && m_data.type_setRow(1, 1) && m_data.type_setRow(2, 2));
    m_data.database_transaction(false);
    QVERIFY(m_data.type_add("D"));
    QCOMPARE(Peek(dataFile()).column("SELECT Name FROM Types ORDER BY Row"),
             (QStringList{"C", "A", "B", "D"}));

    // Groups of type 1 numbered 0..4 while type 2 holds more: a new one still sorts last.
    for (int i = 0; i < 5; ++i)
        QVERIFY(m_data.group_add(QString::number(i), 1));
    QVERIFY(m_data.group_add("other", 2));
    QVERIFY(m_data.group_add("new", 1));
    QCOMPARE(Peek(dataFile()).column("SELECT Name FROM Groups WHERE TypesID=1 ORDER BY Row"),
             (QStringList{"0", "1", "2", "3", "4", "new"}));
    QCOMPARE(names(m_data.groups_select("Name, ID, Row, IconPath", 2)), QStringList{"other"});
}

void TestDataControl::shouldCascadeDeletesAndMoves()
{
    start();
    m_data.type_add("T1");
    m_data.type_add("T2");
    m_data.group_add("G1", 1);
    m_data.group_add("G2", 1);
    m_data.group_add("G3", 2);
    m_data.item_add({{"Name", "a"}}, 1, 1);
    m_data.item_add({{"Name", "b"}}, 1, 2);
    m_data.item_add({{"Name", "c"}}, 2, 3);
    Peek peek(dataFile());

    m_data.group_move(2, 2);
    QCOMPARE(names(m_data.groups_select("Name, ID", 1)), QStringList{"G1"});
    QCOMPARE(peek.column("SELECT TypesID FROM Items WHERE Name='b'"), QStringList{"2"});

    QVERIFY(m_data.group_clear(3));
    QCOMPARE(peek.column("SELECT Name FROM Items ORDER BY ID"), (QStringList{"a", "b"}));
    QCOMPARE(peek.column("SELECT Name FROM Groups WHERE ID=3"), QStringList{"G3"});

    m_data.group_delete(1);
    QCOMPARE(peek.column("SELECT Name FROM Groups ORDER BY ID"), (QStringList{"G2", "G3"}));
    QCOMPARE(peek.column("SELECT Name FROM Items"), QStringList{"b"});

    m_data.group_deleteAll(2);
    QCOMPARE(peek.column("SELECT COUNT(*) FROM Groups"), QStringList{"0"});
    QCOMPARE(peek.column("SELECT COUNT(*) FROM Items"), QStringList{"0"});
    QCOMPARE(peek.column("SELECT Name FROM Types ORDER BY ID"), (QStringList{"T1", "T2"}));

    m_data.group_add("G4", 1);
    m_data.item_add({{"Name", "d"}}, 1, 4);
    m_data.type_delete(1);
    QCOMPARE(peek.column("SELECT Name FROM Types"), QStringList{"T2"});
    QCOMPARE(peek.column("SELECT COUNT(*) FROM Groups"), QStringList{"0"});
    QCOMPARE(peek.column("SELECT COUNT(*) FROM Items"), QStringList{"0"});

    QVERIFY(m_data.type_rename("二号", 2));
    QVERIFY(m_data.type_setIcon(QString(40, 'f'), 2));
    QCOMPARE(peek.column("SELECT Name || IconPath FROM Types"),
             QStringList{"二号" + QString(40, 'f')});
}

void TestDataControl::shouldReportMaxId()
{
    start();
    QCOMPARE(m_data.types_maxID(), 0);
    m_data.type_add("a");
    m_data.type_add("b");
    QCOMPARE(m_data.types_maxID(), 2);
    Peek(dataFile()).exec("DROP TABLE Types");
    QCOMPARE(m_data.types_maxID(), -1);
}

void TestDataControl::shouldSearchWithWildcards_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("name, any case") << "note" << QStringList{"Notepad", "记事本"};
    QTest::newRow("note only") << "编辑" << QStringList{"记事本"};
    QTest::newRow("percent at end") << "Note%" << QStringList{"Notepad", "记事本"};
    QTest::newRow("underscore is a wildcard") << "p_d" << QStringList{"Notepad"};
    QTest::newRow("quote is plain") << "it's" << QStringList{"it's"};
    QTest::newRow("nothing") << "zzz" << QStringList{};
}

void TestDataControl::shouldSearchWithWildcards()
{
    QFETCH(QString, text);
    QFETCH(QStringList, found);
    start();
    m_data.item_add({{"Name", "Notepad"}, {"Note", ""}}, 1, 1);
    m_data.item_add({{"Name", "记事本"}, {"Note", "文本编辑 notes"}}, 1, 1);
    m_data.item_add({{"Name", "it's"}}, 1, 2);
    QCOMPARE(names(m_data.items_search(
                 "Name, Type, Path, IconPath, Note, RunCount, ID, GroupsID, TypesID", text)),
             found);
}

void TestDataControl::shouldListMostRecentRunsFirst()
{
    start();
    const QString columns =
        "Name, Type, Path, IconPath, Note, RunCount, RunDate, ID, GroupsID, TypesID";
    for (int i = 0; i < 60; ++i)
        m_data.item_add({{"Name", QString::number(i)}}, 1, 1);
    QVERIFY(names(m_data.items_history(columns)).isEmpty());

    // The earlier an item was stored, the more recently it ran: storage order is not run order.
    Peek peek(dataFile());
    peek.exec("UPDATE Items SET RunDate = CAST(1700000000 + (60 - ID) AS TEXT)");
    peek.exec("UPDATE Items SET RunDate = '0' WHERE Name = '0'");
    QStringList expected;
    for (int i = 1; i <= 50; ++i)
        expected << QString::number(i);
    QCOMPARE(names(m_data.items_history(columns)), expected);

    QVERIFY(m_data.item_ran(60));
    QCOMPARE(names(m_data.items_history(columns)).first(), QStringLiteral("59"));
}

void TestDataControl::shouldSelectMissingItemAsEmptyRecord()
{
    start();
    const QSqlRecord record = m_data.item_select("Path, Type, Arguments, WorkingDirectory", 42);
    QCOMPARE(record.count(), 4);
    QCOMPARE(record.fieldName(0), QStringLiteral("Path"));
    QVERIFY(record.value("Path").isNull());
    QVERIFY(m_log->errors().isEmpty());
}

void TestDataControl::shouldEditMoveAndCountItems()
{
    start();
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    QVERIFY(m_data.item_add({{"Name", "x"}, {"Type", 0}, {"Path", "/bin/true"}}, 1, 1));
    const QSqlRecord added =
        m_data.item_select("Name, Path, Arguments, CreateDate, RunDate, RunCount, Row", 1);
    QVERIFY(added.value("Arguments").isNull());
    QVERIFY(added.value("RunDate").isNull() && added.value("Row").isNull());
    QCOMPARE(added.value("RunCount").toInt(), 0);
    QVERIFY(added.value("CreateDate").toLongLong() >= before);
    QVERIFY(!added.value("CreateDate").toString().startsWith('0'));

    QVERIFY(m_data.item_edit({{"Name", "y"}, {"Type", 3}, {"Path", "xterm"}, {"Note", "n"}}, 1));
    QVERIFY(m_data.item_ran(1));
    QVERIFY(m_data.item_ran(1));
    QVERIFY(m_data.item_setRow(1, 7));
    QVERIFY(m_data.item_move(1, 9, 8));
    QVERIFY(m_data.item_rename("z", 1));
    QVERIFY(m_data.item_setIcon("abc", 1));
    const QSqlRecord edited = m_data.item_select(
        "Name, Type, Path, Note, RunCount, RunDate, Row, GroupsID, TypesID, IconPath", 1);
    QCOMPARE(edited.value("Name").toString(), QStringLiteral("z"));
    QCOMPARE(edited.value("Type").toInt(), 3);
    QCOMPARE(edited.value("RunCount").toInt(), 2);
    QCOMPARE(edited.value("RunDate").toString().size(), 10);
    QCOMPARE(edited.value("Row").toInt(), 7);
    QCOMPARE(edited.value("GroupsID").toInt(), 9);
    QCOMPARE(edited.value("TypesID").toInt(), 8);
    QCOMPARE(edited.value("IconPath").toString(), QStringLiteral("abc"));
    QCOMPARE(names(m_data.items_select("ID, Name, Path, Type, Note, RunCount, Row, IconPath", 9)),
             QStringList{"z"});
    QVERIFY(m_data.item_delete(1));
    QVERIFY(names(m_data.items_select("ID, Name", 9)).isEmpty());
}

void TestDataControl::shouldStoreIconFilesByContent()
{
    start();
    const QByteArray png("\x89PNG fake icon bytes", 20);
    const QString hash = QCryptographicHash::hash(png, QCryptographicHash::Sha1).toHex();
    const QString iconFile = m_dir->path("cache/caches/" + hash + ".o");

    QVERIFY(!m_data.cache_checkDuplicate(hash));
    QVERIFY(m_data.cache_addData(png, {{"Name", "站点"}, {"Class", "拖拽添加"}}));
    QCOMPARE(fileBytes(iconFile), png);
    QVERIFY(m_data.cache_checkDuplicate(hash));

    // An existing file keeps its bytes; the unchecked second add still records a row.
    writeFile(iconFile, "kept");
    QVERIFY(m_data.cache_addData(png, {{"Name", "again"}, {"Class", "x"}}));
    QCOMPARE(fileBytes(iconFile), QByteArray("kept"));
    QSqlQuery rows = m_data.cache_select("ID, Name, HashName");
    QStringList hashes;
    while (rows.next())
        hashes << rows.value("HashName").toString();
    QCOMPARE(hashes, (QStringList{hash, hash}));

    QVERIFY(m_data.cache_rename("改名", 1));
    QVERIFY(m_data.cache_delete(2));
    QCOMPARE(names(m_data.cache_select("ID, Name, HashName")), QStringList{"改名"});

    // No row may point at an icon file that could not be written.
    QVERIFY(QDir(m_dir->path("cache/caches")).removeRecursively());
    writeFile(m_dir->path("cache/caches"), "not a folder");
    QVERIFY(!m_data.cache_addData("other", {{"Name", "lost"}, {"Class", "x"}}));
    QCOMPARE(names(m_data.cache_select("ID, Name, HashName")), QStringList{"改名"});
}

QUIVER_TEST_MAIN(TestDataControl)
#include "tst_datacontrol.moc"
