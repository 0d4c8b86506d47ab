#include "QtSingleApplication.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QWidget>

#include <unistd.h>

namespace {
constexpr char acknowledgement = '\x06';
}

QtSingleApplication::QtSingleApplication(const QString &id, int &argc, char **argv)
    : QApplication(argc, argv)
    , m_id(id)
{}

QtSingleApplication::~QtSingleApplication() = default;

QString QtSingleApplication::id() const
{
    return m_id;
}

QString QtSingleApplication::basePath() const
{
    // The user id in the name keeps two users apart even when they share /tmp.
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString dir =
        !runtimeDir.isEmpty() && QFileInfo(runtimeDir).isDir() ? runtimeDir : QDir::tempPath();
    return dir + QLatin1Char('/') + m_id + QLatin1Char('-') + QString::number(::getuid());
}

bool QtSingleApplication::isRunning()
{
    if (m_role == Role::Undecided) {
        m_lock = std::make_unique<QLockFile>(basePath() + QStringLiteral(".lock"));
        // Only a living owner counts: a lock whose process has gone is stale however young.
        m_lock->setStaleLockTime(0);
        if (m_lock->tryLock(0)) {
            m_role = Role::Primary;
            startListening();
        } else {
            m_role = Role::Secondary;
        }
    }
    return m_role == Role::Secondary;
}

void QtSingleApplication::startListening()
{
    const QString socketPath = basePath() + QStringLiteral(".socket");
    // We hold the lock, so any socket file left there belongs to a process that is gone.
    QLocalServer::removeServer(socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath)) {
        qWarning("QtSingleApplication: cannot listen on %s: %s", qPrintable(socketPath),
                 qPrintable(m_server->errorString()));
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this,
                    [this, socket] { readMessage(socket); });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

void QtSingleApplication::readMessage(QLocalSocket *socket)
{
    QDataStream in(socket);
    in.startTransaction();
    QString message;
    in >> message;
    if (!in.commitTransaction())
        return; // wait for the rest of the message
    socket->write(&acknowledgement, 1);
    socket->flush();
    emit messageReceived(message);
    if (m_activateOnMessage)
        activateWindow();
}

bool QtSingleApplication::sendMessage(const QString &message, int timeout)
{
    if (!isRunning())
        return false;

    const QDeadlineTimer deadline(timeout);
    QLocalSocket socket;
    const QString socketPath = basePath() + QStringLiteral(".socket");
    // The running instance may have taken the lock a moment ago and not be listening yet.
    for (;;) {
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(int(qMin<qint64>(deadline.remainingTime(), 500))))
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }

    QByteArray block;
    QDataStream out(&block, QIODevice::WriteOnly);
    out << message;
    socket.write(block);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    return socket.read(1).at(0) == acknowledgement;
}

void QtSingleApplication::setActivationWindow(QWidget *window, bool activateOnMessage)
{
    m_activationWindow = window;
    m_activateOnMessage = activateOnMessage;
}

QWidget *QtSingleApplication::activationWindow() const
{
    return m_activationWindow;
}

void QtSingleApplication::activateWindow()
{
    if (!m_activationWindow)
        return;
    m_activationWindow->setWindowState(m_activationWindow->windowState() & ~Qt::WindowMinimized);
    m_activationWindow->show();
    m_activationWindow->raise();
    m_activationWindow->activateWindow();
}
