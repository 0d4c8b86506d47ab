// The search box's answers besides the catalogue, through the real window: typed, ranked among
// the items, run with Enter or completed with Tab, switched off in the settings window; with a
// marker handler of https addresses and a marker terminal in a desktop of the test's own.
#include "Actions/ActionProviders.h"
#include "App/Program.h"
#include "Window/FormMain.h"
#include "Settings/Form_Settings.h"
#include "Catalogue/ItemRoles.h"
#include "Catalogue/ResultsListView.h"
#include "Core/SettingsControl.h"
#include "CatalogueSupport.h"
#include "DesktopSandbox.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <memory>

#include <fcntl.h>
#include <glib.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {
// A folder where every call into the file system hangs, as on a network mount whose server went
// away: a FUSE mount whose server never answers, not even the kernel's first request. release()
// ends the hang as a time-out would: the waiting calls fail with ENOTCONN. Mounting needs the
// superuser.
class HungMount
{
    Q_DISABLE_COPY_MOVE(HungMount)

public:
    explicit HungMount(const QString &folder)
        : m_folder(QFile::encodeName(folder))
        , m_device(::open("/dev/fuse", O_RDWR | O_CLOEXEC))
    {
        const QByteArray options =
            "fd=" + QByteArray::number(m_device) + ",rootmode=40000,user_id=0,group_id=0";
        if (m_device >= 0 && ::mount("quiver-hung", m_folder.constData(), "fuse",
                                     MS_NOSUID | MS_NODEV, options.constData()) != 0)
            release();
    }
    ~HungMount() { release(); }

    bool isMounted() const { return m_device >= 0; }
    void release()
    {
        if (m_device >= 0 && ::close(m_device) == 0)
            ::umount2(m_folder.constData(), MNT_DETACH);
        m_device = -1;
    }

private:
    QByteArray m_folder;
    int m_device;
};
} // namespace

class TestSearchAnswers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void shouldAnswerBesideTheCatalogue_data();
    void shouldAnswerBesideTheCatalogue();
    void shouldCompletePathsWithTab();
    void shouldOpenRecentDocumentsAfterTheItems();
    void shouldFollowTheSettingsWindow();
    void shouldDrawAnswersLikeItemsUnderAWideBox();

private:
    QStringList results() const
    {
        return rowTexts(m_window->findChild<ResultsListView *>("listView_result")->model());
    }
    QLineEdit *search() const { return m_window->findChild<QLineEdit *>("lineEdit_search"); }
    // Letters as keys, Chinese as an input method commits it.
    void type(const QString &text) const
    {
        for (const QChar c : text) {
            if (c.unicode() < 128)
                QTest::keyClick(search(), c.toLatin1());
            else
                search()->insert(QString(c));
        }
    }

    std::unique_ptr<DesktopSandbox> m_desktop;
    std::unique_ptr<CatalogueWorkDir> m_dir;
    std::unique_ptr<Program> m_program;
    FormMain *m_window = nullptr;
};

void TestSearchAnswers::initTestCase()
{
    m_desktop = std::make_unique<DesktopSandbox>();
    m_desktop->addHandler("web", {"x-scheme-handler/https", "x-scheme-handler/http"});
    m_desktop->addHandler("text", {"text/plain"});
    // Debian's terminal, first on PATH: it writes down what it was asked to run.
    m_desktop->write("bin/x-terminal-emulator", QStringLiteral("#!/bin/sh\necho \"$@\" > %1\n")
                                                    .arg(m_desktop->output("terminal"))
                                                    .toUtf8());
    QFile::setPermissions(m_desktop->path("bin/x-terminal-emulator"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", m_desktop->path("bin").toLocal8Bit() + ':' + qgetenv("PATH"));
    m_dir = std::make_unique<CatalogueWorkDir>();
    QVERIFY(m_dir->isOpen());
}

void TestSearchAnswers::init()
{
    Catalogue::reset("(1, 'T1', 0)", "(10, 'G10', 1, 0)");
    // An item whose name the answers' texts match too: the item comes first in its band.
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) VALUES "
                    "(1, '锁屏助手', 3, 'true', 10, 1)");
    SettingsControl::instance().setInstantSearch(true);
    SettingsControl::instance().setThenHide(false);
    m_desktop->clear();
    m_program = std::make_unique<Program>();
    m_window = &m_program->window();
    m_window->show();
}

void TestSearchAnswers::cleanup()
{
    m_program.reset();
    Notices::clear();
}

