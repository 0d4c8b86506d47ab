// Paths typed in the search box, listed from real folders and opened through the handlers of a
// sandboxed desktop, as catalogue items of their kind open.
#include "AnswerSupport.h"
#include "DesktopSandbox.h"
#include "Actions/PathCompletion.h"
#include "TestSupport.h"

class TestPathCompletion : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void shouldListMatchingEntriesAsTyped_data();
    void shouldListMatchingEntriesAsTyped();
    void shouldCompleteAndLocateEachRow();
    void shouldSeeAnEntryAddedSinceTheLastKey();
    void shouldOpenAsItemsOpen_data();
    void shouldOpenAsItemsOpen();

private:
    QStringList titles(const QString &typed);

    std::unique_ptr<DesktopSandbox> m_desktop;
    QTemporaryDir m_home;
    EnvironmentGuard m_environment;
    PathCompletion m_paths;
};

void TestPathCompletion::initTestCase()
{
    m_desktop = std::make_unique<DesktopSandbox>();
    m_desktop->addHandler(QStringLiteral("text"), {QStringLiteral("text/plain")});
    m_desktop->addHandler(QStringLiteral("folder"), {QStringLiteral("inode/directory")});
    m_environment.set("HOME", m_home.path().toLocal8Bit());
    QDir home(m_home.path());
    for (const char *folder : {"文档", "下载", "Music", ".config", "Music/Albums"})
        QVERIFY(home.mkpath(QString::fromUtf8(folder)));
    for (const char *file : {"notes.txt", ".hidden", "报告.txt", "Music/song.txt"}) {
        QFile out(home.filePath(QString::fromUtf8(file)));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("text\n");
    }
    QVERIFY(QFile::link(home.filePath(QStringLiteral("Music")),
                        home.filePath(QStringLiteral("Linked"))));
    QDir::setCurrent(m_home.path());
}

void TestPathCompletion::init()
{
    m_desktop->clear();
}

QStringList TestPathCompletion::titles(const QString &typed)
{
    QStringList titles;
    for (const ActionRow &row : settledRows(m_paths, typed))
        titles << row.title;
    return titles;
}

void TestPathCompletion::shouldListMatchingEntriesAsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("titles");

    QTest::newRow("home, no hidden ones")
        << "~/" << QStringList{"~/",      "~/Linked/",  "~/Music/", "~/notes.txt",
                               "~/下载/", "~/报告.txt", "~/文档/"};
    QTest::newRow("hidden ones after a dot")
        << "~/." << QStringList{"~/.config/", "~/.hidden", "~/notes.txt", "~/报告.txt"};
    QTest::newRow("a prefix, any case") << "~/mu" << QStringList{"~/Music/"};
    QTest::newRow("a link to a folder") << "~/li" << QStringList{"~/Linked/"};
    QTest::newRow("pinyin initials") << "~/xz" << QStringList{"~/下载/"};
    QTest::newRow("pinyin syllables") << "~/baog" << QStringList{"~/报告.txt"};
    QTest::newRow("a subfolder") << "~/Music/"
                                 << QStringList{"~/Music/", "~/Music/Albums/", "~/Music/song.txt"};
    QTest::newRow("the working folder") << "./no" << QStringList{"./notes.txt"};
    QTest::newRow("two slashes and a dot folder")
        << "~//Music/./so" << QStringList{"~//Music/./song.txt"};
    QTest::newRow("no such entry") << "~/nothing" << QStringList{};
    QTest::newRow("no such folder") << "~/nothing/a" << QStringList{};
    QTest::newRow("a file is no folder") << "~/notes.txt/" << QStringList{};
    QTest::newRow("not a path") << "Music" << QStringList{};
    QTest::newRow("a tilde alone") << "~" << QStringList{};
}

void TestPathCompletion::shouldListMatchingEntriesAsTyped()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, titles);
    QCOMPARE(this->titles(typed), titles);
}

void TestPathCompletion::shouldCompleteAndLocateEachRow()
{
    const QString absolute = m_home.filePath(QStringLiteral("Mu"));
    const QVector<ActionRow> rows = settledRows(m_paths, absolute);
    QCOMPARE(rows.size(), 1);
    // Tab gives the folder with its slash, so the next key lists inside it.
    QCOMPARE(rows.first().completion, m_home.filePath(QStringLiteral("Music/")));
    QCOMPARE(rows.first().payload, m_home.filePath(QStringLiteral("Music")));
    QCOMPARE(rows.first().iconName, QStringLiteral("folder"));
    const QVector<ActionRow> files = settledRows(m_paths, QStringLiteral("~/no"));
    QCOMPARE(files.value(0).completion, QStringLiteral("~/notes.txt"));
    QCOMPARE(files.value(0).iconName, QStringLiteral("text-plain"));
}

void TestPathCompletion::shouldSeeAnEntryAddedSinceTheLastKey()
{
    QCOMPARE(titles(QStringLiteral("~/Music/a")), QStringList{"~/Music/Albums/"});
    QVERIFY(QDir(m_home.path()).mkpath(QStringLiteral("Music/Artists")));
    QCOMPARE(titles(QStringLiteral("~/Music/a")),
             (QStringList{"~/Music/Albums/", "~/Music/Artists/"}));
    QVERIFY(QDir(m_home.filePath(QStringLiteral("Music"))).rmdir(QStringLiteral("Artists")));
    QCOMPARE(titles(QStringLiteral("~/Music/a")), QStringList{"~/Music/Albums/"});
}

void TestPathCompletion::shouldOpenAsItemsOpen_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QString>("opened");

    QTest::newRow("a folder") << "~/Mus"
                              << "folder"
                              << "Music";
    QTest::newRow("a document") << "~/报"
                                << "text"
                                << "报告.txt";
    QTest::newRow("the folder typed") << "~/Music/"
                                      << "folder"
                                      << "Music";
}

void TestPathCompletion::shouldOpenAsItemsOpen()
{
    QFETCH(QString, typed);
    QFETCH(QString, handler);
    QFETCH(QString, opened);
    const QVector<ActionRow> rows = settledRows(m_paths, typed);
    QVERIFY(!rows.isEmpty());
    const ActionOutcome outcome = m_paths.run(rows.first(), {});
    QCOMPARE(outcome.status, ActionOutcome::Status::Pending);
    QTRY_VERIFY(outcome.pending->isFinished());
    QVERIFY(outcome.pending->result());
    QTRY_COMPARE(m_desktop->opened(handler), QStringList{m_home.filePath(opened)});
}

QUIVER_TEST_MAIN(TestPathCompletion)

#include "tst_pathcompletion.moc"
