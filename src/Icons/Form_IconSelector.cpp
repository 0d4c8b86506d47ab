#include "Icons/Form_IconSelector.h"
#include "ui_Form_IconSelector.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QStyle>

#include <utility>

#include "Core/DataControl.h"
#include "Icons/IconLoader.h"
#include "Icons/IconStore.h"
#include "KelChooseBox.h"
#include "KelMessageBox.h"
#include "KelWindowPlacement.h"
#include "Core/Questions.h"
#include "Core/SettingsControl.h"
#include "Icons/SiteIcon.h"

namespace {
enum EntryRole {
    CacheIdRole = Qt::UserRole + 1,
    FilePathRole = Qt::UserRole + 2,
    HashNameRole = Qt::UserRole + 3,
};

constexpr int red = KelMessageBox::Red;
constexpr int green = KelMessageBox::Green;
} // namespace

std::optional<QString> Form_IconSelector::choose(QWidget *parent)
{
    QString hashName;
    Form_IconSelector selector(parent);
    selector.setResult(&hashName);
    KelWindowPlacement::placeOver(&selector, parent);
    if (selector.exec() != QDialog::Accepted)
        return std::nullopt;
    return hashName;
}

Form_IconSelector::Form_IconSelector(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::Form_IconSelector)
    , m_icons(new QStandardItemModel(this))
    , m_extracted(new QStandardItemModel(this))
{
    ui->setupUi(this);
    setAcceptDrops(true);
    setStyleSheet(QStringLiteral(
        "QTabWidget QListView{ outline:0px;}QTabWidget QListView::item{border-radius: "
        "5px;padding:3px;}QTabWidget QListView::item:hover, QTabWidget "
        "QListView::item:selected{color:black;background-color:rgba(0, 0, 0,30);}"));
    ui->listView_iconsDb->setModel(m_icons);
    ui->listView_extract->setModel(m_extracted);
    m_loadedBeforeShow = loadIconList();
    ui->tabWidget->setCurrentIndex(0);

    m_refresh = new QAction(QStringLiteral("刷新"), this);
    m_rename = new QAction(QStringLiteral("重命名"), this);
    m_delete = new QAction(QStringLiteral("删除"), this);
    m_webIcon = new QAction(QStringLiteral("网页图标"), this);
    m_lostIcon = new QAction(QStringLiteral("丢失图标"), this);
    m_shellIcon = new QAction(QStringLiteral("命令图标"), this);
    m_defaultsMenu = new QMenu(QStringLiteral("设为默认图标"), this);
    m_refresh->setObjectName(QStringLiteral("actionRefreshIcons"));
    m_rename->setObjectName(QStringLiteral("actionRenameIcon"));
    m_delete->setObjectName(QStringLiteral("actionDeleteIcons"));
    m_webIcon->setObjectName(QStringLiteral("actionDefaultWebIcon"));
    m_lostIcon->setObjectName(QStringLiteral("actionDefaultLostIcon"));
    m_shellIcon->setObjectName(QStringLiteral("actionDefaultShellIcon"));
    m_defaultsMenu->setObjectName(QStringLiteral("menuDefaultIcons"));
    m_defaultsMenu->addActions({m_webIcon, m_shellIcon, m_lostIcon});
    m_oneMenu = new QMenu(this);
    m_oneMenu->addAction(m_rename);
    m_oneMenu->addMenu(m_defaultsMenu);
    m_oneMenu->addActions({m_refresh, m_delete});
    m_severalMenu = new QMenu(this);
    m_severalMenu->addActions({m_refresh, m_delete});
    m_noneMenu = new QMenu(this);
    m_noneMenu->addAction(m_refresh);

    connect(ui->pushButton_extract, &QPushButton::clicked, this,
            qOverload<>(&Form_IconSelector::onExtract));
    connect(ui->pushButton_addIconFile, &QPushButton::clicked, this,
            &Form_IconSelector::onAddIconFile);
    connect(ui->pushButton_accept, &QPushButton::clicked, this, &Form_IconSelector::onAccept);
    connect(ui->pushButton_reject, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->pushButton_cacheCurrent, &QPushButton::clicked, this,
            &Form_IconSelector::onCacheIt);
    connect(ui->listView_iconsDb, &QListView::clicked, this, &Form_IconSelector::onReview);
    connect(ui->listView_iconsDb, &QListView::customContextMenuRequested, this,
            &Form_IconSelector::onShowMenu);
    connect(m_delete, &QAction::triggered, this, &Form_IconSelector::onDelete);
    connect(m_rename, &QAction::triggered, this, &Form_IconSelector::onRename);
    connect(m_refresh, &QAction::triggered, this, &Form_IconSelector::fillIconList);
    connect(m_defaultsMenu, &QMenu::triggered, this, &Form_IconSelector::setDefaultIcons);
}

