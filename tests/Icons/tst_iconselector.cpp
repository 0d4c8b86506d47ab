#include "Core/DataControl.h"
#include "App/Program.h"
#include "Window/FormMain.h"
#include "Icons/Form_IconSelector.h"
#include "Catalogue/GroupsListView.h"
#include "Icons/IconLoader.h"
#include "Catalogue/ItemsListView.h"
#include "Core/SettingsControl.h"
#include "Icons/SiteIcon.h"
#include "Catalogue/TypesListView.h"
#include "Icons/WebPage.h"
#include "CatalogueSupport.h"
#include "LocalHttpServer.h"
#include "TestSupport.h"

#include <QAction>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QScopeGuard>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>

#include <memory>

namespace {
QListView *iconList(QWidget *selector)
{
    return selector->findChild<QListView *>("listView_iconsDb");
}

void dropFiles(QWidget *target, const QList<QUrl> &urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

// Picks the entry of that row in the selector that opened, then presses "确定选择".
ModalAnswers::Handler choose(int row)
{
    return [row](QWidget *modal) {
        QListView *list = iconList(modal);
        if (row >= 0)
            list->setCurrentIndex(list->model()->index(row, 0));
        modal->findChild<QPushButton *>("pushButton_accept")->click();
    };
}
} // namespace

// The icon cache as the selector manages it, the set-icon commands of the main window, and
// site icons fetched from a local web server.
class TestIconSelector : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void shouldAddImageOnceAndRefuseDuplicate();
    void shouldReportUnreadableFiles();
    void shouldStoreOnlyReadablePictures_data();
    void shouldStoreOnlyReadablePictures();
    void shouldRefuseFilesWithoutEnd();
    void shouldFetchSiteIconWithinOneDeadline();
    void shouldSayWhenDefaultIconIsNotStored();
    void shouldShowLoadNoticeOverTheDialog();
    void shouldOfferMenusBySelection();
    void shouldRenameDeleteAndSetDefaults();
    void shouldExtractEverySizeAndCacheIt();

    void shouldExtractFromFileFolderAndSite();
    void shouldSetIconsOfTypesGroupsAndItems();
    void shouldClearItemIconsWithNoIconEntry();
    void shouldFallBackOnceIconInUseIsDeleted();
    void shouldChooseIconInPropertiesDialog();

    void shouldFetchIconTheSiteNames_data();
    void shouldFetchIconTheSiteNames();
    void shouldSkipSiteIconTooLargeToHold();
    void shouldAskFaviconServiceWhenConfigured();
    void shouldReadTitleAndDescription_data();
    void shouldReadTitleAndDescription();

private:
    QString writeImage(const QString &name, Qt::GlobalColor color);
    int cacheRows(const QString &where = QString()) const;

    std::unique_ptr<CatalogueWorkDir> m_dir;
    LocalHttpServer m_server;
};

void TestIconSelector::initTestCase()
{
    m_dir = std::make_unique<CatalogueWorkDir>();
    QVERIFY(m_dir->isOpen());
}

void TestIconSelector::init()
{
    Catalogue::reset("(1, 'T1', 0)", "(10, 'G10', 1, 0)");
    QSqlQuery(Catalogue::iconCache()).exec("DELETE FROM Caches");
    QDir(m_dir->path("cache/caches")).removeRecursively();
    QDir().mkpath(m_dir->path("cache/caches"));
}

void TestIconSelector::cleanup()
{
    Notices::clear();
    SettingsControl &settings = SettingsControl::instance();
    settings.setFaviconHost(QString());
    for (const int type : {2, -1})
        settings.setDefaultIcon(type, QString());
}

