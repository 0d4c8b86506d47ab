#include "Core/DataControl.h"
#include "App/Program.h"
#include "Window/FormMain.h"
#include "Catalogue/Form_Attribute.h"
#include "Catalogue/GroupsListView.h"
#include "Catalogue/ItemRoles.h"
#include "Catalogue/ItemsListView.h"
#include "KelPathEdit.h"
#include "Core/SettingsControl.h"
#include "CatalogueSupport.h"
#include "LocalHttpServer.h"
#include "TestSupport.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>

#include <memory>

namespace {
void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
}

// One row per item of a group, its fields joined by "|".
QStringList itemsOf(int groupId, const QString &columns = "Name, Type, Path")
{
    QStringList fields = columns.split(", ");
    for (QString &field : fields)
        field = QStringLiteral("IFNULL(%1, '')").arg(field);
    return Catalogue::column(QStringLiteral("SELECT %1 FROM Items WHERE GroupsID = %2 ORDER BY ID")
                                 .arg(fields.join(" || '|' || "))
                                 .arg(groupId));
}

Form_Attribute *openDialog()
{
    return qobject_cast<Form_Attribute *>(QApplication::activeModalWidget());
}
} // namespace

// Items coming in by drops, the properties dialog and pasted share text, and going out by
// sharing, renaming and deleting, against a real catalogue, real files and a local web server.
class TestAdding : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void shouldRefuseAddingWithoutGroup();
    void shouldAddFoldersAndFilesByTheirPaths();
    void shouldNameByFileNameWithoutLastSuffix_data();
    void shouldNameByFileNameWithoutLastSuffix();
    void shouldAskShortcutQuestionOncePerDrop();
    void shouldEndDropAtMissingTargetAnsweredNo();
    void shouldAddLinkToFolderAsFolder_data();
    void shouldAddLinkToFolderAsFolder();
    void shouldFinishDropBeforeAsking();
    void shouldAddSecondDropAfterFirst();
    void shouldBookmarkPageFromOneDownload();
    void shouldBookmarkUnreachablePage();
    void shouldStoreRelativeLocalPathsOnly();

    void shouldShareSelectionAsCompactStrings();
    void shouldPasteSharedItemsFresh();
    void shouldPasteForeignText_data();
    void shouldPasteForeignText();
    void shouldRefuseTextThatIsNoShare_data();
    void shouldRefuseTextThatIsNoShare();
    void shouldRefusePasteWithoutGroup();
    void shouldAskOnceBeforePastedItemsRunCommands();

    void shouldAskBeforeDeleting();
    void shouldRenameOnlyWithAnAnswer();

    void shouldStoreNothingOnCancelAndRefuseIncompleteItem();
    void shouldFillEmptyFieldsFromChosenFile();
    void shouldSwitchPathModeWithType();
    void shouldKeepCustomIconWhenEditingNote();
    void shouldShowHistoryAndRestoreDefaults();

private:
    void open();
    void selectItems(const QList<int> &rows);
    ItemsListView *items() const { return m_window->findChild<ItemsListView *>("listView_items"); }
    GroupsListView *groups() const
    {
        return m_window->findChild<GroupsListView *>("listView_groups");
    }

    std::unique_ptr<CatalogueWorkDir> m_dir;
    std::unique_ptr<Program> m_program;
    FormMain *m_window = nullptr;
    LocalHttpServer m_server;
};

void TestAdding::initTestCase()
{
    m_dir = std::make_unique<CatalogueWorkDir>();
    QVERIFY(m_dir->isOpen());
}

void TestAdding::init()
{
    Catalogue::reset("(1, 'T1', 0), (2, 'Empty', 1)", "(10, 'G10', 1, 0), (11, 'G11', 1, 1)");
    // Each case opens as a first start does: on the first type stored.
    SettingsControl::instance().setLastTypeId(0);
    SettingsControl::instance().setLastGroupId(0);
}

void TestAdding::cleanup()
{
    m_program.reset();
    Notices::clear();
    SettingsControl::instance().setUseRelativePath(false);
}

void TestAdding::open()
{
    m_program = std::make_unique<Program>();
    m_window = &m_program->window();
    m_window->show();
}

void TestAdding::selectItems(const QList<int> &rows)
{
    items()->clearSelection();
    for (int row : rows)
        items()->selectionModel()->select(items()->model()->index(row, 0),
                                          QItemSelectionModel::Select);
}

