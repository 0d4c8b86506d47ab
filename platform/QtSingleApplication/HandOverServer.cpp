#include "HandOverServer.h"

#include <QDataStream>
#include <QLocalSocket>
#include <QTimer>
#include <QtEndian>

#include "HandOver.h"

namespace {
constexpr int maximumPeers = 16;
// The starter reads the X server's time, up to a second, after it has connected.
constexpr int deliveryTimeoutMs = 3000;
// A serialised QString starts with its length in bytes.
constexpr qint64 lengthBytes = 4;
} // namespace

HandOverServer::HandOverServer(QObject *parent)
    : QObject(parent)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &HandOverServer::accept);
}

HandOverServer::~HandOverServer() = default;

bool HandOverServer::listen(const QString &path)
{
    QLocalServer::removeServer(path);
    return m_server.listen(path);
}

QString HandOverServer::errorString() const
{
    return m_server.errorString();
}

void HandOverServer::accept()
{
    while (QLocalSocket *peer = m_server.nextPendingConnection()) {
        if (!HandOver::isSameUser(int(peer->socketDescriptor()))) {
            peer->abort();
            peer->deleteLater();
            continue;
        }
        if (m_peers.size() == maximumPeers)
            drop(m_peers.first());
        m_peers.append(peer);
        peer->setReadBufferSize(lengthBytes + HandOver::maximumMessageBytes);
        connect(peer, &QLocalSocket::readyRead, this, [this, peer] { read(peer); });
        connect(peer, &QLocalSocket::disconnected, this, [this, peer] { drop(peer); });
        QTimer::singleShot(deliveryTimeoutMs, peer, [this, peer] { drop(peer); });
    }
}

void HandOverServer::read(QLocalSocket *peer)
{
    const QByteArray length = peer->peek(lengthBytes);
    if (length.size() < lengthBytes)
        return;
    // Parsed only once whole, and refused at once when it claims more than a message of ours.
    const quint32 bytes = qFromBigEndian<quint32>(length.constData());
    if (bytes > HandOver::maximumMessageBytes) {
        drop(peer);
        return;
    }
    if (peer->bytesAvailable() < lengthBytes + bytes)
        return;
    QDataStream in(peer);
    QString message;
    in >> message;
    peer->write(&HandOver::acknowledgement, 1);
    peer->flush();
    drop(peer);
    emit messageReceived(message);
}

void HandOverServer::drop(QLocalSocket *peer)
{
    m_peers.removeOne(peer);
    peer->disconnect(this);
    peer->abort();
    peer->deleteLater();
}