QString TestIconSelector::writeImage(const QString &name, Qt::GlobalColor color)
{
    const QString path = m_dir->path("images/" + name);
    QDir().mkpath(m_dir->path("images"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(pngBytes(color));
    return path;
}

int TestIconSelector::cacheRows(const QString &where) const
{
    QSqlQuery query(Catalogue::iconCache());
    query.exec("SELECT COUNT(*) FROM Caches " + where);
    return query.next() ? query.value(0).toInt() : -1;
}

void TestIconSelector::shouldAddImageOnceAndRefuseDuplicate()
{
    const QString image = writeImage("red.png", Qt::red);
    Form_IconSelector selector;
    selector.show();
    QCOMPARE(rowTexts(iconList(&selector)->model()), QStringList{"取消图标"});

    selector.findChild<QTabWidget *>("tabWidget")->setCurrentIndex(1);
    dropFiles(&selector, {QUrl::fromLocalFile(image)});
    QVERIFY(Notices::shown().contains("添加成功"));
    QCOMPARE(selector.findChild<QTabWidget *>("tabWidget")->currentIndex(), 0);
    QCOMPARE(rowTexts(iconList(&selector)->model()), (QStringList{"取消图标", "red"}));
    Notices::clear();

    QFile::copy(image, m_dir->path("images/copy.png"));
    dropFiles(&selector, {QUrl::fromLocalFile(m_dir->path("images/copy.png"))});
    QVERIFY(Notices::shown().contains("重复添加"));
    QCOMPARE(cacheRows("WHERE Class = '拖拽添加'"), 1);
    QCOMPARE(QDir(m_dir->path("cache/caches")).entryList(QDir::Files),
             QStringList{DataControl::hashName(pngBytes(Qt::red)) + ".o"});
    QCOMPARE(iconList(&selector)->model()->index(1, 0).data(Qt::UserRole + 2).toString(),
             DataControl::cacheFileName(DataControl::hashName(pngBytes(Qt::red))));

    // Only address lists are taken.
    QMimeData text;
    text.setText("red.png");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&selector, &enter);
    QVERIFY(!enter.isAccepted());
}

void TestIconSelector::shouldReportUnreadableFiles()
{
    Form_IconSelector selector;
    selector.show();
    dropFiles(&selector, {QUrl::fromLocalFile(m_dir->path("images/none.png")),
                          QUrl::fromLocalFile(writeImage("blue.png", Qt::blue))});
    const QStringList shown = Notices::shown();
    QVERIFY2(
        std::any_of(shown.begin(), shown.end(),
                    [](const QString &text) { return text.startsWith("none.png添加失败 error:"); }),
        qPrintable(shown.join(',')));
    QVERIFY(shown.contains("添加成功"));
    QCOMPARE(cacheRows(), 1);
}

void TestIconSelector::shouldStoreOnlyReadablePictures_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("error");
    QImage large(2100, 2100, QImage::Format_RGB32);
    large.fill(Qt::white);
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    large.save(&buffer, "bmp");
    QTest::newRow("text named .png") << QByteArray("just some notes\n") << "不是可以读取的图片";
    QTest::newRow("truncated picture") << pngBytes(Qt::red).left(40) << "不是可以读取的图片";
    // 2100 × 2100 × 4 bytes: a real picture, but over 8 MiB on disk.
    QTest::newRow("picture over 8 MiB") << bmp << "文件超过8MiB";
}

