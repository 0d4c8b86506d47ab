#include "Core/DataControl.h"

#include <malloc.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>

#include "Core/PrivateFiles.h"

#include <easylogging++.h>

namespace {
const QString mainConnection = QStringLiteral("MainDatabase");
const QString catalogueFile = QStringLiteral("../data/data.db");
const QString cachesConnection = QStringLiteral("CachesDatabase");

QString now()
{
    return QString::number(QDateTime::currentSecsSinceEpoch());
}

// Binds the named fields of an item map, a missing one as NULL.
QVariantMap itemBindings(const QVariantMap &item)
{
    QVariantMap bindings;
    for (const char *column :
         {"Name", "Type", "Path", "Arguments", "WorkingDirectory", "IconPath", "Note"}) {
        const QString key = QLatin1String(column);
        bindings.insert(QLatin1Char(':') + key, item.value(key));
    }
    return bindings;
}
} // namespace

DataControl &DataControl::instance()
{
    static DataControl dataControl;
    return dataControl;
}

QString DataControl::cacheFileName(const QString &hashName)
{
    return QStringLiteral("../cache/caches/%1.o").arg(hashName);
}

QSqlDatabase DataControl::mainDatabase()
{
    return QSqlDatabase::database(mainConnection, false);
}

QSqlDatabase DataControl::cachesDatabase()
{
    return QSqlDatabase::database(cachesConnection, false);
}

QString DataControl::damage(const QSqlDatabase &database)
{
    QSqlQuery check(database);
    if (!check.exec(QStringLiteral("PRAGMA quick_check;")))
        return check.lastError().text();
    if (!check.next() || check.value(0).toString() != QLatin1String("ok"))
        return check.value(0).toString();
    return QString();
}

void DataControl::checkCatalogueAhead()
{
    // A new catalogue has nothing to read yet: the opening makes it.
    if (!QFileInfo::exists(catalogueFile))
        return;
    m_catalogueCheck = std::async(std::launch::async, [file = catalogueFile] {
        const QString connection = QStringLiteral("catalogue-check");
        QString reason;
        {
            QSqlDatabase database =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            database.setDatabaseName(file);
            reason = database.open() ? damage(database) : database.lastError().text();
            database.close();
        }
        QSqlDatabase::removeDatabase(connection);
        return reason;
    });
}

bool DataControl::openDatabase(const QString &connectionName,
                               const QString &fileName,
                               const char *failureText,
                               std::future<QString> checkedAhead)
{
    if (QSqlDatabase::contains(connectionName))
        QSqlDatabase::removeDatabase(connectionName);
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    database.setDatabaseName(fileName);
    if (!database.open()) {
        LOG(ERROR) << failureText << database.lastError().text();
        return false;
    }
    // Before anything is written: SQLite gives its journal the database file's permissions.
    PrivateFiles::restrict(fileName);

    // SQLite opens any file lazily; reading every page now turns a foreign or damaged file into
    // a failed open instead of letting later writes touch it.
    const QString reason = checkedAhead.valid() ? checkedAhead.get() : damage(database);
    if (reason.isNull()) {
        releaseMemory(database);
        return true;
    }
    database.close();
    LOG(ERROR) << failureText << reason;
    return false;
}

void DataControl::releaseMemory(QSqlDatabase database)
{
    // The page cache keeps what a read of the whole file brought in; the pages are a read call
    // away in the system's cache.
    QSqlQuery(database).exec(QStringLiteral("PRAGMA shrink_memory;"));
    malloc_trim(0);
}

void DataControl::releaseMemory()
{
    releaseMemory(mainDatabase());
}

bool DataControl::init_databases()
{
    ++m_catalogueChanges;
    if (!openDatabase(mainConnection, catalogueFile, "主要数据库打开失败，错误原因：",
                      std::move(m_catalogueCheck)))
        return false;
    openDatabase(cachesConnection, QStringLiteral("../cache/cache.db"),
                 "缓存数据库打开失败，错误原因：");
    return true;
}

