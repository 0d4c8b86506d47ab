#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (a session logout, a kill, Ctrl+C in a terminal) into an
// ordinary application quit, so the main window still saves its state and logs the exit.
class TerminationWatcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TerminationWatcher)

public:
    explicit TerminationWatcher(QObject *parent = nullptr);
    ~TerminationWatcher() override;

private:
    static void handleSignal(int signalNumber);

    QSocketNotifier *m_notifier = nullptr;
};
