#include "App/SessionEnd.h"

#include <QGuiApplication>
#include <QSessionManager>

SessionEnd::SessionEnd(QObject *parent)
    : QObject(parent)
{
    // Only the session manager sends the application a quit event; the program's own quits
    // end the event loop directly.
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::saveStateRequest, this, [](QSessionManager &manager) {
        manager.setRestartHint(QSessionManager::RestartNever);
    });
}

SessionEnd::~SessionEnd()
{
    qApp->removeEventFilter(this);
}

bool SessionEnd::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp && event->type() == QEvent::Quit) {
        QCoreApplication::exit(0);
        return true;
    }
    return false;
}