void TestIconSelector::shouldStoreOnlyReadablePictures()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    QDir().mkpath(m_dir->path("images"));
    QFile file(m_dir->path("images/bad.png"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    Form_IconSelector selector;
    selector.show();
    Notices::clear();
    dropFiles(&selector, {QUrl::fromLocalFile(file.fileName())});
    const QStringList shown = Notices::shown();
    QVERIFY2(shown.contains("bad.png添加失败 error:" + error), qPrintable(shown.join('|')));
    QVERIFY(!shown.contains("添加成功"));
    QCOMPARE(cacheRows(), 0);
    QCOMPARE(QDir(m_dir->path("cache/caches")).entryList(QDir::Files), QStringList());
}

void TestIconSelector::shouldRefuseFilesWithoutEnd()
{
    // A picture's name on something that never ends: it would be read until memory runs out.
    QDir().mkpath(m_dir->path("images"));
    QFile::remove(m_dir->path("images/cute.png"));
    QVERIFY(QFile::link("/dev/zero", m_dir->path("images/cute.png")));
    Form_IconSelector selector;
    selector.show();
    dropFiles(&selector, {QUrl::fromLocalFile(m_dir->path("images/cute.png"))});
    QVERIFY(Notices::shown().contains("cute.png添加失败 error:不是普通文件"));
    QCOMPARE(cacheRows(), 0);
}

void TestIconSelector::shouldFetchSiteIconWithinOneDeadline()
{
    // The page and its icon both answer too late: one 6 s deadline covers them together.
    LocalHttpServer server;
    server.setAnswer("/page", {"200 OK", "<title>late</title>", {}, true, 10000});
    server.setAnswer("/favicon.ico", {"200 OK", pngBytes(Qt::red), {}, true, 10000});
    QElapsedTimer timer;
    timer.start();
    QVERIFY(SiteIcon::fetch(server.url("/page")).isNull());
    QVERIFY2(timer.elapsed() < 8000, qPrintable(QString::number(timer.elapsed())));
}

void TestIconSelector::shouldSayWhenDefaultIconIsNotStored()
{
    Form_IconSelector selector;
    dropFiles(&selector, {QUrl::fromLocalFile(writeImage("a.png", Qt::red))});
    QListView *list = iconList(&selector);
    list->setCurrentIndex(list->model()->index(1, 0));
    auto *web = selector.findChild<QAction *>("actionDefaultWebIcon");
    // The settings file cannot be replaced while a folder stands in its place.
    const QString ini = m_dir->path("data/config.ini");
    QVERIFY(QFile::rename(ini, ini + ".saved"));
    QVERIFY(QDir().mkpath(ini));
    const auto restore = qScopeGuard([&ini] {
        QDir(ini).removeRecursively();
        QFile::rename(ini + ".saved", ini);
    });
    Notices::clear();
    selector.setDefaultIcons(web);
    QCOMPARE(Notices::shown(), QStringList{"设置失败！"});
}

void TestIconSelector::shouldShowLoadNoticeOverTheDialog()
{
    Form_IconSelector selector;
    selector.move(500, 300);
    Notices::clear();
    selector.show();
    QWidget *notice = nullptr;
    QTRY_VERIFY((notice = [] {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (widget->inherits("MsgBox") && widget->isVisible())
                return widget;
        return static_cast<QWidget *>(nullptr);
    }()));
    QCOMPARE(notice->findChild<QLabel *>("labelNotice")->text(), QStringLiteral("已加载0项数据"));
    QVERIFY(qAbs(notice->geometry().center().x() - selector.geometry().center().x()) <= 2);
}

void TestIconSelector::shouldOfferMenusBySelection()
{
    Form_IconSelector selector;
    dropFiles(&selector, {QUrl::fromLocalFile(writeImage("a.png", Qt::red)),
                          QUrl::fromLocalFile(writeImage("b.png", Qt::green))});
    selector.show();
    QListView *list = iconList(&selector);
    const auto menuFor = [&selector, list](const QList<int> &rows) {
        list->clearSelection();
        for (int row : rows)
            list->selectionModel()->select(list->model()->index(row, 0),
                                           QItemSelectionModel::Select);
        return menuAt([&selector] { selector.onShowMenu(QPoint(5, 5)); });
    };
    QCOMPARE(menuFor({1}), (QStringList{"重命名", "▸设为默认图标", "刷新", "删除"}));
    QCOMPARE(menuFor({1, 2}), (QStringList{"刷新", "删除"}));
    QCOMPARE(menuFor({}), QStringList{"刷新"});
}

void TestIconSelector::shouldRenameDeleteAndSetDefaults()
{
    Form_IconSelector selector;
    dropFiles(&selector, {QUrl::fromLocalFile(writeImage("a.png", Qt::red)),
                          QUrl::fromLocalFile(writeImage("b.png", Qt::green))});
    QListView *list = iconList(&selector);
    list->setCurrentIndex(list->model()->index(1, 0));
    {
        ModalAnswers answers;
        answers.type(QString()).type(QStringLiteral("红色"));
        selector.onRename();
        QCOMPARE(rowTexts(list->model()), (QStringList{"取消图标", "a", "b"}));
        selector.onRename();
        QCOMPARE(rowTexts(list->model()), (QStringList{"取消图标", "红色", "b"}));
    }

    list->setCurrentIndex(list->model()->index(2, 0));
    auto *web = selector.findChild<QAction *>("actionDefaultWebIcon");
    selector.setDefaultIcons(web);
    QCOMPARE(SettingsControl::instance().defaultIcon(2),
             DataControl::hashName(pngBytes(Qt::green)));
    QVERIFY(Notices::shown().contains("已设置"));
    QCOMPARE(picture(IconLoader::instance().itemIcon(2, "https://example.org")),
             picture(QIcon(writeImage("green.png", Qt::green))));
    list->setCurrentIndex(list->model()->index(0, 0));
    selector.setDefaultIcons(web);
    QCOMPARE(SettingsControl::instance().defaultIcon(2), QString());

    list->clearSelection();
    list->selectionModel()->select(list->model()->index(1, 0), QItemSelectionModel::Select);
    list->selectionModel()->select(list->model()->index(2, 0), QItemSelectionModel::Select);
    ModalAnswers answers;
    answers.press(QMessageBox::No).press(QMessageBox::Yes);
    selector.onDelete();
    QCOMPARE(cacheRows(), 2);
    selector.onDelete();
    QCOMPARE(answers.questions().value(0), QStringLiteral("确定要删除'红色'等共2项数据吗?"));
    QCOMPARE(cacheRows(), 0);
    QCOMPARE(QDir(m_dir->path("cache/caches")).entryList(QDir::Files), QStringList());
    QCOMPARE(rowTexts(list->model()), QStringList{"取消图标"});
    QVERIFY(Notices::shown().contains("删除完成"));
}

void TestIconSelector::shouldExtractEverySizeAndCacheIt()
{
    Form_IconSelector selector;
    selector.show();
    selector.onCacheIt();
    QVERIFY(Notices::shown().contains("缓存失败 Error：空数据"));

    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(QPixmap::fromImage(QImage::fromData(pngBytes(Qt::red, size))));
    selector.onExtract(icon, QStringLiteral("tool"));
    auto *extracted = selector.findChild<QListView *>("listView_extract");
    QCOMPARE(rowTexts(extracted->model()), (QStringList{"tool_16*16", "tool_32*32", "tool_48*48"}));
    QCOMPARE(extracted->model()->index(2, 0).data(Qt::ToolTipRole).toString(),
             QStringLiteral("tool_48*48"));

    extracted->setCurrentIndex(extracted->model()->index(1, 0));
    selector.onCacheIt();
    QVERIFY(Notices::shown().contains("添加成功"));
    QCOMPARE(cacheRows("WHERE Class = '提取' AND Name = 'tool_32*32'"), 1);
    QCOMPARE(rowTexts(iconList(&selector)->model()), (QStringList{"取消图标", "tool_32*32"}));
    // The stored picture is the entry's size.
    const QString file =
        iconList(&selector)->model()->index(1, 0).data(Qt::UserRole + 2).toString();
    QCOMPARE(QImage(file).size(), QSize(32, 32));

    Notices::clear();
    selector.findChild<QTabWidget *>("tabWidget")->setCurrentIndex(1);
    selector.onCacheIt();
    QCOMPARE(Notices::shown(), QStringList{"重复添加"});
    QCOMPARE(selector.findChild<QTabWidget *>("tabWidget")->currentIndex(), 1);

    // A null icon, as a failed site fetch gives, has no entries.
    selector.onExtract(QIcon(), QStringLiteral("网址"));
    QCOMPARE(extracted->model()->rowCount(), 0);
}

void TestIconSelector::shouldExtractFromFileFolderAndSite()
{
    const auto pick = [](int row) {
        return [row](QWidget *dialog) {
            auto *view = dialog->findChild<QListView *>("listViewChoices");
            view->setCurrentIndex(view->model()->index(row, 0));
            dialog->findChild<QPushButton *>("buttonAccept")->click();
        };
    };
    LocalHttpServer server;
    server.setAnswer("/favicon.ico", {"200 OK", pngBytes(Qt::green, 24), {}});
    QDir().mkpath(m_dir->path("things/Some Folder"));
    Form_IconSelector selector;
    selector.show();
    auto *extracted = selector.findChild<QListView *>("listView_extract");

    ModalAnswers answers;
    // Typed as in a browser's address bar, without a scheme.
    answers.then(pick(2)).type(server.url("/").toString().mid(QStringLiteral("http://").size()));
    selector.onExtract();
    QCOMPARE(rowTexts(extracted->model()), QStringList{"网址_24*24"});
    QVERIFY(Notices::shown().contains("请稍后, 正在分析"));

    answers.then(pick(0)).chooseFile(writeImage("pic.final.png", Qt::red));
    selector.onExtract();
    QVERIFY(!rowTexts(extracted->model()).isEmpty());
    QVERIFY(rowTexts(extracted->model()).first().startsWith("pic_"));

    answers.then(pick(1)).chooseFile(m_dir->path("things/Some Folder"));
    selector.onExtract();
    QVERIFY(!rowTexts(extracted->model()).isEmpty());
    QVERIFY(rowTexts(extracted->model()).first().startsWith("Some Folder_"));
    QCOMPARE(answers.pending(), 0);
}

void TestIconSelector::shouldSetIconsOfTypesGroupsAndItems()
{
    Form_IconSelector adding;
    dropFiles(&adding, {QUrl::fromLocalFile(writeImage("a.png", Qt::red))});
    const QString hash = DataControl::hashName(pngBytes(Qt::red));
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) VALUES "
                    "(1, 'a', 3, 'x', 10, 1), (2, 'b', 3, 'y', 10, 1), (3, 'c', 3, 'z', 10, 1)");
    Program program;
    FormMain &window = program.window();
    window.show();
    auto *items = window.findChild<ItemsListView *>("listView_items");
    items->selectionModel()->select(items->model()->index(0, 0), QItemSelectionModel::Select);
    items->selectionModel()->select(items->model()->index(2, 0), QItemSelectionModel::Select);

    ModalAnswers answers;
    answers.then(choose(1)).then(choose(1)).then(choose(1)).then(
        [](QWidget *modal) { modal->findChild<QPushButton *>("pushButton_reject")->click(); });
    window.findChild<TypesListView *>("listView_types")->actionSetIcon()->trigger();
    window.findChild<GroupsListView *>("listView_groups")->actionSetIcon()->trigger();
    items->actionSetIcon()->trigger();
    QCOMPARE(Catalogue::value("SELECT IconPath FROM Types"), hash);
    QCOMPARE(Catalogue::value("SELECT IconPath FROM Groups"), hash);
    QCOMPARE(Catalogue::column("SELECT IFNULL(IconPath, '') FROM Items ORDER BY ID"),
             (QStringList{hash, "", hash}));
    const QImage red =
        picture(QIcon(IconLoader::instance().loadPixmap(DataControl::cacheFileName(hash))));
    QCOMPARE(picture(items->model()->index(2, 0).data(Qt::DecorationRole)), red);
    QCOMPARE(picture(window.findChild<QListView *>("listView_types")
                         ->model()
                         ->index(0, 0)
                         .data(Qt::DecorationRole)),
             red);

    // Cancelled: nothing changes.
    items->clearSelection();
    items->selectionModel()->select(items->model()->index(1, 0), QItemSelectionModel::Select);
    items->actionSetIcon()->trigger();
    QCOMPARE(Catalogue::value("SELECT IFNULL(IconPath, '') FROM Items WHERE ID = 2"), QString());
}