void TestAdding::shouldRefuseAddingWithoutGroup()
{
    open();
    m_window->findChild<QListView *>("listView_types")
        ->setCurrentIndex(m_window->findChild<QListView *>("listView_types")->model()->index(1, 0));
    QVERIFY(!groups()->currentIndex().isValid());
    touch(m_dir->path("files/a.txt"));
    emit items()->dropIn({QUrl::fromLocalFile(m_dir->path("files/a.txt"))});
    QCOMPARE(Notices::shown(), QStringList{"你需要先创建一个分组"});
    Notices::clear();
    items()->actionAdd()->trigger();
    QCOMPARE(Notices::shown(), QStringList{"你需要先创建一个分组"});
    QCOMPARE(Catalogue::value("SELECT COUNT(*) FROM Items"), QStringLiteral("0"));
}

void TestAdding::shouldAddFoldersAndFilesByTheirPaths()
{
    open();
    const QString folder = m_dir->path("files/My Folder");
    const QString file = m_dir->path("files/report.final.pdf");
    QDir().mkpath(folder);
    touch(file);
    // File managers drop folders with a trailing slash.
    emit items()->dropIn({QUrl::fromLocalFile(folder + "/"), QUrl::fromLocalFile(file)});
    QCOMPARE(itemsOf(10), (QStringList{"My Folder|1|" + folder, "report.final|0|" + file}));
    QCOMPARE(rowTexts(items()->model()), (QStringList{"My Folder", "report.final"}));
    QCOMPARE(itemsOf(10, "Note, IconPath, Arguments, WorkingDirectory, RunCount"),
             (QStringList{"||||0", "||||0"}));
}

void TestAdding::shouldAskShortcutQuestionOncePerDrop()
{
    open();
    QList<QUrl> links;
    for (const QString name : {"Tool.lnk", "Two.lnk", "Three.lnk"}) {
        touch(m_dir->path("files/target-" + name));
        QDir().mkpath(m_dir->path("links"));
        QVERIFY(QFile::link(m_dir->path("files/target-" + name), m_dir->path("links/" + name)));
        links << QUrl::fromLocalFile(m_dir->path("links/" + name));
    }
    {
        ModalAnswers answers;
        answers.press(QMessageBox::YesToAll).press(QMessageBox::No);
        emit items()->dropIn(links);
        QCOMPARE(answers.questions(), QStringList{"是否要以快捷方式添加"});
    }
    QCOMPARE(itemsOf(10), (QStringList{"Tool|0|" + m_dir->path("links/Tool.lnk"),
                                       "Two|0|" + m_dir->path("links/Two.lnk"),
                                       "Three|0|" + m_dir->path("links/Three.lnk")}));

    // The remembered answer lasts for one drop only.
    ModalAnswers next;
    next.press(QMessageBox::No);
    emit items()->dropIn({links.first()});
    QCOMPARE(next.questions(), QStringList{"是否要以快捷方式添加"});
    QCOMPARE(itemsOf(10).last(), "Tool|0|" + m_dir->path("files/target-Tool.lnk"));
}

void TestAdding::shouldEndDropAtMissingTargetAnsweredNo()
{
    open();
    QDir().mkpath(m_dir->path("links"));
    touch(m_dir->path("files/first.txt"));
    touch(m_dir->path("files/last.txt"));
    QVERIFY(QFile::link(m_dir->path("files/gone"), m_dir->path("links/broken.lnk")));
    ModalAnswers answers;
    answers.press(QMessageBox::No);
    emit items()->dropIn({QUrl::fromLocalFile(m_dir->path("files/first.txt")),
                          QUrl::fromLocalFile(m_dir->path("links/broken.lnk")),
                          QUrl::fromLocalFile(m_dir->path("files/last.txt"))});
    QCOMPARE(answers.questions(), QStringList{"快捷方式`broken.lnk` 源地址不存在\n还要继续添加吗"});
    QCOMPARE(itemsOf(10, "Name"), QStringList{"first"});
    QCOMPARE(rowTexts(items()->model()), QStringList{"first"});
}

void TestAdding::shouldNameByFileNameWithoutLastSuffix_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("name");
    QTest::newRow("versioned program") << "Obsidian-1.4.16.AppImage" << false << "Obsidian-1.4.16";
    QTest::newRow("hidden folder") << ".config" << true << ".config";
    QTest::newRow("hidden file") << ".bashrc" << false << ".bashrc";
    QTest::newRow("no suffix") << "Makefile" << false << "Makefile";
    QTest::newRow("folder with dots") << "org.example.App" << true << "org.example";
}

