#pragma once

#include <QDialog>
#include <QIcon>
#include <QModelIndex>
#include <QSize>
#include <QUrl>

#include <optional>

#include "Icons/IconStore.h"

class QAction;
class QMenu;
class QStandardItemModel;

namespace Ui {
class Form_IconSelector;
}

// Manages the icon cache and picks an icon from it. The first tab lists every cached icon (row 0
// stands for no icon); the second extracts icons from a file, a folder or a web site. Image
// files dropped on the dialog are added to the cache.
class Form_IconSelector final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form_IconSelector)

public:
    explicit Form_IconSelector(QWidget *parent = nullptr);
    ~Form_IconSelector() override;

    // Where "确定选择" writes the chosen hash name; the empty string stands for no icon.
    void setResult(QString *result) { m_result = result; }
    // Runs the selector: the hash name chosen (empty: no icon), nullopt when cancelled.
    static std::optional<QString> choose(QWidget *parent);

public slots:
    void cacheDelete(QModelIndex index);
    void onAddIconFile();
    void onAccept();
    void onExtract();
    void onExtract(QIcon icon, QString name);
    void onCacheIt();
    void onReview(QModelIndex index);
    void onDelete();
    void onRename();
    void onShowMenu(QPoint pos);
    void setDefaultIcons(const QAction *action);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // Fills the list and says how many icons it holds.
    void fillIconList();
    // Fills the list; the number of icons.
    int loadIconList();
    void addIconFiles(const QList<QUrl> &urls);
    void showIconList();
    // A notice at the dialog's bottom; an empty colour is the neutral blue.
    void notify(const QString &text, const QVariant &color, int duration);
    void notifyAdded(IconStore::Added outcome);

    QSize m_entrySize{90, 70};
    // The icons loaded before the dialog was first shown: said once it stands where it shows.
    int m_loadedBeforeShow = -1;
    QString *m_result = nullptr;
    Ui::Form_IconSelector *ui;
    QStandardItemModel *m_icons;
    QStandardItemModel *m_extracted;
    QAction *m_refresh;
    QAction *m_rename;
    QAction *m_delete;
    QAction *m_webIcon;
    QAction *m_lostIcon;
    QAction *m_shellIcon;
    QMenu *m_defaultsMenu;
    QMenu *m_oneMenu;
    QMenu *m_severalMenu;
    QMenu *m_noneMenu;
};
