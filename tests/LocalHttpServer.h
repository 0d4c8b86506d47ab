#pragma once

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

// A certificate for 127.0.0.1 made once per test process with openssl and trusted by the
// process's default TLS configuration, so https to the local server verifies as on the web.
class LocalCertificate
{
public:
    static const LocalCertificate &instance()
    {
        static const LocalCertificate certificate;
        return certificate;
    }

    QSslCertificate certificate;
    QSslKey key;

private:
    LocalCertificate()
    {
        QTemporaryDir dir;
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                       "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                       dir.filePath("key.pem"), "-out", dir.filePath("cert.pem")});
        openssl.waitForFinished(30000);
        QFile cert(dir.filePath("cert.pem"));
        QFile key(dir.filePath("key.pem"));
        if (cert.open(QIODevice::ReadOnly))
            certificate = QSslCertificate(&cert, QSsl::Pem);
        if (key.open(QIODevice::ReadOnly))
            this->key = QSslKey(&key, QSsl::Rsa, QSsl::Pem);
        QSslConfiguration trusted = QSslConfiguration::defaultConfiguration();
        trusted.addCaCertificate(certificate);
        QSslConfiguration::setDefaultConfiguration(trusted);
    }
};

// A small HTTP server on 127.0.0.1 with canned answers per path, found with or without the
// query, over plain HTTP or TLS. A path without an answer gets a 404; "/silent" never answers.
// Every request target is recorded.
class LocalHttpServer final : public QTcpServer
{
public:
    enum class Transport { Plain, Tls };

    struct Answer
    {
        QByteArray status = "200 OK";
        QByteArray body;
        QByteArray headers;
        // Without it the body ends where the connection closes.
        bool announceLength = true;
        // Milliseconds before the answer is sent.
        int delay = 0;
    };

    explicit LocalHttpServer(Transport transport = Transport::Plain)
        : m_transport(transport)
    {
        if (transport == Transport::Tls)
            LocalCertificate::instance();
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
        });
    }

    void setAnswer(const QByteArray &path, const Answer &answer) { m_answers.insert(path, answer); }

    const QList<QByteArray> &requests() const { return m_requests; }

    QUrl url(const QString &path = QString()) const
    {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2%3")
                        .arg(m_transport == Transport::Tls ? "https" : "http")
                        .arg(serverPort())
                        .arg(path));
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        if (m_transport == Transport::Plain) {
            QTcpServer::incomingConnection(descriptor);
            return;
        }
        auto *socket = new QSslSocket(this);
        socket->setSocketDescriptor(descriptor);
        socket->setLocalCertificate(LocalCertificate::instance().certificate);
        socket->setPrivateKey(LocalCertificate::instance().key);
        addPendingConnection(socket);
        socket->startServerEncryption();
    }

private:
    void answer(QTcpSocket *socket)
    {
        const QByteArray path = socket->readAll().split(' ').value(1);
        m_requests << path;
        if (path == "/silent")
            return;
        const Answer missing{"404 Not Found", "missing", {}};
        const Answer answer =
            m_answers.value(path, m_answers.value(path.split('?').first(), missing));
        const QByteArray length =
            answer.announceLength
                ? "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n"
                : QByteArray();
        const QByteArray reply = "HTTP/1.1 " + answer.status +
                                 "\r\nContent-Type: text/html; charset=utf-8\r\n" + answer.headers +
                                 length + "Connection: close\r\n\r\n" + answer.body;
        QTimer::singleShot(answer.delay, socket, [socket, reply] {
            socket->write(reply);
            socket->disconnectFromHost();
        });
    }

    Transport m_transport;
    QHash<QByteArray, Answer> m_answers;
    QList<QByteArray> m_requests;
};
