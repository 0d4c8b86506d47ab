#pragma once

#include <QApplication>
#include <QPointer>

#include <memory>

class QLockFile;

// An application object that knows whether another process with the same id is running for
// the same user, and lets a later process hand a text message to the first one.
//
// The first process to ask isRunning() takes a lock file and listens on a local socket, both in
// a folder of the user's alone named after the id and the user id (HandOver::folder). A lock
// left by a crashed process is taken over, and its socket replaced, so a crash never blocks
// later starts. Where that folder is not the user's alone, nothing is handed over: each
// process runs on its own.
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
    // Why nothing can be handed over, when the folder was found unsafe; empty otherwise.
    QString folderProblem() const;

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
    enum class Role { Undecided, Primary, Secondary, Alone };

    QString m_id;
    Role m_role = Role::Undecided;
    QString m_folder;
    QString m_folderProblem;
    std::unique_ptr<QLockFile> m_lock;
    QPointer<QWidget> m_activationWindow;
    bool m_activateOnMessage = false;
};