void TestAdding::shouldNameByFileNameWithoutLastSuffix()
{
    QFETCH(QString, fileName);
    QFETCH(bool, folder);
    QFETCH(QString, name);
    const QString path = m_dir->path("named/" + fileName);
    folder ? void(QDir().mkpath(path)) : touch(path);
    QDir().mkpath(m_dir->path("links"));
    QVERIFY(QFile::link(path, m_dir->path("links/" + fileName)));
    open();
    emit items()->dropIn({QUrl::fromLocalFile(path)});
    // A link is named by its own file name, whether it is kept or its target taken.
    for (const auto answer : {QMessageBox::Yes, QMessageBox::No}) {
        ModalAnswers answers;
        answers.press(answer);
        emit items()->dropIn({QUrl::fromLocalFile(m_dir->path("links/" + fileName))});
    }
    QCOMPARE(itemsOf(10, "Name"), (QStringList{name, name, name}));
}

void TestAdding::shouldAddLinkToFolderAsFolder_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("path");
    QTest::newRow("link kept") << int(QMessageBox::Yes) << "links/Projects";
    QTest::newRow("target taken") << int(QMessageBox::No) << "files/Projects";
}

void TestAdding::shouldAddLinkToFolderAsFolder()
{
    QFETCH(int, answer);
    QFETCH(QString, path);
    QDir().mkpath(m_dir->path("files/Projects"));
    QDir().mkpath(m_dir->path("links"));
    QFile::link(m_dir->path("files/Projects"), m_dir->path("links/Projects"));
    open();
    ModalAnswers answers;
    answers.press(QMessageBox::StandardButton(answer));
    emit items()->dropIn({QUrl::fromLocalFile(m_dir->path("links/Projects"))});
    QCOMPARE(itemsOf(10), QStringList{"Projects|1|" + m_dir->path(path)});
}

void TestAdding::shouldFinishDropBeforeAsking()
{
    // The drag source waits for the drop event to return: a question asked inside it would
    // freeze the file manager the link came from.
    touch(m_dir->path("files/target"));
    QDir().mkpath(m_dir->path("links"));
    QVERIFY(QFile::link(m_dir->path("files/target"), m_dir->path("links/tool")));
    open();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(m_dir->path("links/tool"))});
    QWidget *viewport = items()->viewport();
    QDragEnterEvent enter(viewport->rect().center(), Qt::CopyAction, &mime, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDropEvent drop(viewport->rect().center(), Qt::CopyAction, &mime, Qt::LeftButton,
                    Qt::NoModifier);
    ModalAnswers answers;
    answers.press(QMessageBox::Yes);
    QApplication::sendEvent(viewport, &drop);
    QVERIFY(drop.isAccepted());
    QVERIFY(answers.questions().isEmpty());
    QCOMPARE(itemsOf(10), QStringList());
    QTRY_COMPARE(itemsOf(10), QStringList{"tool|0|" + m_dir->path("links/tool")});
    QCOMPARE(answers.questions(), QStringList{"是否要以快捷方式添加"});
}

void TestAdding::shouldAddSecondDropAfterFirst()
{
    // A page download keeps the event loop running: a drop made meanwhile must wait its turn
    // instead of landing inside the first drop's transaction.
    m_server.setAnswer("/slow", {"200 OK", "<title>slow</title>", {}, true, 600});
    touch(m_dir->path("files/second.txt"));
    open();
    QTimer::singleShot(150, this, [this] {
        emit items()->dropIn({QUrl::fromLocalFile(m_dir->path("files/second.txt"))});
    });
    emit items()->dropIn({m_server.url("/slow")});
    QCOMPARE(itemsOf(10, "Name"), (QStringList{"slow", "second"}));
    QCOMPARE(rowTexts(items()->model()), (QStringList{"slow", "second"}));
}

