#pragma once

#include <QStandardItem>

#include <limits>

// A row of the items or results list. The name and icon are stored as any item's; the ids and
// the order are plain members, and the tooltip is read from the catalogue when it is shown: a
// list of 10k items would otherwise hold 10k tooltips nobody reads and a QVariant per role.
class ItemRow final : public QStandardItem
{
public:
    ItemRow(const QIcon &icon, const QString &name, int id, int typeId, int groupId);

    QVariant data(int role) const override;
    void setData(const QVariant &value, int role) override;

    // The tooltip of an item: name, path, note when it has one, run count.
    static QString tooltip(int id);

private:
    int m_id;
    int m_typeId;
    int m_groupId;
    // Unset (NaN) in the results list, which has no order of its own.
    double m_row = std::numeric_limits<double>::quiet_NaN();
};
