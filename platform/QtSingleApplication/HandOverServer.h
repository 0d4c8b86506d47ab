#pragma once

#include <QList>
#include <QLocalServer>
#include <QObject>

class QLocalSocket;

// Takes the messages later processes hand over on a local socket, whatever its peers do: only
// processes of this user are heard; each connection delivers one message of at most
// HandOver::maximumMessageBytes within a few seconds or is dropped; and only a few connections
// are open at once, a new one dropping the oldest. So no peer can hold the instance up, make it
// parse a huge message, or use up its file descriptors (Qt's server stops listening for good
// when it cannot accept a connection).
class HandOverServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HandOverServer)

public:
    explicit HandOverServer(QObject *parent = nullptr);
    ~HandOverServer() override;

    // Listens on path, in place of a socket file left there.
    bool listen(const QString &path);
    QString errorString() const;

signals:
    void messageReceived(const QString &message);

private:
    void accept();
    void read(QLocalSocket *peer);
    void drop(QLocalSocket *peer);

    QLocalServer m_server;
    // Oldest first.
    QList<QLocalSocket *> m_peers;
};