void TestAdding::shouldBookmarkPageFromOneDownload()
{
    const QByteArray icon = pngBytes(Qt::red);
    m_server.setAnswer("/page", {"200 OK",
                                 "<html><head><title> A &amp; B </title>"
                                 "<meta name=\"description\" content=\"Tools &lt;fast&gt;\" />"
                                 "<link rel=\"shortcut icon\" href=\"/static/i.png\">"
                                 "</head><body></body></html>",
                                 {}});
    m_server.setAnswer("/static/i.png", {"200 OK", icon, {}});
    open();
    const QUrl page = m_server.url("/page");
    emit items()->dropIn({page});

    QCOMPARE(itemsOf(10, "Name, Type, Path, Note"),
             QStringList{"A & B|2|" + page.toString() + "|Tools <fast>"});
    QCOMPARE(m_server.requests().count("/page"), 1);
    const QString hash = Catalogue::value("SELECT IconPath FROM Items");
    QCOMPARE(hash.size(), 40);
    QVERIFY(QFile::exists(m_dir->path("cache/caches/" + hash + ".o")));
    QSqlQuery cached(Catalogue::iconCache());
    QVERIFY(cached.exec("SELECT Name, Class FROM Caches WHERE HashName = '" + hash + "'"));
    QVERIFY(cached.next());
    QCOMPARE(cached.value(0).toString(), QStringLiteral("127.0.0.1"));
    QCOMPARE(cached.value(1).toString(), QStringLiteral("拖拽添加"));

    // A second bookmark of the same site shares the cached icon.
    emit items()->dropIn({page});
    QCOMPARE(Catalogue::column("SELECT DISTINCT IconPath FROM Items"), QStringList{hash});
    QVERIFY(cached.exec("SELECT COUNT(*) FROM Caches"));
    QVERIFY(cached.next());
    QCOMPARE(cached.value(0).toInt(), 1);
}

void TestAdding::shouldBookmarkUnreachablePage()
{
    open();
    emit items()->dropIn({QUrl("http://127.0.0.1:1/nothing")});
    QCOMPARE(itemsOf(10, "Name, Type, Path, Note, IconPath"),
             QStringList{"Web书签|2|http://127.0.0.1:1/nothing||"});
}

void TestAdding::shouldStoreRelativeLocalPathsOnly()
{
    SettingsControl::instance().setUseRelativePath(true);
    open();
    touch(m_dir->path("files/a.txt"));
    emit items()->dropIn(
        {QUrl::fromLocalFile(m_dir->path("files/a.txt")), QUrl("http://127.0.0.1:1/site")});
    QCOMPARE(itemsOf(10, "Path"), (QStringList{"../files/a.txt", "http://127.0.0.1:1/site"}));
}

void TestAdding::shouldShareSelectionAsCompactStrings()
{
    Catalogue::exec(
        "INSERT INTO Items(ID, Name, Type, Path, Arguments, WorkingDirectory, Note, IconPath, "
        "RunCount, GroupsID, TypesID) VALUES (1, 'ed \"x\"', 0, '/bin/ed', '-p a', NULL, '', "
        "'abc', 7, 10, 1), (2, '网', 2, 'https://example.org', '', '', '说明', '', 1, 10, 1)");
    open();
    selectItems({1, 0});
    items()->actionCopy()->trigger();
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("[{\"Arguments\":\"\",\"Name\":\"网\",\"Note\":\"说明\",\"Path\":"
                            "\"https://example.org\",\"Type\":\"2\",\"WorkingDirectory\":\"\"},"
                            "{\"Arguments\":\"-p a\",\"Name\":\"ed \\\"x\\\"\",\"Note\":\"\","
                            "\"Path\":\"/bin/ed\",\"Type\":\"0\",\"WorkingDirectory\":\"\"}]"));
    QCOMPARE(Notices::shown(), QStringList{"已复制，粘贴给他人即可"});

    items()->clearSelection();
    items()->actionCopy()->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("[]"));
}

void TestAdding::shouldPasteSharedItemsFresh()
{
    Catalogue::exec(
        "INSERT INTO Items(ID, Name, Type, Path, Arguments, WorkingDirectory, Note, IconPath, "
        "CreateDate, RunDate, RunCount, GroupsID, TypesID) VALUES "
        "(1, 'one', 0, '/bin/one', '-a', '/tmp', 'n1', 'abc', '100', '200', 7, 10, 1), "
        "(2, 'two', 3, 'echo hi', '', '', '', '', '100', NULL, 0, 10, 1)");
    open();
    selectItems({0, 1});
    items()->actionCopy()->trigger();
    groups()->setCurrentIndex(groups()->model()->index(1, 0));
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    items()->actionPaste()->trigger();

    const QString fields = "Name, Type, Path, Arguments, WorkingDirectory, Note";
    QCOMPARE(itemsOf(11, fields), itemsOf(10, fields));
    QCOMPARE(itemsOf(11, "IconPath, RunCount, RunDate, TypesID"), (QStringList{"|0||1", "|0||1"}));
    for (const QString &created : itemsOf(11, "CreateDate"))
        QVERIFY(created.toLongLong() >= before);
    QCOMPARE(rowTexts(items()->model()), (QStringList{"one", "two"}));
    QVERIFY(Notices::shown().contains("完成"));
}

