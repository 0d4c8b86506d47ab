#pragma once

#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

// A small HTTP server on 127.0.0.1 with canned answers per path, found with or without the
// query. A path without an answer gets a 404; "/silent" never answers. Every request target
// is recorded.
class LocalHttpServer final : public QObject
{
public:
    struct Answer
    {
        QByteArray status = "200 OK";
        QByteArray body;
        QByteArray headers;
    };

    LocalHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
        });
    }

    void setAnswer(const QByteArray &path, const Answer &answer) { m_answers.insert(path, answer); }

    const QList<QByteArray> &requests() const { return m_requests; }

    QUrl url(const QString &path = QString()) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
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
        socket->write("HTTP/1.1 " + answer.status +
                      "\r\nContent-Type: text/html; charset=utf-8\r\n" + answer.headers +
                      "Content-Length: " + QByteArray::number(answer.body.size()) +
                      "\r\nConnection: close\r\n\r\n" + answer.body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QByteArray, Answer> m_answers;
    QList<QByteArray> m_requests;
};
