#include "KelNetwork.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QProcess>
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
    void shouldFetchOnlyTheWeb_data();
    void shouldFetchOnlyTheWeb();
    void shouldFollowRedirectsOnlyWithinTheWeb_data();
    void shouldFollowRedirectsOnlyWithinTheWeb();
    void shouldGiveNothingPastTheSizeLimit_data();
    void shouldGiveNothingPastTheSizeLimit();
    void shouldNotUnpackCompressedBodies();
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
    QCOMPARE(KelNetwork::blockingGet(server.url(path), 5000), body);
}

void TestKelNetwork::shouldGiveUpAfterTimeout()
{
    LocalHttpServer server;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(KelNetwork::blockingGet(server.url("/silent"), 800).isEmpty());
    QVERIFY(timer.elapsed() >= 700);
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
}

void TestKelNetwork::shouldFailOnClosedPort()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    QVERIFY(KelNetwork::blockingGet(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port)), 5000)
                .isEmpty());
    QVERIFY(KelNetwork::blockingGet(QUrl(), 5000).isEmpty());
}

void TestKelNetwork::shouldFetchOnlyTheWeb_data()
{
    QTest::addColumn<QUrl>("url");
    // A page may name any of these as its icon.
    QTest::newRow("local file") << QUrl::fromLocalFile("/etc/hostname");
    QTest::newRow("resource") << QUrl("qrc:/qt-project.org/qmime/freedesktop.org.xml");
    QTest::newRow("data") << QUrl("data:text/plain,secret");
    QTest::newRow("ftp") << QUrl("ftp://127.0.0.1/file");
}

void TestKelNetwork::shouldFetchOnlyTheWeb()
{
    QFETCH(QUrl, url);
    QVERIFY(KelNetwork::blockingGet(url, 2000).isEmpty());
}

void TestKelNetwork::shouldFollowRedirectsOnlyWithinTheWeb_data()
{
    QTest::addColumn<bool>("tlsFirst");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("to a local file") << false << "file:///etc/hostname" << QByteArray();
    QTest::newRow("http to https") << false << "TLS/ok" << page;
    QTest::newRow("https to https") << true << "TLS/ok" << page;
    QTest::newRow("https down to http") << true << "PLAIN/ok" << QByteArray();
    QTest::newRow("relative") << false << "/ok" << page;
}

void TestKelNetwork::shouldFollowRedirectsOnlyWithinTheWeb()
{
    QFETCH(bool, tlsFirst);
    QFETCH(QString, target);
    QFETCH(QByteArray, body);
    LocalHttpServer plain;
    LocalHttpServer tls(LocalHttpServer::Transport::Tls);
    answerAll(plain);
    answerAll(tls);
    target.replace("TLS", tls.url().toString()).replace("PLAIN", plain.url().toString());
    LocalHttpServer &first = tlsFirst ? tls : plain;
    first.setAnswer("/go", {"302 Found", {}, "Location: " + target.toUtf8() + "\r\n"});
    QCOMPARE(KelNetwork::blockingGet(first.url("/go"), 5000), body);
}

void TestKelNetwork::shouldGiveNothingPastTheSizeLimit_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("announced");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<bool>("kept");
    const int fourMiB = 4 * 1024 * 1024;
    QTest::newRow("page at the limit") << fourMiB << true << KelNetwork::defaultMaximumSize << true;
    QTest::newRow("page past the limit")
        << fourMiB + 1 << true << KelNetwork::defaultMaximumSize << false;
    QTest::newRow("unannounced page past the limit")
        << fourMiB + 1 << false << KelNetwork::defaultMaximumSize << false;
    QTest::newRow("update reply past 64 KiB")
        << 64 * 1024 + 1 << true << qint64(64 * 1024) << false;
    QTest::newRow("update reply within 64 KiB") << 1000 << false << qint64(64 * 1024) << true;
}

// A few kilobytes of gzip unpack to any size: the body is asked for as it is, never unpacked.
void TestKelNetwork::shouldNotUnpackCompressedBodies()
{
    QProcess gzip;
    gzip.start("gzip", {"-c"});
    gzip.write(QByteArray(64 * 1024 * 1024, '\0'));
    gzip.closeWriteChannel();
    QVERIFY(gzip.waitForFinished(30000));
    const QByteArray packed = gzip.readAllStandardOutput();
    QVERIFY(packed.size() < 100 * 1024);
    LocalHttpServer server;
    server.setAnswer("/bomb", {"200 OK", packed, "Content-Encoding: gzip\r\n"});
    QCOMPARE(KelNetwork::blockingGet(server.url("/bomb"), 10000), packed);
}

void TestKelNetwork::shouldGiveNothingPastTheSizeLimit()
{
    QFETCH(int, size);
    QFETCH(bool, announced);
    QFETCH(qint64, limit);
    QFETCH(bool, kept);
    LocalHttpServer server;
    const QByteArray body(size, 'x');
    server.setAnswer("/big", {"200 OK", body, {}, announced});
    const QByteArray got = KelNetwork::blockingGet(server.url("/big"), 10000, limit);
    QCOMPARE(got.size(), kept ? size : 0);
}

QUIVER_TEST_MAIN(TestKelNetwork)
#include "tst_kelnetwork.moc"
