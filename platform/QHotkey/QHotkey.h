#pragma once

#include <QKeySequence>
#include <QObject>

// A system-wide hotkey: while registered, the first key combination of its shortcut triggers
// activated() whichever window has the focus. On X11 the combination is grabbed on the root
// window, with and without NumLock and CapsLock.
class QHotkey final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QHotkey)

public:
    explicit QHotkey(QObject *parent = nullptr);
    ~QHotkey() override;

    QKeySequence shortcut() const;
    // Replaces the shortcut (unregistering the old one); registers it when autoRegister is true
    // and returns whether that worked.
    bool setShortcut(const QKeySequence &shortcut, bool autoRegister = false);

    bool isRegistered() const;

    // The X keysym of a key without its modifiers (Qt::Key_Space → XK_space), 0 for a key X
    // has no symbol for; letters give their upper case symbol.
    static quint32 keysym(int key);
    // False when the shortcut is empty or cannot be grabbed: another client holds it, or the
    // session has no X11 display.
    bool setRegistered(bool registered);

signals:
    void activated();
    // At the press itself, from within the X event handling, while the keyboard is held still
    // for a moment: keys typed right after it reach whoever grabs the keyboard now.
    void pressed();

private:
    bool grab();
    void ungrab();

    QKeySequence m_shortcut;
    bool m_registered = false;
    quint32 m_keycode = 0;
    quint16 m_modifiers = 0;
};
