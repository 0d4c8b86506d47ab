// Killing the program at any moment of its writes never damages the catalogue or the settings
// file, and every change it had committed is there afterwards.
#include "TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <csignal>

class TestCrashSafety : public QObject
{
    Q_OBJECT

private slots:
    void shouldKeepCommittedChangesThroughKills();

private:
    // The catalogue after a run that reported the steps next to committed as done.
    void checkCatalogue(const QString &file, int next, int committed);
};

namespace {
int count(QSqlQuery &query, const QString &statement)
{
    if (!query.exec(statement) || !query.next())
        return -1;
    return query.value(0).toInt();
}
} // namespace

void TestCrashSafety::checkCatalogue(const QString &file, int next, int committed)
{
    // Killed before it made its catalogue: nothing to look at yet.
    if (!QFile::exists(file))
        return;
    const auto removeConnection = qScopeGuard([] { QSqlDatabase::removeDatabase("check"); });
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
    db.setDatabaseName(file);
    QVERIFY(db.open());
    {
        QSqlQuery query(db);
        QVERIFY(query.exec("PRAGMA integrity_check"));
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toString(), QStringLiteral("ok"));
        // Killed while it made its tables, before any change.
        if (count(query, "SELECT COUNT(*) FROM sqlite_master WHERE name = 'Items'") != 1) {
            QVERIFY(committed < next);
            return;
        }
        // Every change the writer reported as done is stored. A change made but killed before
        // it was reported is made again by the next run, so some may be there twice; a batch
        // is there whole or not at all.
        QCOMPARE(count(query, "SELECT COUNT(*) FROM (SELECT substr(Name, 1, instr(Name, '/')) "
                              "AS Batch FROM Items WHERE Name LIKE '%/_' GROUP BY Batch "
                              "HAVING COUNT(*) % 5 != 0)"),
                 0);
        for (int step = next; step <= committed; ++step) {
            switch (step % 4) {
            case 0:
                QCOMPARE(count(query, QStringLiteral("SELECT COUNT(*) FROM Items WHERE Name "
                                                     "IN ('item %1 项目', 'renamed %2')")
                                          .arg(step)
                                          .arg(step + 2)) >= 1,
                         true);
                break;
            case 1:
                QCOMPARE(count(query, QStringLiteral("SELECT COUNT(*) FROM Items WHERE Name "
                                                     "LIKE 'item %1 项目/_'")
                                          .arg(step)) >= 5,
                         true);
                break;
            case 2:
                QCOMPARE(count(query, QStringLiteral("SELECT COUNT(*) FROM Items WHERE Name = "
                                                     "'renamed %1'")
                                          .arg(step)) >= 1,
                         true);
                break;
            }
        }
    }
    db.close();
}

void TestCrashSafety::shouldKeepCommittedChangesThroughKills()
{
    QTemporaryDir root;
    int next = 0;
    int kills = 0;
    // Each round runs the writer for a random moment and kills it; together at least 1,000
    // catalogue writes are interrupted somewhere.
    while (next < 1000) {
        QProcess writer;
        writer.start(QUIVER_CRASHWRITER, {root.path(), QString::number(next)});
        QVERIFY(writer.waitForStarted());
        // Killed at a random moment once it writes; how long it takes to start does not matter.
        QVERIFY(writer.waitForReadyRead(30000));
        QTest::qWait(int(QRandomGenerator::global()->bounded(0, 60)));
        ::kill(pid_t(writer.processId()), SIGKILL);
        QVERIFY(writer.waitForFinished(5000));
        QVERIFY2(++kills < 1000, "the writer hardly gets to write");
        int committed = next - 1;
        for (const QByteArray &step : writer.readAllStandardOutput().split('\n'))
            if (!step.isEmpty())
                committed = step.toInt();

        checkCatalogue(root.filePath("data/data.db"), next, committed);
        if (QTest::currentTestFailed())
            return;

        QSettings config(root.filePath("data/config.ini"), QSettings::IniFormat);
        QCOMPARE(config.status(), QSettings::NoError);
        // The next run starts a fresh block of four after the last one begun.
        next = (committed + 1 + 3) / 4 * 4;
    }
    qInfo("%d kills over %d steps", kills, next);
}

QUIVER_TEST_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
