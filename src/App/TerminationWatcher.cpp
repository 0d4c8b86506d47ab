#include "App/TerminationWatcher.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// The handler may only write to a descriptor; the event loop reads the other end.
int signalPipe[2] = {-1, -1};
} // namespace

TerminationWatcher::TerminationWatcher(QObject *parent)
    : QObject(parent)
{
    // Non-blocking: a handler must never wait, even on a pipe nobody has read for a while.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) {
        qWarning("TerminationWatcher: no socket pair, termination signals end the process");
        return;
    }
    m_notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [] {
        char signalNumber = 0;
        if (::read(signalPipe[1], &signalNumber, 1) == 1)
            QCoreApplication::quit();
    });

    struct sigaction action = {};
    action.sa_handler = &TerminationWatcher::handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signalNumber, &action, nullptr);
}

TerminationWatcher::~TerminationWatcher()
{
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        ::signal(signalNumber, SIG_DFL);
    if (signalPipe[0] >= 0) {
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
        signalPipe[0] = signalPipe[1] = -1;
    }
}

void TerminationWatcher::handleSignal(int signalNumber)
{
    // The interrupted code may be about to read errno.
    const int saved = errno;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
    errno = saved;
}
