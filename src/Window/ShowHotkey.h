#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "Desktop/DesktopShortcut.h"

class QHotkey;

// The key combination that shows and hides the window ("HotKey/ShowApp"). On X11 it is a key
// grab of ours. In a Wayland session, where such a grab only works while one of our windows
// has the focus, it becomes the desktop's own shortcut (GNOME, KDE Plasma, the desktop portal)
// where the desktop offers one.
class ShowHotkey final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ShowHotkey)

public:
    explicit ShowHotkey(QObject *parent = nullptr);
    ~ShowHotkey() override;

    // Registers the combination (its text in the native form), replacing what was registered;
    // an empty text removes it, the desktop's shortcut included.
    void set(const QString &key);
    // A press brings a hidden window back: a grab outside Wayland, or the desktop's shortcut.
    bool isWayBack() const;
    // Where the hotkey lives now, in words for the settings window and the log.
    QString place() const;

signals:
    // A press: show or hide the window.
    void activated();
    // The X11 grab's press itself, from within the X event handling (see QHotkey::pressed).
    void pressed();
    // Whether the last registration worked (not emitted for an empty combination).
    void result(bool isOk);
    // The combination is someone else's: what to tell the user.
    void refused(const QString &text);
    void placeChanged(const QString &place);

private:
    void setPlace(const QString &place);
    void onDesktopResult(const DesktopShortcut::Result &bound);
    // The X11 grab; false when another client holds the combination.
    bool grab(const QKeySequence &sequence);

    QHotkey *m_hotkey = nullptr;
    std::unique_ptr<DesktopShortcut> m_desktop;
    bool m_desktopBound = false;
    // An X11 session whose desktop runs our command for the combination (made its shortcut in
    // a Wayland session).
    bool m_servedByDesktop = false;
    QString m_key;
    QString m_place;
    // Which set() a pending answer of the desktop belongs to.
    int m_generation = 0;
    int m_pendingGeneration = 0;
};
