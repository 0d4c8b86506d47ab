#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <memory>

typedef struct _XDisplay Display;
class QWindow;

// Drives the input method of the session im-session.sh made (QUIVER_TEST_IM): types Latin keys
// as a keyboard would, through XTest, so they reach the focused window and its input method the
// way a user's keys do, and switches the input method between Latin and pinyin and reads that
// state back over D-Bus.
//
// "Active" means what a user gets with Ctrl+Space: fcitx5's pinyin instead of keyboard-us for
// the focused window, IBus's libpinyin instead of the xkb:us::eng engine (IBus keeps one engine
// for every window).
class InputMethodDriver : public QObject
{
    Q_OBJECT

public:
    enum class Kind { NoSession, Fcitx5, IBus };

    InputMethodDriver();
    ~InputMethodDriver() override;

    // The input method of this session, from QUIVER_TEST_IM.
    static Kind kind();
    static QString name();

    // False, with the reason, where the test does not run inside im-session.sh or the input
    // method or the X server cannot be reached. Every other call needs this to have succeeded.
    // Called again, it connects anew, to a restarted IBus where it listens now (the address in
    // IBUS_ADDRESS, else the one `ibus address` reads from the daemon's file).
    bool connect(QString *reason);

    // Waits until the X server sends the keyboard to the window or one of its children. Qt may
    // call a window active before that (on a _NET_ACTIVE_WINDOW message to it); a
    // key typed in between goes to the window that had the focus.
    bool waitForKeyboardFocus(const QWindow *window, int timeoutMs = 10000);
    // The same for another program's window, by its title.
    bool waitForKeyboardFocus(const QString &title, int timeoutMs = 10000);
    // Waits until the input method has an input context with the focus, which is when the
    // switch and the state below act on the application's window.
    bool waitForFocusedContext(int timeoutMs = 10000);
    // Waits until the input context with the focus is one of that program (its executable's
    // name): fcitx5 answers State() and switches for the context focused last, which may still
    // be another program's for a moment after a window got the keyboard. IBus's engine is the
    // same for every window: any focused context will do.
    bool waitForFocusedContextOf(const QString &program, int timeoutMs = 10000);
    // Waits until that program has an input context, focused or not: its keys reach the input
    // method from then on. fcitx5 only; IBus answers at once.
    bool waitForContextOf(const QString &program, int timeoutMs = 10000);
    // Asks the window manager to give the keyboard to the client window of that title, as a
    // pager or a click would.
    bool activateWindow(const QString &title);

    // Switches to pinyin (true) or to the Latin keyboard (false) and waits until the input
    // method reports it: fcitx5 for the focused input context, IBus for its global engine.
    bool setActive(bool active, int timeoutMs = 5000);
    // Makes that engine IBus's engine for every window, as the desktop's input source switch
    // does. IBus only.
    bool selectIBusEngine(const QString &engine);
    // The state of the focused input context: 1 Latin, 2 pinyin, 0 no focused context (fcitx5's
    // numbers; IBus answers 1 or 2 by its global engine). -1 when the input method does not
    // answer.
    int state();
    bool isActive() { return state() == 2; }
    // The input method's name for what is selected: "pinyin" or "keyboard-us" for fcitx5,
    // "libpinyin" or "xkb:us::eng" for IBus.
    QString currentInputMethod();

    // Presses and releases each character's key, with Shift where the character needs it.
    // Letters, digits, space and the punctuation of a US keyboard.
    bool type(const QString &text);
    // Presses and releases one key, e.g. XK_space, holding the modifier keysyms while it does.
    bool tap(unsigned long keysym, std::initializer_list<unsigned long> modifiers = {});
    bool press(unsigned long keysym);
    bool release(unsigned long keysym);

    // Waits until every key typed so far has been through the input method and the application:
    // taps a key no one uses (F20, or F12 where the keymap has no F20) and waits for Qt to deliver
    // it. The driver keeps those two keys from the application. Needs the keyboard focus on a
    // window of the application. On a busy machine Qt's IBus frontend may deliver a key whose
    // answer was in at once ahead of earlier keys still waiting for theirs: the sync key can
    // come first, so texts are compared as they settle (QTRY_COMPARE).
    bool sync(int timeoutMs = 10000);

    // The session bus the input method is on, for tests that call it themselves; IBus's own bus
    // for IBus.
    QDBusConnection bus() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool fakeKey(unsigned long keysym, bool press);
    bool waitForKeyboardFocus(unsigned long window, int timeoutMs);
    // Waits until fcitx5 lists an input context of the program, focused or any.
    bool waitForFcitxContext(const QString &program, bool focused, int timeoutMs);
    // The client window of that title the window manager lists; 0 for none.
    unsigned long clientWindow(const QString &title);
    unsigned char keycode(unsigned long keysym);
    unsigned long syncKeysym();
    int ibusState();
    QString ibusEngine();
    bool ibusSetEngine(const QString &engine);

    Kind m_kind = Kind::NoSession;
    Display *m_display = nullptr;
    std::unique_ptr<QDBusConnection> m_bus;
    int m_syncSeen = 0;
};