void DataControl::database_create()
{
    QSqlQuery query(mainDatabase());

    LOG(INFO) << "Create/Check Tables [Types]";
    query.prepare(QStringLiteral("Create Table IF Not EXISTS Types( ID INTEGER PRIMARY KEY "
                                 "AUTOINCREMENT NOT NULL,Name TEXT,IconPath TEXT,Row INTEGER)"));
    query_check(query, QStringLiteral("Create Types"));
    database_checkStructure(QStringLiteral("Types"));

    LOG(INFO) << "Create/Check Table [Groups]";
    query.prepare(QStringLiteral(
        "Create Table IF Not EXISTS Groups( ID INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,Name "
        "TEXT,IconPath TEXT,TypesID INTEGER,ShowMode INTEGER DEFAULT 0,SortMode INTEGER DEFAULT "
        "0,Row INTEGER)"));
    query_check(query, QStringLiteral("Create Groups"));
    database_checkStructure(QStringLiteral("Groups"));

    LOG(INFO) << "Create/Check Tables [Items]";
    query.prepare(QStringLiteral(
        "Create Table IF Not EXISTS Items(ID INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,GroupsID "
        "INTEGER,TypesID INTEGER,Name TEXT,Type INTEGER,Path TEXT,Arguments TEXT,WorkingDirectory "
        "TEXT,Note TEXT,IconPath TEXT,Row INTEGER,CreateDate TEXT,RunDate TEXT,RunCount INTEGER "
        "DEFAULT 0)"));
    query_check(query, QStringLiteral("Create Items"));
    database_checkStructure(QStringLiteral("Items"));
    // A group's items are read at every switch by id and order alone: the index answers
    // without a look into the table for each item, and in the order the items were added, as
    // the table gives them. It takes the place of the index by group alone that some
    // catalogues have, and of the one that also held every icon key.
    for (const QString &index :
         {QStringLiteral("Items_GroupsID"), QStringLiteral("Items_GroupRows")}) {
        query.prepare(QStringLiteral("DROP INDEX IF EXISTS ") + index);
        query_check(query, QStringLiteral("Drop ") + index);
    }
    query.prepare(
        QStringLiteral("CREATE INDEX IF NOT EXISTS Items_GroupOrder ON Items(GroupsID, ID, Row)"));
    query_check(query, QStringLiteral("Create Items_GroupOrder"));

    LOG(INFO) << "Create/Check Tables [cache]";
    QSqlQuery cacheQuery(cachesDatabase());
    cacheQuery.prepare(
        QStringLiteral("Create Table IF Not EXISTS Caches(ID INTEGER PRIMARY KEY "
                       "AUTOINCREMENT NOT NULL,Name TEXT,HashName TEXT,Class TEXT)"));
    query_check(cacheQuery, QStringLiteral("Create Caches"));
}

void DataControl::database_checkStructure(const QString &table)
{
    if (table != QLatin1String("Types") && table != QLatin1String("Groups") &&
        table != QLatin1String("Items"))
        return;
    LOG(INFO) << "Check structure " << table;
    if (database_isExists_column(table, QStringLiteral("Row")))
        return;
    LOG(INFO) << table << "'s structure add Row ";
    database_AddColumn(table, QStringLiteral("Row INTEGER"));
}

bool DataControl::database_isExists_column(const QString &table, const QString &column)
{
    QSqlQuery query =
        selectOn(mainDatabase(),
                 QStringLiteral("SELECT COUNT(*) as Count FROM "
                                "pragma_table_info(:TableName) WHERE "
                                "name=:ColumnName;"),
                 {{QStringLiteral(":TableName"), table}, {QStringLiteral(":ColumnName"), column}},
                 QStringLiteral("database_isExists_column"));
    return query.next() && query.value(QStringLiteral("Count")).toInt() != 0;
}

bool DataControl::database_AddColumn(const QString &table, const QString &columnDefinition)
{
    return runOn(mainDatabase(),
                 QStringLiteral("ALTER TABLE %1 ADD %2;").arg(table, columnDefinition), {},
                 QStringLiteral("database_AddColumn"));
}

bool DataControl::query_check(QSqlQuery &query, const QString &name)
{
    // A statement that failed to prepare keeps its reason; executing it anyway would replace
    // the reason with a parameter-count complaint.
    if (!query.lastError().isValid() && query.exec())
        return true;
    LOG(ERROR)
        << QStringLiteral("DataControl %1 query has error: %2").arg(name, query.lastError().text());
    return false;
}

void DataControl::database_transaction(bool begin)
{
    QSqlDatabase database = mainDatabase();
    if (begin)
        database.transaction();
    else
        database.commit();
}

