#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

class CatalogueColumn;
class ItemsListView;
class ItemsPage;
class QModelIndex;

// Items coming into the current group and going out of it: the properties dialog, drops,
// shared text pasted and copied, renaming, deleting and choosing icons.
class ItemEditing final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ItemEditing)

public:
    ItemEditing(CatalogueColumn *column, ItemsPage *page, ItemsListView *view, QWidget *window);

    void add();
    // The entries of one drop; a drop made while another is still being read waits its turn.
    void add(const QList<QUrl> &urls);
    void editAttributes();
    void share();
    void paste();
    void rename();
    void remove();
    // The selected items' icon, chosen in the icon selector.
    void setIcon();
    void setIcon(const QModelIndex &item, const QString &hashName);

private:
    // Refuses with a notice when no group is current.
    bool hasCurrentGroup();
    // Runs the properties dialog; reloads the items when it was accepted.
    void runAttribute(const QModelIndex &index, bool edit);
    void addDropped(const QList<QUrl> &urls);

    CatalogueColumn *m_column;
    ItemsPage *m_page;
    ItemsListView *m_view;
    QWidget *m_window;
    QList<QList<QUrl>> m_pendingDrops;
    bool m_addingDrops = false;
};
