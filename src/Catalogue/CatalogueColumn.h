#pragma once

#include <QModelIndex>
#include <QObject>

class CatalogueListModel;
class GroupsListView;
class QAction;
class QWidget;
class TypesListView;

// The types column and the groups bar: their models, which type and group are current, and
// every change made through their menus. The window shows the notices and questions over
// itself.
class CatalogueColumn final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CatalogueColumn)

public:
    CatalogueColumn(TypesListView *types, GroupsListView *groups, QWidget *window);

    CatalogueListModel *typesModel() const { return m_types; }
    bool isEmpty() const;
    QModelIndex currentType() const;
    QModelIndex currentGroup() const;

    // Reads the types again; the type and group of those ids become current where they are
    // still listed, else the first type stored and its first group.
    void reload(int typeId = 0, int groupId = 0);
    // Reads the current type's groups again; the first becomes current.
    void reloadGroups();
    // Makes that type and group current, where they are listed.
    void locate(int typeId, int groupId);

    void importApplications();
    // While the catalogue is empty, asks once whether to import the installed applications.
    void offerImport();
    void addType();
    void renameType();
    void deleteType();
    void setTypeIcon();
    void addGroup();
    void renameGroup();
    void deleteGroup();
    void deleteAllGroups();
    void clearGroup();
    void moveGroup(QAction *action);
    void setGroupIcon();

signals:
    // The group whose items are shown changed; invalid when none is.
    void groupChanged(const QModelIndex &group);
    // The current group's items were deleted.
    void groupCleared();
    // The catalogue has no type (true), or has some again.
    void emptied(bool empty);

private:
    // The type's groups; the one of m_wantedGroup becomes current where listed, else the first.
    void showGroups(const QModelIndex &type);
    // Renames written as they are made in place.
    void storeName(const QModelIndex &index, const QVector<int> &roles);
    void selectRow(bool types, int row);
    void refuse(const QString &text);

    TypesListView *m_typesView;
    GroupsListView *m_groupsView;
    QWidget *m_window;
    CatalogueListModel *m_types;
    CatalogueListModel *m_groups;
    int m_wantedGroup = 0;
};