void TestAdding::shouldPasteForeignText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("stored");
    QTest::newRow("another installation")
        << QStringLiteral("[{\"Arguments\":\"\",\"Name\":\"记事本\",\"Note\":\"\",\"Path\":"
                          "\"C:/Windows/notepad.exe\",\"Type\":\"0\",\"WorkingDirectory\":\"\"}]")
        << QStringList{"记事本|0|C:/Windows/notepad.exe|"};
    QTest::newRow("other keys, spacing and an icon")
        << QStringLiteral("[ {\"Name\": \"x\", \"IconPath\": \"h\", \"Colour\": \"red\"} ]")
        << QStringList{"x|||h"};
    QTest::newRow("values that are no strings")
        << QStringLiteral("[{\"Name\":12.5,\"Type\":2,\"Path\":true,\"Note\":{\"a\":1},"
                          "\"Arguments\":[1]}, 7, null]")
        << QStringList{"12.5|2|true|", "|||", "|||"};
}

void TestAdding::shouldPasteForeignText()
{
    QFETCH(QString, text);
    QFETCH(QStringList, stored);
    open();
    QApplication::clipboard()->setText(text);
    items()->actionPaste()->trigger();
    QCOMPARE(itemsOf(10, "Name, Type, Path, IconPath"), stored);
}

void TestAdding::shouldRefuseTextThatIsNoShare_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("object") << QStringLiteral("{\"Name\":\"x\"}");
    QTest::newRow("broken") << QStringLiteral("[{\"Name\":");
    QTest::newRow("plain text") << QStringLiteral("hello");
    // 10 MB of well-formed share text: refused unparsed.
    QTest::newRow("10 MB") << QStringLiteral("[") +
                                  QString("{\"Name\":\"x\"},").repeated(10 * 1024 * 1024 / 13) +
                                  QStringLiteral("{}]");
}

void TestAdding::shouldRefuseTextThatIsNoShare()
{
    QFETCH(QString, text);
    open();
    QApplication::clipboard()->setText(text);
    items()->actionPaste()->trigger();
    QCOMPARE(Notices::shown(), QStringList{"你需要先复制分享的数据"});
    QCOMPARE(Catalogue::value("SELECT COUNT(*) FROM Items"), QStringLiteral("0"));
}

void TestAdding::shouldRefusePasteWithoutGroup()
{
    // Items without a group would be stored where no list shows them.
    open();
    groups()->setCurrentIndex(QModelIndex());
    QApplication::clipboard()->setText(QStringLiteral("[{\"Name\":\"stray\"}]"));
    items()->actionPaste()->trigger();
    QCOMPARE(Notices::shown(), QStringList{"你需要先创建一个分组"});
    QCOMPARE(Catalogue::value("SELECT COUNT(*) FROM Items"), QStringLiteral("0"));
}