Form_IconSelector::~Form_IconSelector()
{
    delete ui;
}

void Form_IconSelector::notify(const QString &text, const QVariant &color, int duration)
{
    KelMessageBox::show(this, text, color, duration, KelMessageBox::Bottom);
}

void Form_IconSelector::notifyAdded(IconStore::Added outcome)
{
    switch (outcome) {
    case IconStore::Added::Duplicate:
        notify(QStringLiteral("重复添加"), red, 2000);
        break;
    case IconStore::Added::New:
        notify(QStringLiteral("添加成功"), QVariant(), 2000);
        break;
    case IconStore::Added::Failed:
        notify(QStringLiteral("添加失败"), red, 2000);
        break;
    }
}

void Form_IconSelector::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_loadedBeforeShow >= 0)
        notify(QStringLiteral("已加载%1项数据").arg(std::exchange(m_loadedBeforeShow, -1)),
               QVariant(), 2000);
}

void Form_IconSelector::fillIconList()
{
    notify(QStringLiteral("已加载%1项数据").arg(loadIconList()), QVariant(), 2000);
}

int Form_IconSelector::loadIconList()
{
    m_icons->clear();
    auto *none = new QStandardItem(style()->standardIcon(QStyle::SP_MessageBoxCritical),
                                   QStringLiteral("取消图标"));
    none->setToolTip(none->text());
    none->setData(QString(), FilePathRole);
    none->setSizeHint(m_entrySize);
    m_icons->appendRow(none);

    QSqlQuery query = DataControl::instance().cache_select(QStringLiteral("ID, Name, HashName"));
    int count = 0;
    while (query.next()) {
        const QString name = query.value(QStringLiteral("Name")).toString();
        const QString hashName = query.value(QStringLiteral("HashName")).toString();
        const QString file = DataControl::cacheFileName(hashName);
        auto *entry = new QStandardItem(IconLoader::instance().cacheIcon(hashName), name);
        entry->setToolTip(name);
        entry->setData(query.value(QStringLiteral("ID")), CacheIdRole);
        entry->setData(file, FilePathRole);
        entry->setData(hashName, HashNameRole);
        entry->setSizeHint(m_entrySize);
        m_icons->appendRow(entry);
        ++count;
    }
    return count;
}

void Form_IconSelector::showIconList()
{
    fillIconList();
    ui->tabWidget->setCurrentIndex(0);
}

void Form_IconSelector::onAccept()
{
    if (m_result)
        *m_result = ui->listView_iconsDb->currentIndex().data(HashNameRole).toString();
    accept();
}

void Form_IconSelector::onReview(QModelIndex index)
{
    const QString file = index.data(FilePathRole).toString();
    ui->label_icon->setPixmap(file.isEmpty() ? QPixmap() : IconLoader::instance().loadPixmap(file));
}

void Form_IconSelector::onShowMenu(QPoint pos)
{
    const int selected = ui->listView_iconsDb->selectionModel()->selectedIndexes().size();
    QMenu *menu = selected == 0 ? m_noneMenu : selected == 1 ? m_oneMenu : m_severalMenu;
    menu->exec(ui->listView_iconsDb->viewport()->mapToGlobal(pos));
}

void Form_IconSelector::onRename()
{
    const QModelIndex index = ui->listView_iconsDb->currentIndex();
    if (!index.isValid() || index.row() == 0)
        return;
    const QString name =
        Questions::askText(this, QStringLiteral("输入新名字"), index.data().toString());
    if (name.isEmpty())
        return;
    DataControl::instance().cache_rename(name, index.data(CacheIdRole));
    fillIconList();
    notify(QStringLiteral("重命名完成"), QVariant(), 2000);
}

void Form_IconSelector::onDelete()
{
    const QModelIndexList selected = ui->listView_iconsDb->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    if (!Questions::confirm(this, QStringLiteral("确定要删除'%1'等共%2项数据吗?")
                                      .arg(selected.first().data().toString())
                                      .arg(selected.size())))
        return;
    for (const QModelIndex &index : selected)
        cacheDelete(index);
    fillIconList();
    notify(QStringLiteral("删除完成"), QVariant(), 2000);
}

void Form_IconSelector::cacheDelete(QModelIndex index)
{
    if (index.row() == 0)
        return;
    if (!DataControl::instance().cache_delete(index.data(CacheIdRole)))
        notify(QStringLiteral("从数据库中移除缓存图标失败"), red, 4000);
    if (!QFile::remove(index.data(FilePathRole).toString()))
        notify(QStringLiteral("从本地删除缓存文件失败"), red, 4000);
    IconLoader::instance().forget(index.data(HashNameRole).toString());
}

