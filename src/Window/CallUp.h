#pragma once

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

#include "App/CommandLine.h"
#include "Window/WindowPlacement.h"

#include <optional>

class KeyboardCatcher;
class LatinInput;
class QLineEdit;
class QWidget;
class ShowHotkey;
class TrayIcon;

// How the main window is called up and sent away: the show/hide hotkey, the tray icon, the
// commands another start hands over, closing the window, and taking the focus the window
// manager grants. The window is brought in front with the keyboard in the search box, or hidden
// where something can bring it back (else minimised).
class CallUp final : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CallUp)

public:
    CallUp(QWidget *window, QLineEdit *search, TrayIcon *tray);

    // Registers the hotkey the settings hold, and follows their changes; the window is up to
    // take its notices.
    void startHotkey();
    // Hiding may minimise from now on, when nothing could bring the window back.
    void setReady() { m_ready = true; }

    // Whether a hidden window can be brought back: by the tray icon, the X11 hotkey (which a
    // Wayland session only delivers while one of our windows has the focus) or the desktop's own
    // shortcut. Without any, hiding minimises instead.
    bool canHide(bool trayHidesToo) const;
    // What could bring a hidden window back, in words for the log.
    QStringList waysBack() const;

    // Hides a window in front, else brings it there.
    void toggle();
    void command(CommandLine::Command command, const Activation::Request &request);
    // Shows the window in front with the keyboard in the search box.
    void bringToFront();
    // Hides the window (and the tray icon with it when asked), or minimises it when nothing
    // could bring it back.
    void hideWindow(bool hideTray);
    // The search box takes the keyboard, its text selected so that typing replaces it.
    void focusSearch();

    // The window system gave the window the keyboard's focus, which Qt may not report as
    // activation: when the window was hidden and shown again within the time Qt keeps a window
    // active after losing the focus.
    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

protected:
    // The window's own events: shown, activated, hidden, closed.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isInFront() const;
    void activationArrived();
    // keyboard false: the focus only passes through the pointer's window.
    void focusArrived(bool keyboard);
    void registerHotkey(const QString &key);
    // Minimises a hidden window when neither tray nor hotkey could bring it back.
    void keepReachable();

    QWidget *m_window;
    QLineEdit *m_search;
    TrayIcon *m_tray;
    KeyboardCatcher *m_keyboardCatcher;
    LatinInput *m_latinInput;
    ShowHotkey *m_showHotkey = nullptr;
    WindowPlacement m_placement;
    bool m_ready = false;
    // Since a call-up asked for the window to be activated, until the window manager reports it.
    QElapsedTimer m_activationRequested;
    // The window the window manager named active then.
    std::optional<quint32> m_activeWhenRequested;
};