void DataControl::database_close()
{
    mainDatabase().close();
}

QSqlQuery DataControl::bound(const QSqlDatabase &database,
                             const QString &statement,
                             const QVariantMap &bindings)
{
    QSqlQuery query(database);
    // Every result is read once from start to end; Qt then keeps no copy of the rows read.
    query.setForwardOnly(true);
    query.prepare(statement);
    for (auto it = bindings.cbegin(); it != bindings.cend(); ++it)
        query.bindValue(it.key(), it.value());
    return query;
}

qint64 DataControl::catalogueCommitsElsewhere() const
{
    QSqlQuery query(mainDatabase());
    return query.exec(QStringLiteral("PRAGMA data_version")) && query.next()
               ? query.value(0).toLongLong()
               : -1;
}

bool DataControl::runOn(const QSqlDatabase &database,
                        const QString &statement,
                        const QVariantMap &bindings,
                        const QString &name)
{
    QSqlQuery query = bound(database, statement, bindings);
    if (database.connectionName() == mainConnection)
        ++m_catalogueChanges;
    return query_check(query, name);
}

QSqlQuery DataControl::selectOn(const QSqlDatabase &database,
                                const QString &statement,
                                const QVariantMap &bindings,
                                const QString &name)
{
    QSqlQuery query = bound(database, statement, bindings);
    query_check(query, name);
    return query;
}

// Types

int DataControl::types_maxID()
{
    QSqlQuery query = bound(mainDatabase(), QStringLiteral("Select MAX(ID) AS ID From Types;"), {});
    if (!query_check(query, QStringLiteral("types_maxID")))
        return -1;
    query.next();
    return query.value(QStringLiteral("ID")).toInt();
}

bool DataControl::type_add(const QString &name)
{
    return runOn(mainDatabase(),
                 QStringLiteral("INSERT INTO Types (Name, Row) VALUES(:Name, (select COUNT(Row) "
                                "from Types));"),
                 {{QStringLiteral(":Name"), name}}, QStringLiteral("type_add"));
}

bool DataControl::type_rename(const QString &name, const QVariant &id)
{
    return runOn(mainDatabase(), QStringLiteral("UPDATE Types SET Name = :Name WHERE ID = :ID;"),
                 {{QStringLiteral(":Name"), name}, {QStringLiteral(":ID"), id}},
                 QStringLiteral("type_rename"));
}

void DataControl::type_delete(const QVariant &id)
{
    const QSqlDatabase database = mainDatabase();
    runOn(database, QStringLiteral("DELETE FROM Types WHERE ID = :ID;"),
          {{QStringLiteral(":ID"), id}}, QStringLiteral("DELETE Types_Types row"));
    runOn(database, QStringLiteral("DELETE FROM Groups Where TypesID = :TypesID;"),
          {{QStringLiteral(":TypesID"), id}}, QStringLiteral("DELETE Types_Groups row"));
    runOn(database, QStringLiteral("DELETE FROM Items Where TypesID = :TypesID;"),
          {{QStringLiteral(":TypesID"), id}}, QStringLiteral("DELETE Types_Items row"));
}

bool DataControl::type_setIcon(const QString &iconPath, const QVariant &id)
{
    return runOn(mainDatabase(),
                 QStringLiteral("UPDATE Types SET IconPath = :IconPath Where ID = :ID;"),
                 {{QStringLiteral(":IconPath"), iconPath}, {QStringLiteral(":ID"), id}},
                 QStringLiteral("type_setIcon"));
}

bool DataControl::type_setRow(const QVariant &id, const QVariant &row)
{
    return runOn(mainDatabase(), QStringLiteral("UPDATE Types SET Row = :Row Where ID = :ID;"),
                 {{QStringLiteral(":Row"), row}, {QStringLiteral(":ID"), id}},
                 QStringLiteral("type_setRow"));
}

QSqlQuery DataControl::types_select(const QString &columns)
{
    return selectOn(mainDatabase(), QStringLiteral("SELECT %1 FROM Types").arg(columns), {},
                    QStringLiteral("types_select"));
}

// Groups

bool DataControl::group_add(const QString &name, const QVariant &typesID)
{
    return runOn(mainDatabase(),
                 QStringLiteral("INSERT INTO Groups (Name, TypesID, Row) VALUES(:Name, :TypesID, "
                                "(select COUNT(Row) from Groups));"),
                 {{QStringLiteral(":Name"), name}, {QStringLiteral(":TypesID"), typesID}},
                 QStringLiteral("group_add"));
}