void TestIconSelector::shouldClearItemIconsWithNoIconEntry()
{
    Form_IconSelector adding;
    dropFiles(&adding, {QUrl::fromLocalFile(writeImage("a.png", Qt::red))});
    const QString hash = DataControl::hashName(pngBytes(Qt::red));
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, IconPath, GroupsID, TypesID) VALUES "
                    "(1, 'web', 2, 'https://example.org', '" +
                    hash +
                    "', 10, 1), "
                    "(2, 'shell', 3, 'ls', '" +
                    hash + "', 10, 1)");
    Program program;
    FormMain &window = program.window();
    window.show();
    auto *items = window.findChild<ItemsListView *>("listView_items");
    items->selectAll();
    ModalAnswers answers;
    // Accepted before any entry was clicked, and on row 0: both mean no icon.
    answers.then(choose(-1)).then(choose(0));
    items->actionSetIcon()->trigger();
    QCOMPARE(Catalogue::column("SELECT IconPath FROM Items"), (QStringList{"", ""}));
    QCOMPARE(picture(items->model()->index(0, 0).data(Qt::DecorationRole)),
             picture(QIcon(":/icon/web.svg")));
    QCOMPARE(picture(items->model()->index(1, 0).data(Qt::DecorationRole)),
             picture(QIcon(":/icon/shell.svg")));

    Catalogue::exec("UPDATE Types SET IconPath = '" + hash + "'");
    window.findChild<TypesListView *>("listView_types")->actionSetIcon()->trigger();
    QCOMPARE(Catalogue::value("SELECT IconPath FROM Types"), QString());
}