// Shared text is anyone's: what a pasted item runs as a command waits for the user's approval,
// once for what it holds; what the user types in the properties dialog is theirs.
void TestAdding::shouldAskOnceBeforePastedItemsRunCommands()
{
    const QString marker = m_dir->path("ran");
    // An application entry nobody vouched for, given an argument by the paste.
    const QString entry = m_dir->path("tool.desktop");
    QVERIFY(m_dir->write("append.sh", "echo \"$1\" >> " + marker.toUtf8() + "\n"));
    QVERIFY(
        m_dir->write("tool.desktop", "[Desktop Entry]\nType=Application\nName=Tool\nExec=/bin/sh " +
                                         m_dir->path("append.sh").toUtf8() + " %U\n"));
    QApplication::clipboard()->setText(
        QStringLiteral("[{\"Name\":\"Firefox\",\"Type\":\"3\",\"Path\":\"echo 1 >> %1\"},"
                       "{\"Name\":\"Files\",\"Type\":\"0\",\"Path\":\"/bin/sh\","
                       "\"Arguments\":\"-c \\\"echo 2 >> %1\\\"\"},"
                       "{\"Name\":\"Tool\",\"Type\":\"0\",\"Path\":\"%2\",\"Arguments\":\"5\"}]")
            .arg(marker, entry));
    open();
    // Where config.ini should be written stands a folder: nothing could remember the approval,
    // so nothing is pasted.
    const QString settings = m_dir->path("data/config.ini");
    const bool existed = QFile::exists(settings);
    QVERIFY(!existed || QFile::rename(settings, settings + ".saved"));
    QVERIFY(QDir().mkpath(settings));
    items()->actionPaste()->trigger();
    QVERIFY(QDir().rmdir(settings));
    QVERIFY(!existed || QFile::rename(settings + ".saved", settings));
    QCOMPARE(Notices::shown(), QStringList{"粘贴失败, 设置文件无法写入"});
    QCOMPARE(Catalogue::value("SELECT COUNT(*) FROM Items"), QStringLiteral("0"));
    items()->actionPaste()->trigger();
    const auto ran = [&marker] {
        QFile file(marker);
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    };
    const auto run = [this](int row) {
        m_window->data_itemRun(items()->model()->index(row, 0));
    };
    const QString question = QStringLiteral("此项目由他人分享，是否运行以下命令？\n\n");
    {
        // The last "No" answers a question that should not come, rather than waiting for ever.
        ModalAnswers answers;
        answers.press(QMessageBox::No)
            .press(QMessageBox::Yes)
            .press(QMessageBox::Yes)
            .press(QMessageBox::Yes)
            .press(QMessageBox::No);
        run(0);
        QCOMPARE(Catalogue::value("SELECT RunCount FROM Items WHERE Name = 'Firefox'"), "0");
        run(0);
        QTRY_COMPARE(ran(), QStringList{"1"});
        run(0);
        QTRY_COMPARE(ran(), (QStringList{"1", "1"}));
        run(1);
        QTRY_COMPARE(ran(), (QStringList{"1", "1", "2"}));
        // The entry's own question, showing what runs with the pasted argument, answers for
        // the paste too: asked once, and not again.
        run(2);
        QTRY_COMPARE(ran(), (QStringList{"1", "1", "2", "5"}));
        run(2);
        QTRY_COMPARE(ran(), (QStringList{"1", "1", "2", "5", "5"}));
        QCOMPARE(answers.questions(),
                 (QStringList{question + "echo 1 >> " + marker, question + "echo 1 >> " + marker,
                              question + "/bin/sh -c 'echo 2 >> " + marker + "'",
                              "此应用程序入口不受信任，是否仍要启动？\n\n/bin/sh " +
                                  m_dir->path("append.sh") + " \"5\""}));
    }
    {
        // Changed behind the dialog's back (by another version of the program): asked again.
        Catalogue::exec("UPDATE Items SET Path = 'echo 3 >> " + marker +
                        "' WHERE Name = 'Firefox'");
        ModalAnswers answers;
        answers.press(QMessageBox::No);
        run(0);
        QCOMPARE(answers.questions(), QStringList{question + "echo 3 >> " + marker});
    }
    // Typed by the user in the properties dialog: theirs, never asked.
    ModalAnswers answers;
    answers
        .then([&marker](QWidget *) {
            openDialog()
                ->findChild<QLineEdit *>("lineEdit_arguments")
                ->setText("-c 'echo 4 >> " + marker + "'");
            openDialog()->findChild<QPushButton *>("pushButton_yes")->click();
        })
        .press(QMessageBox::No);
    items()->setCurrentIndex(items()->model()->index(1, 0));
    items()->actionAttribute()->trigger();
    run(1);
    QTRY_COMPARE(ran(), (QStringList{"1", "1", "2", "5", "5", "4"}));
    QVERIFY(answers.questions().isEmpty());
}

void TestAdding::shouldAskBeforeDeleting()
{
    Catalogue::exec("INSERT INTO Items(ID, Name, Row, GroupsID, TypesID) VALUES "
                    "(1, 'a', 0, 10, 1), (2, 'b', 1, 10, 1), (3, 'c', 2, 10, 1), "
                    "(4, 'd', 3, 10, 1)");
    open();
    selectItems({1});
    ModalAnswers answers;
    answers.press(QMessageBox::No).press(QMessageBox::Yes);
    items()->actionDelete()->trigger();
    QCOMPARE(itemsOf(10, "Name"), (QStringList{"a", "b", "c", "d"}));
    selectItems({1});
    items()->actionDelete()->trigger();
    QCOMPARE(answers.questions(), (QStringList{"确定要删除'b'嘛", "确定要删除'b'嘛"}));
    QCOMPARE(itemsOf(10, "Name"), (QStringList{"a", "c", "d"}));
    QCOMPARE(rowTexts(items()->model()), (QStringList{"a", "c", "d"}));

    selectItems({0, 2});
    ModalAnswers several;
    several.press(QMessageBox::Yes);
    items()->actionDeleteSelected()->trigger();
    QCOMPARE(several.questions(), QStringList{"确定要删除选中的这2个项目吗"});
    QCOMPARE(itemsOf(10, "Name"), QStringList{"c"});
    QCOMPARE(rowTexts(items()->model()), QStringList{"c"});
}