bool DataControl::group_clear(const QVariant &groupsID)
{
    return runOn(mainDatabase(), QStringLiteral("DELETE FROM Items WHERE GroupsID = :GroupsID"),
                 {{QStringLiteral(":GroupsID"), groupsID}}, QStringLiteral("group_clear"));
}

void DataControl::group_move(const QVariant &typesID, const QVariant &id)
{
    const QSqlDatabase database = mainDatabase();
    runOn(database, QStringLiteral("UPDATE Groups SET TypesID = :TypesID WHERE ID = :ID;"),
          {{QStringLiteral(":TypesID"), typesID}, {QStringLiteral(":ID"), id}},
          QStringLiteral("group_move_Groups"));
    runOn(database,
          QStringLiteral("UPDATE Items SET TypesID = :TypesID WHERE GroupsID = :GroupsID;"),
          {{QStringLiteral(":TypesID"), typesID}, {QStringLiteral(":GroupsID"), id}},
          QStringLiteral("group_move_Items"));
}

bool DataControl::group_rename(const QString &name, const QVariant &id)
{
    return runOn(mainDatabase(), QStringLiteral("UPDATE Groups SET Name = :Name WHERE ID = :ID;"),
                 {{QStringLiteral(":Name"), name}, {QStringLiteral(":ID"), id}},
                 QStringLiteral("group_rename"));
}

void DataControl::group_delete(const QVariant &id)
{
    const QSqlDatabase database = mainDatabase();
    runOn(database, QStringLiteral("DELETE FROM Groups WHERE ID = :ID;"),
          {{QStringLiteral(":ID"), id}}, QStringLiteral("DELETE Groups row"));
    runOn(database, QStringLiteral("DELETE FROM Items WHERE GroupsID = :ID;"),
          {{QStringLiteral(":ID"), id}}, QStringLiteral("DELETE Items row"));
}

void DataControl::group_deleteAll(const QVariant &typesID)
{
    const QSqlDatabase database = mainDatabase();
    runOn(database, QStringLiteral("DELETE FROM Groups WHERE TypesID = :ID"),
          {{QStringLiteral(":ID"), typesID}}, QStringLiteral("group_deleteAll_Groups"));
    runOn(database, QStringLiteral("DELETE FROM Items WHERE TypesID = :ID"),
          {{QStringLiteral(":ID"), typesID}}, QStringLiteral("group_deleteAll_Items"));
}

bool DataControl::group_setRow(const QVariant &id, const QVariant &row)
{
    return runOn(mainDatabase(), QStringLiteral("UPDATE Groups SET Row = :Row Where ID = :ID;"),
                 {{QStringLiteral(":Row"), row}, {QStringLiteral(":ID"), id}},
                 QStringLiteral("group_setRow"));
}

bool DataControl::group_setIcon(const QString &iconPath, const QVariant &id)
{
    return runOn(mainDatabase(),
                 QStringLiteral("UPDATE Groups SET IconPath = :IconPath Where ID = :ID;"),
                 {{QStringLiteral(":IconPath"), iconPath}, {QStringLiteral(":ID"), id}},
                 QStringLiteral("group_setIcon"));
}

QSqlQuery DataControl::groups_select(const QString &columns, const QVariant &typesID)
{
    return selectOn(mainDatabase(),
                    QStringLiteral("SELECT %1 FROM Groups WHERE TypesID = :ID").arg(columns),
                    {{QStringLiteral(":ID"), typesID}}, QStringLiteral("groups_select"));
}

// Items

bool DataControl::item_add(const QVariantMap &item,
                           const QVariant &typesID,
                           const QVariant &groupsID)
{
    QVariantMap bindings = itemBindings(item);
    bindings.insert(QStringLiteral(":CreateDate"), now());
    bindings.insert(QStringLiteral(":GroupsID"), groupsID);
    bindings.insert(QStringLiteral(":TypesID"), typesID);
    bindings.insert(QStringLiteral(":RunCount"), 0);
    return runOn(mainDatabase(),
                 QStringLiteral("INSERT INTO Items (Name, Type, Path, Arguments, WorkingDirectory, "
                                "IconPath, Note, CreateDate, GroupsID, TypesID, RunCount) "
                                "VALUES(:Name, :Type, :Path, :Arguments, :WorkingDirectory, "
                                ":IconPath, :Note, :CreateDate, :GroupsID, :TypesID, :RunCount);"),
                 bindings, QStringLiteral("item_add"));
}

