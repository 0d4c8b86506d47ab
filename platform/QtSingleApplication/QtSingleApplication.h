#pragma once

#include <QApplication>
#include <QPointer>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// An application object that knows whether another process with the same id is running for
// the same user, and lets a later process hand a text message to the first one.
//
// The first process to ask isRunning() takes a lock file and listens on a local socket, both
// named after the id and the user id inside the user's runtime folder ($XDG_RUNTIME_DIR, or
// the temporary folder). A lock left by a crashed process is taken over, and its socket
// replaced, so a crash never blocks later starts.
class QtSingleApplication final : public QApplication
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QtSingleApplication)

public:
    QtSingleApplication(const QString &id, int &argc, char **argv);
    ~QtSingleApplication() override;

    QString id() const;

    // True when another process of this id and user holds the lock. The first call decides
    // and, in the process that gets the lock, starts listening for messages.
    bool isRunning();

    // Delivers message to the running instance and waits up to timeout ms for its receipt.
    bool sendMessage(const QString &message, int timeout = 5000);

    void setActivationWindow(QWidget *window, bool activateOnMessage = true);
    QWidget *activationWindow() const;

public slots:
    // Shows the activation window in normal state, raises it and gives it the focus.
    void activateWindow();

signals:
    void messageReceived(const QString &message);

private:
    enum class Role { Undecided, Primary, Secondary };

    QString basePath() const;
    void startListening();
    void readMessage(QLocalSocket *socket);

    QString m_id;
    Role m_role = Role::Undecided;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    QPointer<QWidget> m_activationWindow;
    bool m_activateOnMessage = false;
};