void TestAdding::shouldRenameOnlyWithAnAnswer()
{
    Catalogue::exec("INSERT INTO Items(ID, Name, Row, GroupsID, TypesID) VALUES "
                    "(1, 'a', 0, 10, 1), (2, 'b', 1, 10, 1)");
    open();
    items()->setCurrentIndex(items()->model()->index(1, 0));
    ModalAnswers answers;
    answers.type(QString()).type(QStringLiteral("新名字"));
    items()->actionRename()->trigger();
    QCOMPARE(itemsOf(10, "Name"), (QStringList{"a", "b"}));
    items()->actionRename()->trigger();
    QCOMPARE(itemsOf(10, "Name"), (QStringList{"a", "新名字"}));
    QCOMPARE(items()->currentIndex().row(), 1);
    QCOMPARE(items()->currentIndex().data().toString(), QStringLiteral("新名字"));
}

void TestAdding::shouldStoreNothingOnCancelAndRefuseIncompleteItem()
{
    open();
    bool defaultHidden = false;
    QStringList refusals;
    ModalAnswers answers;
    answers
        .then([&defaultHidden](QWidget *) {
            defaultHidden =
                openDialog()->findChild<QPushButton *>("pushButton_default")->isHidden();
            openDialog()->findChild<QPushButton *>("pushButton_no")->click();
        })
        .then([&refusals](QWidget *) {
            // Refused with what is missing; the dialog stays with what was typed.
            Form_Attribute *dialog = openDialog();
            dialog->findChild<QLineEdit *>("lineEdit_name")->setText("ed");
            dialog->findChild<QPushButton *>("pushButton_yes")->click();
            refusals = Notices::shown();
            dialog->findChild<QComboBox *>("comboBox_type")->setCurrentIndex(3);
            dialog->findChild<QLineEdit *>("lineEdit_path")->setText("ed -p");
            dialog->findChild<QPushButton *>("pushButton_yes")->click();
        });
    items()->actionAdd()->trigger();
    QVERIFY(defaultHidden);
    QCOMPARE(Catalogue::value("SELECT COUNT(*) FROM Items"), QStringLiteral("0"));
    items()->actionAdd()->trigger();
    QCOMPARE(refusals, QStringList{"缺少类型、路径/网址"});
    QCOMPARE(itemsOf(10, "Name, Type, Path, IconPath, TypesID"), QStringList{"ed|3|ed -p||1"});
    QCOMPARE(items()->model()->rowCount(), 1);
}

void TestAdding::shouldFillEmptyFieldsFromChosenFile()
{
    // An application's entry with an icon of its own, chosen with the path field's button.
    const QString picture = m_dir->path("files/editor.png");
    const QString entry = m_dir->path("files/editor.desktop");
    touch(entry);
    QVERIFY(QImage::fromData(pngBytes(Qt::green)).save(picture));
    QFile file(entry);
    QVERIFY(file.open(QIODevice::WriteOnly) &&
            file.write("[Desktop Entry]\nType=Application\nName=Editor\nComment=Edits text\n"
                       "Exec=true\nIcon=" +
                       picture.toUtf8()) > 0);
    file.close();
    open();
    QString startedIn;
    ModalAnswers answers;
    answers
        .then([](QWidget *) {
            // The name typed first stays; the rest is empty and taken from the entry.
            openDialog()->findChild<QLineEdit *>("lineEdit_name")->setText("我的编辑器");
            QTimer::singleShot(0, openDialog()->findChild<QAction *>("actionChoosePath"),
                               &QAction::trigger);
        })
        .then([&startedIn, &entry](QWidget *modal) {
            auto *files = qobject_cast<QFileDialog *>(modal);
            startedIn = files->directory().absolutePath();
            files->selectFile(entry);
            QMetaObject::invokeMethod(files, "accept");
        })
        .then([](QWidget *) { openDialog()->findChild<QPushButton *>("pushButton_yes")->click(); });
    items()->actionAdd()->trigger();
    QCOMPARE(startedIn, QDir::homePath());
    QCOMPARE(itemsOf(10, "Name, Type, Path, Note, length(IconPath)"),
             QStringList{"我的编辑器|0|" + entry + "|Edits text|40"});
}

