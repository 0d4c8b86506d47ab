#include "App/TerminationWatcher.h"
#include "TestSupport.h"

#include <cerrno>
#include <csignal>

// SIGTERM, SIGINT and SIGHUP end the program through its event loop; the handler in between
// may interrupt any code, which must find errno as it left it.
class TestTerminationWatcher : public QObject
{
    Q_OBJECT

private slots:
    void shouldKeepErrnoAcrossTheHandler_data();
    void shouldKeepErrnoAcrossTheHandler();
};

void TestTerminationWatcher::shouldKeepErrnoAcrossTheHandler_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestTerminationWatcher::shouldKeepErrnoAcrossTheHandler()
{
    QFETCH(int, signalNumber);
    TerminationWatcher watcher;
    // Signals faster than the event loop reads them fill the pipe: the handler's write fails
    // from then on, and must neither wait nor leave its errno behind.
    for (int sent = 0; sent < 5000; ++sent) {
        errno = EDOM;
        ::raise(signalNumber);
        QCOMPARE(errno, EDOM);
    }
}

QUIVER_TEST_MAIN(TestTerminationWatcher)
#include "tst_terminationwatcher.moc"