void TestIconSelector::shouldFallBackOnceIconInUseIsDeleted()
{
    Form_IconSelector selector;
    dropFiles(&selector, {QUrl::fromLocalFile(writeImage("a.png", Qt::red))});
    const QString hash = DataControl::hashName(pngBytes(Qt::red));
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, IconPath, GroupsID, TypesID) VALUES "
                    "(1, 'lost', 0, '/no/such/file', '" +
                    hash + "', 10, 1)");
    Program program;
    FormMain &window = program.window();
    window.show();
    auto *items = window.findChild<ItemsListView *>("listView_items");
    const QImage red =
        picture(QIcon(IconLoader::instance().loadPixmap(DataControl::cacheFileName(hash))));
    QCOMPARE(picture(items->model()->index(0, 0).data(Qt::DecorationRole)), red);

    iconList(&selector)->setCurrentIndex(iconList(&selector)->model()->index(1, 0));
    ModalAnswers answers;
    answers.press(QMessageBox::Yes);
    selector.onDelete();
    items->actionRefresh()->trigger();
    QCOMPARE(picture(items->model()->index(0, 0).data(Qt::DecorationRole)),
             picture(QIcon(":/icon/lost.svg")));
    QCOMPARE(Catalogue::value("SELECT IconPath FROM Items"), hash);
}