void TestSearchAnswers::shouldAnswerBesideTheCatalogue_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("notice");
    QTest::newRow("calculator first, Enter copies") << "12*(3+4)" << QStringList{"= 84"} << ""
                                                    << ""
                                                    << "已复制: 84";
    QTest::newRow("a malformed expression shows nothing") << "12*(3+" << QStringList{} << ""
                                                          << ""
                                                          << "";
    QTest::newRow("web keyword, percent-encoded to the handler")
        << "bd 天气" << QStringList{"在百度中搜索: 天气"} << "web"
        << "https://www.baidu.com/s?wd=%E5%A4%A9%E6%B0%94"
        << "";
    QTest::newRow("command in the terminal")
        << ">echo hi" << QStringList{"在终端中运行: echo hi"} << "terminal"
        << "echo hi"
        << "";
    // By pinyin initials; the catalogue's item of the same band comes first.
    QTest::newRow("system action beside an item") << "sp" << QStringList{"锁屏助手", "锁屏"} << ""
                                                  << ""
                                                  << "";
}

void TestSearchAnswers::shouldAnswerBesideTheCatalogue()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, shown);
    QFETCH(QString, handler);
    QFETCH(QString, received);
    QFETCH(QString, notice);
    search()->setFocus();
    type(typed);
    QCOMPARE(results().mid(0, shown.size()), shown);
    if (handler.isEmpty() && notice.isEmpty())
        return;
    QTest::keyClick(search(), Qt::Key_Return);
    if (!notice.isEmpty()) {
        QTRY_COMPARE(Notices::shown(), QStringList{notice});
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("84"));
    }
    if (!handler.isEmpty())
        QTRY_VERIFY2(m_desktop->opened(handler).join(' ').contains(received),
                     qPrintable(m_desktop->opened(handler).join('|')));
}

void TestSearchAnswers::shouldCompletePathsWithTab()
{
    QTemporaryDir folder;
    QDir(folder.path()).mkpath("报告 2024");
    QFile(folder.filePath("notes.txt")).open(QIODevice::WriteOnly);
    QFile(folder.filePath(".hidden")).open(QIODevice::WriteOnly);
    search()->setFocus();
    const QString typed = folder.path() + "/";
    type(typed);
    // Listed off the GUI thread, shown as it comes in.
    QTRY_VERIFY(results().contains(typed + "报告 2024/"));
    QVERIFY(results().contains(typed + "notes.txt"));
    QVERIFY(!results().contains(typed + ".hidden"));
    // By the pinyin initials of the folder's name; Tab puts its path in the box, ready for the
    // next part.
    type("bg");
    QCOMPARE(results().value(0), typed + "报告 2024/");
    QTest::keyClick(search(), Qt::Key_Tab);
    QCOMPARE(search()->text(), typed + "报告 2024/");
    QCOMPARE(m_window->focusWidget(), search());
}

// The desktop's list, read whole off the GUI thread, and folders typed, each read on a thread of
// its own, beside a network mount whose server went away: no key waits for it.
void TestSearchAnswers::shouldOpenRecentDocumentsAfterTheItems()
{
    // The desktop's own list, as GLib writes it: a local document and one on the mount (gone,
    // where nothing can be mounted).
    QTemporaryDir root;
    QDir(root.path()).mkpath("dead");
    QDir(root.path()).mkpath("live");
    QFile(root.filePath("live/笔记.txt")).open(QIODevice::WriteOnly);
    m_desktop->write("docs/报告.txt", "report\n");
    GBookmarkFile *bookmarks = g_bookmark_file_new();
    for (const QString &file :
         {m_desktop->path("docs/报告.txt"), root.filePath("dead/报告2.txt")}) {
        const QByteArray uri = QUrl::fromLocalFile(file).toEncoded();
        g_bookmark_file_set_mime_type(bookmarks, uri.constData(), "text/plain");
        g_bookmark_file_add_application(bookmarks, uri.constData(), "gedit", "gedit %u");
    }
    QVERIFY(g_bookmark_file_to_file(
        bookmarks, QFile::encodeName(m_desktop->path("data/recently-used.xbel")).constData(),
        nullptr));
    g_bookmark_file_free(bookmarks);
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) VALUES "
                    "(2, '报告模板', 3, 'true', 10, 1)");
    HungMount mount(root.filePath("dead"));
    search()->setFocus();
    if (mount.isMounted()) {
        int ticks = 0;
        QTimer clock;
        connect(&clock, &QTimer::timeout, [&ticks] { ++ticks; });
        clock.start(10);
        type(root.filePath("dead/"));
        const int typed = ticks;
        QTRY_VERIFY(ticks > typed + 5);
        QVERIFY(ActionProviders::shared().isReading());
        // A later key's folder answers while the hung one is still being read.
        search()->clear();
        type(root.filePath("live/"));
        QTRY_COMPARE(results(),
                     (QStringList{root.filePath("live/"), root.filePath("live/笔记.txt")}));
        // The document on the mount cannot be looked at yet; the local one shows.
        search()->clear();
        type("baogao");
        QTRY_VERIFY(results().contains("报告.txt"));
        QVERIFY(ActionProviders::shared().isReading());
        // The server's end gone, the reads held up fail: the folder's late answer shows nothing
        // over the results of the text typed since, and the document on the mount is gone.
        mount.release();
        QTRY_VERIFY(!ActionProviders::shared().isReading());
    } else {
        type("baogao");
    }
    // By pinyin, after the catalogue's item of a better band; the document that is gone left out.
    QTRY_COMPARE(results(), (QStringList{"报告模板", "报告.txt"}));
    QCOMPARE(search()->text(), QStringLiteral("baogao"));
    QTest::keyClick(search(), Qt::Key_Down);
    QTest::keyClick(search(), Qt::Key_Return);
    QTRY_COMPARE(m_desktop->opened("text"), QStringList{m_desktop->path("docs/报告.txt")});
}

