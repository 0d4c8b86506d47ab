#include "KelNetwork.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QTcpServer>

#include "LocalHttpServer.h"

namespace {
const QByteArray page("<html><title>本地</title></html>");

void answerAll(LocalHttpServer &server)
{
    server.setAnswer("/ok", {"200 OK", page, {}});
    server.setAnswer("/moved", {"302 Found", {}, "Location: /ok\r\n"});
    server.setAnswer("/loop", {"302 Found", {}, "Location: /loop\r\n"});
}
} // namespace

class TestKelNetwork : public QObject
{
    Q_OBJECT

private slots:
    void shouldReturnBodyOrNothing_data();
    void shouldReturnBodyOrNothing();
    void shouldGiveUpAfterTimeout();
    void shouldFailOnClosedPort();
};

void TestKelNetwork::shouldReturnBodyOrNothing_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("200") << "/ok" << QByteArray("<html><title>本地</title></html>");
    QTest::newRow("404") << "/gone" << QByteArray();
    QTest::newRow("redirect") << "/moved" << QByteArray("<html><title>本地</title></html>");
    QTest::newRow("endless redirect") << "/loop" << QByteArray();
}

void TestKelNetwork::shouldReturnBodyOrNothing()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, body);
    LocalHttpServer server;
    answerAll(server);
    QCOMPARE(KelNetwork::net_Get(server.url(path), 5000), body);
}

void TestKelNetwork::shouldGiveUpAfterTimeout()
{
    LocalHttpServer server;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(KelNetwork::net_Get(server.url("/silent"), 800).isEmpty());
    QVERIFY(timer.elapsed() >= 700);
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
}

void TestKelNetwork::shouldFailOnClosedPort()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    QVERIFY(KelNetwork::net_Get(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port)), 5000)
                .isEmpty());
    QVERIFY(KelNetwork::net_Get(QUrl(), 5000).isEmpty());
}

QUIVER_TEST_MAIN(TestKelNetwork)
#include "tst_kelnetwork.moc"
