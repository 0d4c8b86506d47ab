#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QIcon>
#include <QVector>

#include <limits>

#include "Actions/ActionProvider.h"

class QSqlQuery;

// The rows of the items list or the results page, compact: ids, order, name and the key of the
// icon, nothing else. The tooltip is read from the catalogue when it is shown, and the icon of
// an item without a cached one is found when the row is first painted, once per kind of file.
// Rows read without their names and icon keys get them from the catalogue when first shown,
// for a block of neighbouring rows at once: a large group's names and keys are most of its
// memory and of its reading, and only a screenful of them is seen.
// A group switch or a search replaces every row in one reset. On the results page, rows may
// also be the search box's other answers (a calculator's result, a web search).
class ItemsModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    // A row as it is read or built; the model holds it in fewer bytes.
    struct Row
    {
        // Unset (NaN) on the results page, which has no order of its own.
        double order = std::numeric_limits<double>::quiet_NaN();
        QString name;
        // The hash name of the cached icon; empty for none, null for one not read yet.
        QString iconKey;
        int id = 0;
        int typeId = 0;
        int groupId = 0;
        // An answer other than an item: its index among the answers reset() took; -1 for an
        // item.
        int action = -1;
    };

    // What many rows have in common, held once for all of them: where the item lies (every
    // row of a group alike), or the answer the row stands for.
    struct Shared
    {
        int typeId;
        int groupId;
        int action;
        bool operator==(const Shared &other) const
        {
            return typeId == other.typeId && groupId == other.groupId && action == other.action;
        }
    };
    // A row as the model holds it all day (32 bytes): ten thousand of them for a large group.
    // Icon keys are shared strings, each held once however many rows name it.
    struct Held
    {
        double order;
        QString name;
        QString iconKey;
        int id;
        int shared;
    };

    using QAbstractListModel::QAbstractListModel;

    // The rows of a query holding ID, and Name, IconPath, Row, TypesID, GroupsID where the rows
    // carry them (typeId and groupId stand in for the last two; without Name and IconPath,
    // names and icon keys are read when shown), in the query's order.
    // Icon keys repeat across a catalogue: each is held once. IconPath may be read as a blob,
    // which spares SQLite's conversion of every key to UTF-16.
    QVector<Row> readRows(QSqlQuery &query, int typeId = 0, int groupId = 0);
    // Every row replaced at once; rows that are answers name one of actions.
    void reset(QVector<Row> rows, QVector<ActionRow> actions = {});
    // The answer a row stands for; null for an item.
    const ActionRow *actionAt(const QModelIndex &index) const;
    void clear() { reset({}); }
    // The row of the item, invalid when it is not shown.
    QModelIndex indexOfId(int id) const;
    // The item's cached icon changed (an empty key: it has none now).
    void setIconKey(const QModelIndex &index, const QString &hashName);
    // The row's position (RowRole) as the number it is.
    double orderAt(int row) const { return m_rows.at(row).order; }

    // Without QAbstractListModel's checks through the virtual row and column counts: the
    // sorting proxy asks for two indexes per comparison.
    QModelIndex
    index(int row, int column = 0, const QModelIndex &parent = QModelIndex()) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

    // Until let go, rows without a cached icon are drawn without one: finding the first of
    // their icons reads the MIME database and the icon theme, which the first frame does not
    // wait for. Let go, the rows drawn so are drawn again with their icons.
    void holdFoundIcons() { m_holding = true; }
    void releaseFoundIcons();

    // The tooltip of an item: name, path, note when it has one, run count.
    static QString tooltip(int id);

private:
    const Shared &shared(int row) const { return m_shared.at(m_rows.at(row).shared); }
    // Where an equal one is held, held now if none is.
    int share(const Shared &shared);
    QIcon icon(int row) const;
    // Reads the names and icon keys not read yet of the block of rows holding row.
    void readShown(int row) const;
    // The one string held for an icon key read from the catalogue; empty for none.
    QString heldKey(const QVariant &value) const;

    // Mutable for the names and icon keys read when first shown; a null one is not read yet.
    mutable QVector<Held> m_rows;
    // Few: one for a group's rows, one per group or answer on the results page.
    QVector<Shared> m_shared;
    // The rows by order as the list shows them, and each row's place in it: names and keys are
    // read for neighbours on screen, which need not be neighbours in the query. Empty when the
    // query's order is the order shown, or after rows were removed.
    QVector<int> m_byOrder;
    QVector<int> m_places;
    QVector<ActionRow> m_actions;
    // The icon keys read since the last reset, by their bytes, each held once.
    mutable QHash<QByteArray, QString> m_keys;
    // Icons found from the item's file, by id, for the rows painted so far.
    mutable QHash<int, QIcon> m_found;
    // The answers' icons by name, looked up once per reset rather than at every paint.
    mutable QHash<QString, QIcon> m_answerIcons;
    bool m_holding = false;
    mutable bool m_heldBack = false;
};

// Their members relocate as plain bytes: growing a vector of rows moves them without copying.
Q_DECLARE_TYPEINFO(ItemsModel::Row, Q_MOVABLE_TYPE);
Q_DECLARE_TYPEINFO(ItemsModel::Held, Q_MOVABLE_TYPE);
