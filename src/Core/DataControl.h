#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <QVector>

#include <future>

// The data store: the catalogue "../data/data.db" (types, groups, items) and the icon index
// "../cache/cache.db", reached only through the named operations below. Each operation logs
// a failing statement under its own name and reports the failure as its result.
class DataControl final
{
    Q_DISABLE_COPY_MOVE(DataControl)

public:
    static DataControl &instance();

    // Starts reading the whole catalogue file for damage on a thread of its own, while the
    // window is being built: init_databases() then takes the answer rather than reading it.
    void checkCatalogueAhead();

    // Where the icon with this hash name is stored: "../cache/caches/<hash>.o".
    static QString cacheFileName(const QString &hashName);
    // The name image bytes are stored under: their SHA-1 in lowercase hexadecimal.
    static QString hashName(const QByteArray &bytes);

    DataControl() = default;

    // Schema and connections.
    bool init_databases();
    void database_create();
    void database_checkStructure(const QString &table);
    bool database_isExists_column(const QString &table, const QString &column);
    bool database_AddColumn(const QString &table, const QString &columnDefinition);
    bool query_check(QSqlQuery &query, const QString &name);
    void database_transaction(bool begin);
    void database_close();

    // Types.
    int types_maxID();
    bool type_add(const QString &name);
    bool type_rename(const QString &name, const QVariant &id);
    void type_delete(const QVariant &id);
    bool type_setIcon(const QString &iconPath, const QVariant &id);
    bool type_setRow(const QVariant &id, const QVariant &row);
    QSqlQuery types_select(const QString &columns);

    // Groups.
    bool group_add(const QString &name, const QVariant &typesID);
    bool group_clear(const QVariant &groupsID);
    void group_move(const QVariant &typesID, const QVariant &id);
    bool group_rename(const QString &name, const QVariant &id);
    void group_delete(const QVariant &id);
    void group_deleteAll(const QVariant &typesID);
    bool group_setRow(const QVariant &id, const QVariant &row);
    bool group_setIcon(const QString &iconPath, const QVariant &id);
    QSqlQuery groups_select(const QString &columns, const QVariant &typesID);

    // Items.
    bool item_add(const QVariantMap &item, const QVariant &typesID, const QVariant &groupsID);
    // The ID of the item item_add stored last.
    QVariant item_lastAdded();
    bool item_edit(const QVariantMap &item, const QVariant &id);
    bool item_ran(const QVariant &id);
    bool item_move(const QVariant &id, const QVariant &groupsID, const QVariant &typesID);
    bool item_setRow(const QVariant &id, const QVariant &row);
    bool item_setIcon(const QString &iconPath, const QVariant &id);
    bool item_rename(const QString &name, const QVariant &id);
    bool item_delete(const QVariant &id);
    QSqlRecord item_select(const QString &columns, const QVariant &id);
    // The items of a group, in the order they were added.
    QSqlQuery items_select(const QString &columns, const QVariant &groupsID);
    QSqlQuery items_search(const QString &columns, const QString &text);
    QSqlQuery items_history(const QString &columns);
    // Every item of the catalogue.
    QSqlQuery items_all(const QString &columns);
    // The items of these ids, in no particular order.
    QSqlQuery items_byId(const QString &columns, const QVector<int> &ids);
    // Every item of one type (0 file, 1 folder, 2 web address, 3 command line), in any group.
    QSqlQuery items_ofType(const QString &columns, int type);

    // Cached icons.
    bool cache_add(const QVariantMap &fields);
    bool cache_addData(const QByteArray &data, QVariantMap fields);
    bool cache_checkDuplicate(const QString &hashName);
    bool cache_delete(const QVariant &id);
    bool cache_rename(const QString &name, const QVariant &id);
    QSqlQuery cache_select(const QString &columns);

    // Grows with every statement run on the catalogue, and with every opening of it: what was
    // read from it before a change of this number may be out of date.
    quint64 catalogueChanges() const { return m_catalogueChanges; }
    // Changes with every commit another process (a second instance) made to the catalogue
    // file since it was opened here; -1 when it cannot be read.
    qint64 catalogueCommitsElsewhere() const;
    // Gives the memory that reading much of the catalogue took back to the system.
    void releaseMemory();

private:
    quint64 m_catalogueChanges = 0;
    std::future<QString> m_catalogueCheck;

    static QSqlDatabase mainDatabase();
    static QSqlDatabase cachesDatabase();
    static void releaseMemory(QSqlDatabase database);
    // Why the file cannot serve as it is; null when it is sound.
    static QString damage(const QSqlDatabase &database);
    static bool openDatabase(const QString &connectionName,
                             const QString &fileName,
                             const char *failureText,
                             std::future<QString> checkedAhead = {});

    static QSqlQuery
    bound(const QSqlDatabase &database, const QString &statement, const QVariantMap &bindings);
    bool runOn(const QSqlDatabase &database,
               const QString &statement,
               const QVariantMap &bindings,
               const QString &name);
    QSqlQuery selectOn(const QSqlDatabase &database,
                       const QString &statement,
                       const QVariantMap &bindings,
                       const QString &name);
};