void TestAdding::shouldSwitchPathModeWithType()
{
    open();
    Form_Attribute dialog(groups()->currentIndex());
    auto *type = dialog.findChild<QComboBox *>("comboBox_type");
    auto *path = dialog.findChild<KelPathEdit *>("lineEdit_path");
    auto *more = dialog.findChild<QPushButton *>("pushButton_advanced");
    QCOMPARE(type->currentIndex(), -1);
    QCOMPARE(path->mode(), KelPathEdit::File);
    type->setCurrentIndex(2);
    QCOMPARE(path->mode(), KelPathEdit::Text);
    type->setCurrentIndex(1);
    QCOMPARE(path->mode(), KelPathEdit::Dir);
    type->setCurrentIndex(3);
    QCOMPARE(path->mode(), KelPathEdit::Text);

    dialog.show();
    QVERIFY(!dialog.findChild<QFrame *>("frame_other")->isVisible());
    QCOMPARE(more->text(), QStringLiteral("更多"));
    more->click();
    QVERIFY(dialog.findChild<QFrame *>("frame_other")->isVisible());
    QCOMPARE(more->text(), QStringLiteral("简要"));
}

void TestAdding::shouldKeepCustomIconWhenEditingNote()
{
    QDir().mkpath(m_dir->path("cache/caches"));
    const QByteArray icon = pngBytes(Qt::blue);
    const QString hash = DataControl::hashName(icon);
    QFile file(m_dir->path("cache/caches/" + hash + ".o"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(icon);
    file.close();
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, Note, IconPath, CreateDate, "
                    "RunCount, GroupsID, TypesID) VALUES (1, 'ed', 0, '/bin/ed', 'old', '" +
                    hash + "', '0', 0, 10, 1)");
    open();
    items()->setCurrentIndex(items()->model()->index(0, 0));
    ModalAnswers answers;
    answers.then([](QWidget *) {
        Form_Attribute *dialog = openDialog();
        QCOMPARE(dialog->findChild<QLabel *>("label_icon")->property("HashFile").toString().size(),
                 40);
        // A type change previews the fallback but keeps the chosen icon.
        dialog->findChild<QComboBox *>("comboBox_type")->setCurrentIndex(1);
        dialog->findChild<QComboBox *>("comboBox_type")->setCurrentIndex(0);
        dialog->findChild<QLineEdit *>("lineEdit_note")->setText("new");
        dialog->findChild<QPushButton *>("pushButton_yes")->click();
    });
    items()->actionAttribute()->trigger();
    QCOMPARE(itemsOf(10, "Name, Type, Path, Note, IconPath"),
             QStringList{"ed|0|/bin/ed|new|" + hash});
}

void TestAdding::shouldShowHistoryAndRestoreDefaults()
{
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, Arguments, CreateDate, RunCount, "
                    "GroupsID, TypesID) VALUES (1, 'ed', 0, '/bin/ed', '-p', '86400', 0, 10, 1)");
    open();
    // Dates as the user's locale writes them, not as "Fri Jan 2 00:00:00 1970".
    const auto restoreLocale = qScopeGuard([locale = QLocale()] { QLocale::setDefault(locale); });
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    Form_Attribute dialog(items()->model()->index(0, 0));
    dialog.setEditMode(true);
    dialog.show();
    const QLabel *history = dialog.findChild<QLabel *>("label_creatTime");
    const QString created = "^创建时间：1970/1/[12] \\S*\\d:\\d\\d\n上次运行：";
    QVERIFY2(history->text().contains(QRegularExpression(created + "从未运行过\n共计运行：0次$")),
             qPrintable(history->text()));
    auto *name = dialog.findChild<QLineEdit *>("lineEdit_name");
    auto *type = dialog.findChild<QComboBox *>("comboBox_type");
    auto *restore = dialog.findChild<QPushButton *>("pushButton_default");
    QVERIFY(restore->isVisible());
    QCOMPARE(name->text(), QStringLiteral("ed"));
    name->setText("changed");
    type->setCurrentIndex(3);
    restore->click();
    QCOMPARE(name->text(), QStringLiteral("ed"));
    QCOMPARE(type->currentIndex(), 0);
    QCOMPARE(dialog.findChild<QLineEdit *>("lineEdit_arguments")->text(), QStringLiteral("-p"));

    Catalogue::exec("UPDATE Items SET RunDate = '172800', RunCount = 3");
    restore->click();
    QVERIFY2(history->text().contains(
                 QRegularExpression(created + "1970/1/[23] \\S*\\d:\\d\\d\n共计运行：3次$")),
             qPrintable(history->text()));
}

QUIVER_TEST_MAIN(TestAdding)
#include "tst_adding.moc"