void TestIconSelector::shouldChooseIconInPropertiesDialog()
{
    Form_IconSelector adding;
    dropFiles(&adding, {QUrl::fromLocalFile(writeImage("a.png", Qt::red))});
    const QString hash = DataControl::hashName(pngBytes(Qt::red));
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) VALUES "
                    "(1, 'ed', 3, 'ed', 10, 1)");
    Program program;
    FormMain &window = program.window();
    window.show();
    auto *items = window.findChild<ItemsListView *>("listView_items");
    items->setCurrentIndex(items->model()->index(0, 0));

    const auto setIconThenSave = [](int row, ModalAnswers &answers) {
        answers
            .then([](QWidget *dialog) {
                QMetaObject::invokeMethod(dialog, "onSetIcon", Qt::QueuedConnection);
            })
            .then(choose(row))
            .then([](QWidget *dialog) {
                QVERIFY(dialog->inherits("Form_Attribute"));
                dialog->findChild<QPushButton *>("pushButton_yes")->click();
            });
    };
    ModalAnswers answers;
    setIconThenSave(1, answers);
    items->actionAttribute()->trigger();
    QCOMPARE(Catalogue::value("SELECT IconPath FROM Items"), hash);

    // "取消图标" clears the item's icon, as the main window's own command does.
    ModalAnswers clearing;
    setIconThenSave(0, clearing);
    items->setCurrentIndex(items->model()->index(0, 0));
    items->actionAttribute()->trigger();
    QCOMPARE(Catalogue::value("SELECT IconPath FROM Items"), QString());
}

void TestIconSelector::shouldFetchIconTheSiteNames_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("iconPath");
    QTest::newRow("icon") << QByteArray("<link rel=\"icon\" type=\"image/png\" href=\"/a.png\">")
                          << QByteArray("/a.png");
    QTest::newRow("shortcut icon, single quotes, relative")
        << QByteArray("<LINK REL='shortcut icon' HREF='img/b.png'/>")
        << QByteArray("/site/img/b.png");
    QTest::newRow("touch icon after a plain icon is preferred less")
        << QByteArray("<link rel=\"apple-touch-icon\" href=\"/t.png\"><link rel=\"icon\" "
                      "href=\"/i.png\">")
        << QByteArray("/i.png");
    QTest::newRow("touch icon alone")
        << QByteArray("<link rel=\"apple-touch-icon\" href=\"/t.png\">") << QByteArray("/t.png");
    QTest::newRow("none named") << QByteArray("<html><head></head></html>")
                                << QByteArray("/favicon.ico");
    QTest::newRow("named icon missing")
        << QByteArray("<link rel=\"icon\" href=\"/gone.png\">") << QByteArray("/favicon.ico");
}

