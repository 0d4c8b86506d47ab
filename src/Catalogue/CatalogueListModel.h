#pragma once

#include <QAbstractListModel>
#include <QVector>

class QSqlQuery;

// The rows of the types column or the groups bar, compact: ids, order, name and the key of the
// cached icon. Kept in display order (by RowRole, stable), as the view shows them; a rename in
// place or a drag's new position changes one row.
class CatalogueListModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    struct Row
    {
        int id = 0;
        // The type a group belongs to; the type's own id for a type.
        int typeId = 0;
        double order = -1.0;
        QString name;
        QString iconKey;
    };

    // Types answer TypesIdRole with their id; groups answer GroupsIdRole with theirs and
    // TypesIdRole with their type's.
    enum class Kind { Types, Groups };

    explicit CatalogueListModel(Kind kind, QObject *parent = nullptr);

    // Every row replaced at once from a query holding ID, Name, Row and IconPath; typeId names
    // the groups' type. Returns the id of the query's first row, 0 when it had none.
    int load(QSqlQuery &query, int typeId = 0);
    void clear();
    // The row of that id, invalid when there is none.
    QModelIndex indexOfId(int id) const;
    void setIconKey(const QModelIndex &index, const QString &hashName);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // By RowRole whatever the arguments: the lists have one order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    Kind m_kind;
    QVector<Row> m_rows;
};