void Form_IconSelector::setDefaultIcons(const QAction *action)
{
    const int type = action == m_webIcon ? 2 : action == m_shellIcon ? 3 : -1;
    if (SettingsControl::instance().setDefaultIcon(
            type, ui->listView_iconsDb->currentIndex().data(HashNameRole).toString()))
        notify(QStringLiteral("已设置"), green, 2000);
    else
        notify(QStringLiteral("设置失败！"), red, 2000);
}

void Form_IconSelector::onExtract()
{
    const QString mode = KelChooseBox::getChooseItem(
        this, QStringLiteral("选择要提取的模式"),
        {QStringLiteral("文件"), QStringLiteral("文件夹"), QStringLiteral("网址")});
    if (mode == QStringLiteral("文件")) {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("选择文件"));
        if (!path.isEmpty())
            onExtract(IconLoader::instance().fileIcon(path), QFileInfo(path).baseName());
    } else if (mode == QStringLiteral("文件夹")) {
        const QString path = QFileDialog::getExistingDirectory(
            this, QStringLiteral("选择文件夹"), QString(), QFileDialog::ShowDirsOnly);
        if (!path.isEmpty())
            onExtract(IconLoader::instance().itemIcon(1, path), QFileInfo(path).baseName());
    } else if (mode == QStringLiteral("网址")) {
        // Typed as in a browser's address bar: "example.org" is an http address.
        const QString typed = Questions::askText(this, QStringLiteral("请输入网址"));
        if (typed.trimmed().isEmpty())
            return;
        const QUrl site = QUrl::fromUserInput(typed);
        notify(QStringLiteral("请稍后, 正在分析"), QVariant(), 4000);
        onExtract(QIcon(SiteIcon::fetch(site)), QStringLiteral("网址"));
    }
}

void Form_IconSelector::onExtract(QIcon icon, QString name)
{
    m_extracted->clear();
    QList<QSize> sizes = icon.availableSizes();
    // A scalable picture (SVG) has every size: it yields the common ones.
    if (sizes.isEmpty() && !icon.isNull())
        for (int side : {16, 24, 32, 48, 64, 128, 256})
            sizes << QSize(side, side);
    for (const QSize &size : sizes) {
        const QString text = QStringLiteral("%1_%2*%2").arg(name).arg(size.height());
        auto *entry = new QStandardItem(QIcon(icon.pixmap(size)), text);
        entry->setToolTip(text);
        entry->setSizeHint(m_entrySize);
        m_extracted->appendRow(entry);
    }
}

void Form_IconSelector::onCacheIt()
{
    const QModelIndex current = ui->listView_extract->currentIndex();
    if (!current.isValid()) {
        notify(QStringLiteral("缓存失败 Error：空数据"), red, 4000);
        return;
    }
    const QByteArray png = IconStore::toPng(current.data(Qt::DecorationRole).value<QIcon>());
    if (png.isEmpty()) {
        notify(QStringLiteral("缓存失败 Error：buffer not open"), red, 4000);
        return;
    }
    const IconStore::Added outcome =
        IconStore::add(png, current.data().toString(), QStringLiteral("提取"));
    notifyAdded(outcome);
    if (outcome != IconStore::Added::Duplicate)
        showIconList();
}

void Form_IconSelector::onAddIconFile()
{
    const QList<QUrl> files =
        QFileDialog::getOpenFileUrls(this, QStringLiteral("选择图片"), QUrl(),
                                     QStringLiteral(" 图片文件(*.jpg *png *gif *svg)"));
    if (files.isEmpty())
        return;
    addIconFiles(files);
    showIconList();
}

void Form_IconSelector::addIconFiles(const QList<QUrl> &urls)
{
    for (const QUrl &url : urls) {
        const QString path = url.toLocalFile();
        QString error;
        const QByteArray bytes = IconStore::readPicture(path, &error);
        if (bytes.isEmpty()) {
            notify(QFileInfo(path).fileName() + QStringLiteral("添加失败 error:") + error, red,
                   2000);
            continue;
        }
        notifyAdded(IconStore::add(bytes, QFileInfo(path).baseName(), QStringLiteral("拖拽添加")));
    }
}

void Form_IconSelector::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasFormat(QStringLiteral("text/uri-list")))
        event->acceptProposedAction();
    else
        event->ignore();
}

void Form_IconSelector::dropEvent(QDropEvent *event)
{
    if (!event->mimeData()->hasFormat(QStringLiteral("text/uri-list")))
        return;
    addIconFiles(event->mimeData()->urls());
    showIconList();
    event->acceptProposedAction();
}