QVariant DataControl::item_lastAdded()
{
    QSqlQuery query = selectOn(mainDatabase(), QStringLiteral("SELECT last_insert_rowid()"), {},
                               QStringLiteral("item_lastAdded"));
    return query.next() ? query.value(0) : QVariant();
}

bool DataControl::item_edit(const QVariantMap &item, const QVariant &id)
{
    QVariantMap bindings = itemBindings(item);
    bindings.insert(QStringLiteral(":ID"), id);
    return runOn(mainDatabase(),
                 QStringLiteral("UPDATE Items SET Name=:Name, Type=:Type, Path=:Path, "
                                "Arguments=:Arguments,WorkingDirectory=:WorkingDirectory, "
                                "IconPath=:IconPath, Note=:Note Where ID=:ID;"),
                 bindings, QStringLiteral("item_edit"));
}

bool DataControl::item_ran(const QVariant &id)
{
    return runOn(mainDatabase(),
                 QStringLiteral("UPDATE Items Set RunCount = RunCount + 1, RunDate = :RunDate "
                                "Where ID = :ID;"),
                 {{QStringLiteral(":RunDate"), now()}, {QStringLiteral(":ID"), id}},
                 QStringLiteral("item_ran"));
}

bool DataControl::item_move(const QVariant &id, const QVariant &groupsID, const QVariant &typesID)
{
    return runOn(mainDatabase(),
                 QStringLiteral("UPDATE Items SET TypesID = :TypesID, GroupsID = :GroupsID  Where "
                                "ID = :ID;"),
                 {{QStringLiteral(":TypesID"), typesID},
                  {QStringLiteral(":GroupsID"), groupsID},
                  {QStringLiteral(":ID"), id}},
                 QStringLiteral("item_move"));
}

bool DataControl::item_setRow(const QVariant &id, const QVariant &row)
{
    return runOn(mainDatabase(), QStringLiteral("UPDATE Items SET Row = :Row Where ID = :ID;"),
                 {{QStringLiteral(":Row"), row}, {QStringLiteral(":ID"), id}},
                 QStringLiteral("item_setRow"));
}

bool DataControl::item_setIcon(const QString &iconPath, const QVariant &id)
{
    return runOn(mainDatabase(),
                 QStringLiteral("UPDATE Items SET IconPath = :IconPath Where ID = :ID;"),
                 {{QStringLiteral(":IconPath"), iconPath}, {QStringLiteral(":ID"), id}},
                 QStringLiteral("item_setIcon"));
}

bool DataControl::item_rename(const QString &name, const QVariant &id)
{
    return runOn(mainDatabase(), QStringLiteral("UPDATE Items Set Name = :Name Where ID = :ID;"),
                 {{QStringLiteral(":Name"), name}, {QStringLiteral(":ID"), id}},
                 QStringLiteral("item_rename"));
}

bool DataControl::item_delete(const QVariant &id)
{
    return runOn(mainDatabase(), QStringLiteral("DELETE FROM Items Where ID = :ID;"),
                 {{QStringLiteral(":ID"), id}}, QStringLiteral("item_delete"));
}

QSqlRecord DataControl::item_select(const QString &columns, const QVariant &id)
{
    QSqlQuery query =
        selectOn(mainDatabase(), QStringLiteral("SELECT %1 FROM Items WHERE ID = :ID").arg(columns),
                 {{QStringLiteral(":ID"), id}}, QStringLiteral("item_select"));
    query.next();
    return query.record();
}

QSqlQuery DataControl::items_select(const QString &columns, const QVariant &groupsID)
{
    return selectOn(
        mainDatabase(),
        QStringLiteral("SELECT %1 FROM Items WHERE GroupsID = :GroupsID ORDER BY ID").arg(columns),
        {{QStringLiteral(":GroupsID"), groupsID}}, QStringLiteral("items_select"));
}

