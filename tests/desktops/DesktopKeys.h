#pragma once

#include <QElapsedTimer>
#include <QKeySequence>
#include <QPoint>
#include <QString>

#include <memory>

// A user's keyboard and mouse in the desktop session that tests/desktops/session.sh made. Input
// goes in by the desktop's own means, so that the compositor routes it, fires its shortcuts and
// counts it as user activity the way it does for real input: on GNOME through Mutter's
// org.gnome.Mutter.RemoteDesktop, on KWin through its org_kde_kwin_fake_input protocol, on a
// plain X server through XTest. Windows are X11 windows of the session's display (Xwayland on the
// Wayland desktops), as the program under test sees them with QT_QPA_PLATFORM=xcb.
//
// Each call returns once the desktop has taken the input, not once a client has handled it:
// check the outcome with QTRY_*. Keys are looked up in the session's keymap (US).
class DesktopKeys
{
public:
    DesktopKeys();
    ~DesktopKeys();
    DesktopKeys(const DesktopKeys &) = delete;
    DesktopKeys &operator=(const DesktopKeys &) = delete;

    // Connects to the desktop QUIVER_TEST_DESKTOP names. False, with the reason in error(), when
    // the test runs outside session.sh or the desktop refuses.
    bool open();
    // "gnome", "kwin" or "openbox".
    QString desktop() const { return m_desktop; }
    // Why the last call failed.
    QString error() const { return m_error; }

    // Types text the keymap has keys for (Latin letters, digits, punctuation); '\n' is Return.
    bool type(const QString &text);
    // Presses each combination of the sequence in turn: modifiers down, the key down and up,
    // modifiers up. Alt+Space, Ctrl+A, Return, Escape, Meta+F1, …
    bool press(const QKeySequence &keys);
    // A left click at a point of the X11 window, in the window's own coordinates. A click on the
    // spot of the one before waits out the double-click time first, so it stays a single click.
    bool click(unsigned long window, const QPoint &point);
    // Gives the X11 window the keyboard the way a user would: a click in its middle, which all
    // three desktops pass on to the window after they activate and raise it (use click() where
    // the middle is no place for one). Waits for the window to be mapped first, and true once it
    // has the keyboard.
    bool focusWindow(unsigned long window);

    // Where the X server has the pointer. Xwayland only follows it over X11 windows.
    QPoint pointerPosition() const;
    // The X11 window that holds the input focus. When no client's window does, X names the
    // window manager's own (Mutter, openbox) or PointerRoot, 1 (KWin).
    unsigned long focusedWindow() const;
    // Whether the input focus is on the window or on one of its descendants. On GNOME the shell
    // takes the keys for its overview and dialogs without moving the X11 focus, so there this
    // stays true: shellEval("imports.ui.main.modalCount") tells such a grab.
    bool hasFocus(unsigned long window) const;
    // The window's title as the window manager reads it (_NET_WM_NAME, else WM_NAME).
    QString windowTitle(unsigned long window) const;

    // GNOME only: runs JavaScript in the shell through org.gnome.Shell.Eval (session.sh turns
    // the shell's unsafe mode on for this). False, with the exception in error(), when it throws.
    // The result is the value as JSON.
    bool shellEval(const QString &script, QString *result = nullptr);
    // GNOME only: whether Mutter binds the key combination, to one of its own actions or to an
    // accelerator grabbed for another program (gsd-media-keys' custom keybindings): these grabs
    // land a while after the setting changed.
    bool shellBinds(int combination);

    class Backend;

private:
    struct Stroke
    {
        unsigned keycode = 0;
        unsigned keysym = 0;
        bool shift = false;
    };
    bool stroke(unsigned keysym, Stroke *stroke);
    bool key(const Stroke &stroke, bool down);
    bool pointerTo(const QPoint &global);
    bool fail(const QString &why);

    QString m_desktop;
    QString m_error;
    struct _XDisplay *m_display = nullptr;
    std::unique_ptr<Backend> m_backend;
    QElapsedTimer m_lastClick;
    QPoint m_lastClickAt;
};
