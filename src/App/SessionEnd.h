#pragma once

#include <QObject>

// The program and the session manager. The session's end ends the program as "退出" does, even
// while the main window cannot hide (no tray, no hotkey) and would only minimise on its close,
// which Qt takes for a refused logout. And the session manager never restarts it: the autostart
// entry starts it at login, from its own folder.
class SessionEnd final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SessionEnd)

public:
    explicit SessionEnd(QObject *parent = nullptr);
    ~SessionEnd() override;

    bool eventFilter(QObject *watched, QEvent *event) override;
};