QSqlQuery DataControl::items_search(const QString &columns, const QString &text)
{
    return selectOn(
        mainDatabase(),
        QStringLiteral("SELECT %1 FROM Items WHERE Name LIKE :Text OR Note LIKE :Text;")
            .arg(columns),
        {{QStringLiteral(":Text"), QString(QLatin1Char('%') + text + QLatin1Char('%'))}},
        QStringLiteral("items_search"));
}

QSqlQuery DataControl::items_all(const QString &columns)
{
    return selectOn(mainDatabase(), QStringLiteral("SELECT %1 FROM Items").arg(columns), {},
                    QStringLiteral("items_all"));
}

QSqlQuery DataControl::items_byId(const QString &columns, const QVector<int> &ids)
{
    QStringList list;
    list.reserve(ids.size());
    for (int id : ids)
        list << QString::number(id);
    return selectOn(mainDatabase(),
                    QStringLiteral("SELECT %1 FROM Items WHERE ID IN (%2)")
                        .arg(columns, list.join(QLatin1Char(','))),
                    {}, QStringLiteral("items_byId"));
}

QSqlQuery DataControl::items_ofType(const QString &columns, int type)
{
    return selectOn(mainDatabase(),
                    QStringLiteral("SELECT %1 FROM Items WHERE Type = :Type").arg(columns),
                    {{QStringLiteral(":Type"), type}}, QStringLiteral("items_ofType"));
}

QSqlQuery DataControl::items_history(const QString &columns)
{
    // The most recent runs, newest first.
    return selectOn(mainDatabase(),
                    QStringLiteral("SELECT %1 FROM Items WHERE RunDate != 0 ORDER BY RunDate DESC "
                                   "LIMIT :MAX;")
                        .arg(columns),
                    {{QStringLiteral(":MAX"), 50}}, QStringLiteral("items_history"));
}

// Cached icons

bool DataControl::cache_add(const QVariantMap &fields)
{
    return runOn(cachesDatabase(),
                 QStringLiteral("INSERT INTO Caches(Name, HashName, Class) "
                                "VALUES(:Name,:HashName,:Class);"),
                 {{QStringLiteral(":Name"), fields.value(QStringLiteral("Name"))},
                  {QStringLiteral(":HashName"), fields.value(QStringLiteral("HashName"))},
                  {QStringLiteral(":Class"), fields.value(QStringLiteral("Class"))}},
                 QStringLiteral("cache_add"));
}

QString DataControl::hashName(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
}

bool DataControl::cache_addData(const QByteArray &data, QVariantMap fields)
{
    const QString hash = hashName(data);
    const QString fileName = cacheFileName(hash);
    if (!QFile::exists(fileName)) {
        // Written whole or not at all: a torn file under its hash name would never be rewritten.
        QSaveFile file(fileName);
        if (!file.open(QIODevice::WriteOnly) ||
            !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) ||
            file.write(data) != data.size() || !file.commit()) {
            LOG(ERROR) << "cache_addData cannot write " << fileName << ": " << file.errorString();
            return false;
        }
    }
    fields.insert(QStringLiteral("HashName"), hash);
    return cache_add(fields);
}

bool DataControl::cache_checkDuplicate(const QString &hashName)
{
    QSqlQuery query =
        selectOn(cachesDatabase(),
                 QStringLiteral("SELECT COUNT(*) as Count FROM Caches WHERE "
                                "HashName=:HashName;"),
                 {{QStringLiteral(":HashName"), hashName}}, QStringLiteral("cache_checkDuplicate"));
    return query.next() && query.value(QStringLiteral("Count")).toInt() != 0;
}

bool DataControl::cache_delete(const QVariant &id)
{
    return runOn(cachesDatabase(), QStringLiteral("DELETE FROM Caches WHERE ID = :ID;"),
                 {{QStringLiteral(":ID"), id}}, QStringLiteral("cache_delete"));
}

bool DataControl::cache_rename(const QString &name, const QVariant &id)
{
    return runOn(cachesDatabase(), QStringLiteral("UPDATE Caches SET Name = :Name WHERE ID = :ID;"),
                 {{QStringLiteral(":Name"), name}, {QStringLiteral(":ID"), id}},
                 QStringLiteral("cache_rename"));
}

QSqlQuery DataControl::cache_select(const QString &columns)
{
    return selectOn(cachesDatabase(), QStringLiteral("SELECT %1 FROM Caches").arg(columns), {},
                    QStringLiteral("cache_select"));
}
