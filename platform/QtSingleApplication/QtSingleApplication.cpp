#include "QtSingleApplication.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QWidget>

#include "HandOver.h"
#include "HandOverServer.h"

QtSingleApplication::QtSingleApplication(const QString &id, int &argc, char **argv)
    : QApplication(argc, argv)
    , m_id(id)
{}

QtSingleApplication::~QtSingleApplication() = default;

QString QtSingleApplication::id() const
{
    return m_id;
}

QString QtSingleApplication::folderProblem() const
{
    return m_folderProblem;
}

bool QtSingleApplication::isRunning()
{
    if (m_role != Role::Undecided)
        return m_role == Role::Secondary;
    std::string problem;
    m_folder = QString::fromStdString(HandOver::folder(m_id.toStdString(), true, &problem));
    if (m_folder.isEmpty()) {
        m_folderProblem = QString::fromStdString(problem);
        m_role = Role::Alone;
        return false;
    }
    m_lock = std::make_unique<QLockFile>(m_folder + QStringLiteral("/lock"));
    // Only a living owner counts: a lock whose process has gone is stale however young.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_role = Role::Secondary;
        return true;
    }
    m_role = Role::Primary;
    // We hold the lock, so a socket file left there belongs to a process that is gone.
    auto *server = new HandOverServer(this);
    if (!server->listen(m_folder + QStringLiteral("/socket")))
        qWarning("QtSingleApplication: cannot listen in %s: %s", qPrintable(m_folder),
                 qPrintable(server->errorString()));
    connect(server, &HandOverServer::messageReceived, this, [this](const QString &message) {
        emit messageReceived(message);
        if (m_activateOnMessage)
            activateWindow();
    });
    return false;
}

bool QtSingleApplication::sendMessage(const QString &message, int timeout)
{
    if (!isRunning())
        return false;

    const QDeadlineTimer deadline(timeout);
    QLocalSocket socket;
    const QString socketPath = m_folder + QStringLiteral("/socket");
    // The running instance may have taken the lock a moment ago and not be listening yet.
    for (;;) {
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(int(qMin<qint64>(deadline.remainingTime(), 500))))
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    if (!HandOver::isSameUser(int(socket.socketDescriptor())))
        return false;

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
    return socket.read(1).at(0) == HandOver::acknowledgement;
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