void TestSearchAnswers::shouldFollowTheSettingsWindow()
{
    Form_Settings settings;
    auto *calculator = settings.findChild<QCheckBox *>("checkBox_searchCalculator");
    QVERIFY(calculator && calculator->isChecked());
    calculator->click();
    search()->setFocus();
    type("2^10");
    QVERIFY(!results().contains("= 1024"));
    calculator->click();
    search()->clear();
    type("2^10");
    QCOMPARE(results().value(0), QStringLiteral("= 1024"));

    // A keyword added in the table answers at once; a faulty table is not stored.
    auto *table = settings.findChild<QTableWidget *>("tableWidget_webKeywords");
    QVERIFY(table);
    const int rows = table->rowCount();
    table->insertRow(rows);
    table->setItem(rows, 0, new QTableWidgetItem("ddg"));
    table->setItem(rows, 1, new QTableWidgetItem("DuckDuckGo"));
    table->setItem(rows, 2, new QTableWidgetItem("https://duckduckgo.com/?q=%s"));
    search()->clear();
    type("ddg qt");
    QCOMPARE(results().value(0), QStringLiteral("在DuckDuckGo中搜索: qt"));
    table->item(rows, 2)->setText("no template");
    const QLabel *problem = settings.findChild<QLabel *>("label_webKeywordsProblem");
    QVERIFY(!problem->isHidden());
    QCOMPARE(problem->text(), QStringLiteral("网址中缺少%s: ddg"));
    search()->clear();
    type("ddg qt");
    QCOMPARE(results().value(0), QStringLiteral("在DuckDuckGo中搜索: qt"));
    settings.findChild<QPushButton *>("pushButton_resetKeywords")->click();
}

void TestSearchAnswers::shouldDrawAnswersLikeItemsUnderAWideBox()
{
    m_window->resize(700, 600);
    search()->setFocus();
    type("sp");
    QCOMPARE(results().mid(0, 2), (QStringList{"锁屏助手", "锁屏"}));
    auto *list = m_window->findChild<ResultsListView *>("listView_result");
    const QImage shot = list->viewport()->grab().toImage();
    // The columns of a row drawn in another colour than its background (its last pixel).
    const auto painted = [&shot, list](int row) {
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        QVector<int> columns;
        for (int x = rect.left(); x < rect.right(); ++x)
            for (int y = rect.top(); y <= rect.bottom(); ++y)
                if (shot.pixel(x, y) != shot.pixel(rect.right() - 1, rect.center().y())) {
                    columns << x;
                    break;
                }
        return columns;
    };
    // The item's name begins after a gap behind its icon; the answer's ("锁屏" beside
    // "锁屏助手") begins in the same columns, with an icon before it too (none in the test's
    // desktop theme: one of ours).
    const QVector<int> item = painted(0);
    const QVector<int> answer = painted(1);
    const int name = *std::next(std::adjacent_find(
        item.cbegin(), item.cend(), [](int left, int right) { return right - left > 3; }));
    QVERIFY(answer.contains(name) && !answer.contains(name - 1) && answer.first() < name - 20);
    QCOMPARE(answer.mid(answer.indexOf(name), 10), item.mid(item.indexOf(name), 10));

    // The box takes the title bar's width but for a handle to move the window by.
    const QRect box = search()->geometry();
    QCOMPARE(box.left(), m_window->findChild<QWidget *>("toolButton_back")->geometry().right() + 1);
    QCOMPARE(m_window->findChild<QWidget *>("toolButton_history")->x() - box.right() - 1, 40);
}

QUIVER_TEST_MAIN(TestSearchAnswers)
#include "tst_searchanswers.moc"
