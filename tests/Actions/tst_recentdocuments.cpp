// Recent documents from a real recently-used.xbel in a sandboxed $XDG_DATA_HOME, written
// through GLib as GTK writes it, naming real files; opened through the sandbox's handlers.
#include "AnswerSupport.h"
#include "DesktopSandbox.h"
#include "Actions/RecentDocuments.h"
#include "TestSupport.h"

#include <QDateTime>

#include "Desktop/GLibSupport.h"

class TestRecentDocuments : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void shouldFindDocumentsByNameAndPinyin_data();
    void shouldFindDocumentsByNameAndPinyin();
    void shouldFollowChangesOfTheListAndTheFiles();
    void shouldBearABrokenList();
    void shouldOpenTheDocument();

private:
    struct Recent
    {
        QString file; // relative to the documents folder, or an address
        qint64 visited;
    };
    QString document(const QString &name) const { return m_desktop->path("docs/" + name); }
    void writeList(const QVector<Recent> &recent);
    QStringList titles(const QString &typed);

    std::unique_ptr<DesktopSandbox> m_desktop;
    RecentDocuments m_recent;
};

void TestRecentDocuments::initTestCase()
{
    m_desktop = std::make_unique<DesktopSandbox>();
    m_desktop->addHandler(QStringLiteral("text"), {QStringLiteral("text/plain")});
    QCOMPARE(RecentDocuments::listFile(), m_desktop->path("data/recently-used.xbel"));
}

void TestRecentDocuments::init()
{
    m_desktop->clear();
    QDir(m_desktop->path("docs")).removeRecursively();
    for (const char *name : {"报告.txt", "周报.txt", "notes.txt", "a1.txt", "a2.txt", "旧.txt"})
        m_desktop->write("docs/" + QString::fromUtf8(name), "text\n");
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    writeList({{"报告.txt", now - 300},
               {"周报.txt", now - 200},
               {"notes.txt", now - 100},
               {"a1.txt", now - 50},
               {"a2.txt", now - 40},
               {"gone.txt", now},
               {"https://example.org/page", now}});
}

void TestRecentDocuments::writeList(const QVector<Recent> &recent)
{
    GBookmarkFile *bookmarks = g_bookmark_file_new();
    for (const Recent &entry : recent) {
        const QByteArray uri = entry.file.contains(QLatin1Char(':'))
                                   ? entry.file.toUtf8()
                                   : QUrl::fromLocalFile(document(entry.file)).toEncoded();
        GDateTime *time = g_date_time_new_from_unix_utc(entry.visited);
        g_bookmark_file_set_mime_type(bookmarks, uri.constData(), "text/plain");
        g_bookmark_file_add_application(bookmarks, uri.constData(), "gedit", "gedit %u");
        g_bookmark_file_set_visited_date_time(bookmarks, uri.constData(), time);
        g_bookmark_file_set_modified_date_time(bookmarks, uri.constData(), time);
        g_date_time_unref(time);
    }
    GError *error = nullptr;
    QVERIFY2(g_bookmark_file_to_file(
                 bookmarks, QFile::encodeName(RecentDocuments::listFile()).constData(), &error),
             error ? error->message : "");
    g_bookmark_file_free(bookmarks);
}

QStringList TestRecentDocuments::titles(const QString &typed)
{
    QStringList titles;
    for (const ActionRow &row : settledRows(m_recent, typed)) {
        titles << row.title;
        // Below every catalogue item, whatever the band.
        if (row.placement != ActionPlacement::AfterCatalogue)
            return {QStringLiteral("placed with the catalogue")};
    }
    return titles;
}

void TestRecentDocuments::shouldFindDocumentsByNameAndPinyin_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("titles");

    QTest::newRow("by name") << "notes" << QStringList{"notes.txt"};
    QTest::newRow("pinyin initials") << "bg" << QStringList{"报告.txt"};
    QTest::newRow("a better band first") << "bao" << QStringList{"报告.txt", "周报.txt"};
    QTest::newRow("within a band the latest first") << "a" << QStringList{"a2.txt", "a1.txt"};
    QTest::newRow("a file that is gone") << "gone" << QStringList{};
    QTest::newRow("an address") << "page" << QStringList{};
    QTest::newRow("nothing typed") << " " << QStringList{};
}

void TestRecentDocuments::shouldFindDocumentsByNameAndPinyin()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, titles);
    QCOMPARE(this->titles(typed), titles);
}

void TestRecentDocuments::shouldFollowChangesOfTheListAndTheFiles()
{
    QCOMPARE(titles(QStringLiteral("jiu")), QStringList());
    // A document the desktop added since.
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    writeList({{"报告.txt", now - 300}, {"旧.txt", now}});
    QCOMPARE(titles(QStringLiteral("jiu")), QStringList{"旧.txt"});
    QCOMPARE(titles(QStringLiteral("notes")), QStringList());
    // A file deleted while the list stays as it was.
    QVERIFY(QFile::remove(document("报告.txt")));
    QCOMPARE(titles(QStringLiteral("bg")), QStringList());
}

// A list another program left damaged is told of, and the documents found so far stay.
void TestRecentDocuments::shouldBearABrokenList()
{
    QCOMPARE(titles(QStringLiteral("notes")), QStringList{"notes.txt"});
    QFile list(RecentDocuments::listFile());
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("<?xml version=\"1.0\"?>\n<xbel version=\"1.0\"><bookmark href=");
    list.close();
    LogCapture &log = LogCapture::install();
    QCOMPARE(titles(QStringLiteral("notes")), QStringList{"notes.txt"});
    QCOMPARE(log.lines().size(), 1);
    QVERIFY(QFile::remove(RecentDocuments::listFile()));
    QCOMPARE(titles(QStringLiteral("notes")), QStringList());
}

void TestRecentDocuments::shouldOpenTheDocument()
{
    const QVector<ActionRow> rows = settledRows(m_recent, QStringLiteral("zhoubao"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().note, m_desktop->path("docs"));
    QCOMPARE(rows.first().iconName, QStringLiteral("text-plain"));
    const ActionOutcome outcome = m_recent.run(rows.first(), {});
    QCOMPARE(outcome.status, ActionOutcome::Status::Pending);
    QTRY_VERIFY(outcome.pending->isFinished());
    QVERIFY(outcome.pending->result());
    QTRY_COMPARE(m_desktop->opened(QStringLiteral("text")), QStringList{document("周报.txt")});
    // Gone before it was run.
    QVERIFY(QFile::remove(document("周报.txt")));
    QCOMPARE(m_recent.run(rows.first(), {}).status, ActionOutcome::Status::Refused);
}

QUIVER_TEST_MAIN(TestRecentDocuments)

#include "tst_recentdocuments.moc"