void TestIconSelector::shouldFetchIconTheSiteNames()
{
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, iconPath);
    LocalHttpServer server;
    server.setAnswer("/site/index.html", {"200 OK", page, {}});
    server.setAnswer(iconPath, {"200 OK", pngBytes(Qt::green, 24), {}});
    const QPixmap icon = SiteIcon::fetch(server.url("/site/index.html"));
    QCOMPARE(icon.size(), QSize(24, 24));
    QCOMPARE(server.requests().count("/site/index.html"), 1);
}

// A few kilobytes can claim millions of pixels; decoded, they would take the memory of the
// whole desktop. The site's own favicon serves instead.
void TestIconSelector::shouldSkipSiteIconTooLargeToHold()
{
    QImage huge(5000, 5000, QImage::Format_Mono);
    huge.fill(0);
    QByteArray claimed;
    QBuffer buffer(&claimed);
    QVERIFY(buffer.open(QIODevice::WriteOnly) && huge.save(&buffer, "PNG"));
    LocalHttpServer server;
    server.setAnswer("/site/index.html", {"200 OK", "<link rel=\"icon\" href=\"/huge.png\">", {}});
    server.setAnswer("/huge.png", {"200 OK", claimed, {}});
    server.setAnswer("/favicon.ico", {"200 OK", pngBytes(Qt::green, 24), {}});
    QCOMPARE(SiteIcon::fetch(server.url("/site/index.html")).size(), QSize(24, 24));
    QVERIFY(server.requests().contains("/huge.png"));
}

void TestIconSelector::shouldAskFaviconServiceWhenConfigured()
{
    m_server.setAnswer("/base/favicon/get.php", {"200 OK", pngBytes(Qt::blue, 20), {}});
    SettingsControl::instance().setFaviconHost(m_server.url("/base").toString());
    const QUrl site("https://example.org/a?b=1");
    const QPixmap icon = SiteIcon::fetch(site);
    QCOMPARE(icon.size(), QSize(20, 20));
    const QByteArray request = m_server.requests().last();
    QVERIFY2(request.startsWith("/base/favicon/get.php?url="), request.constData());
    QCOMPARE(QUrlQuery(QUrl::fromEncoded("http://h" + request))
                 .queryItemValue("url", QUrl::FullyDecoded),
             site.toString());
    // The site itself is never asked.
    QVERIFY(!m_server.requests().contains("/"));

    m_server.setAnswer("/base/favicon/get.php", {"200 OK", "<html>no icon</html>", {}});
    QVERIFY(SiteIcon::fetch(site).isNull());
}

void TestIconSelector::shouldReadTitleAndDescription_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("description");
    QTest::newRow("entities") << QByteArray("<title lang=\"en\">Tom &amp; Jerry&#39;s</title><meta "
                                            "name=\"description\" content=\" a &quot;b&quot; \" />")
                              << "Tom & Jerry's"
                              << "a \"b\"";
    QTest::newRow("utf-8") << QByteArray("<title>中文 标题</title>") << "中文 标题"
                           << "";
    QTest::newRow("title across lines") << QByteArray("<title>one\ntwo</title>") << "Web书签"
                                        << "";
    QTest::newRow("empty body") << QByteArray() << "Web书签"
                                << "";
    QTest::newRow("description without slash")
        << QByteArray("<title>t</title><meta name=\"description\" content=\"d\">") << "t"
        << "";
}

void TestIconSelector::shouldReadTitleAndDescription()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, title);
    QFETCH(QString, description);
    const WebPage page(QUrl("http://example.org/"), body);
    QCOMPARE(page.title(), title);
    QCOMPARE(page.description(), description);
}

QUIVER_TEST_MAIN(TestIconSelector)
#include "tst_iconselector.moc"
