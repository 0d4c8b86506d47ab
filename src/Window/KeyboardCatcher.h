#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVector>

#include <xcb/xproto.h>

class QWidget;

// Keeps the keys typed right after the hotkey. Until the window manager has given the shown
// window the focus, keys go to whatever window had it and are lost; a keyboard grab on an
// invisible window of ours catches them meanwhile, and they are handed to the target's window
// as the server gave them once it has the keyboard, so that an input method composes with them
// as with any key. X11 only; elsewhere it does nothing.
class KeyboardCatcher final : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KeyboardCatcher)

public:
    explicit KeyboardCatcher(QObject *parent = nullptr);
    ~KeyboardCatcher() override;

    // Catches the keyboard until target's window is active (or a second has passed), then
    // sends the caught keys to target in the order they were typed.
    void catchFor(QWidget *target);

    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

private:
    void release();
    void deliver(xcb_key_press_event_t key);
    bool ensureWindow();

    QPointer<QWidget> m_target;
    QVector<xcb_key_press_event_t> m_caught;
    QTimer m_deadline;
    quint32 m_window = 0;
    bool m_catching = false;
};
