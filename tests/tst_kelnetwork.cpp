#include "KelNetwork.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

namespace {
// A small HTTP server on 127.0.0.1 with canned answers per path; "/silent" never answers.
class LocalHttpServer final : public QObject
{
public:
    LocalHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [socket] { answer(socket); });
        });
    }

    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }

private:
    static void answer(QTcpSocket *socket)
    {
        const QByteArray request = socket->readAll();
        const QByteArray path = request.split(' ').value(1);
        QByteArray status = "200 OK", body, extra;
        if (path == "/ok") {
            body = "<html><title>本地</title></html>";
        } else if (path == "/moved") {
            status = "302 Found";
            extra = "Location: /ok\r\n";
        } else if (path == "/loop") {
            status = "302 Found";
            extra = "Location: /loop\r\n";
        } else if (path == "/silent") {
            return;
        } else {
            status = "404 Not Found";
            body = "missing";
        }
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\n" +
                      extra + "Content-Length: " + QByteArray::number(body.size()) +
                      "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
};
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
