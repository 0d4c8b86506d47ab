#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// Starts the search box's input method in its Latin state each time the window is called up:
// the launcher matches pinyin itself, so Latin letters are all its search box needs, and a
// composition left on from the last call would catch the first keys. The user's own switch
// (Shift, Ctrl+Space, the desktop's input source switch) works as before while the window
// shows.
//
// fcitx5 keeps a state per window: once the window has the keyboard again, one left composing
// is switched back by a Shift handed to the input method as the user's own (fcitx5 then lets
// Shift switch it on again, which it does not after its D-Bus Deactivate), before any key typed
// with the call reaches it. IBus has one engine for every window: it is set to the first
// keyboard layout engine the user has.
class LatinInput final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LatinInput)

public:
    enum class Method { Other, Fcitx5, IBus };

    explicit LatinInput(QWidget *window, QObject *parent = nullptr);

    // The input method this program's Qt uses (QT_IM_MODULE), where it is one we know.
    static Method method();

    // The window is being called up.
    void calledUp();

private:
    // fcitx5's state of the input context that has the keyboard: 1 Latin, 2 composing, 0 none.
    static int fcitxState();
    void windowFocused();
    // Hands Shift, pressed and released, to the input method as the user's switch.
    static void switchLikeTheUser();
    static void ibusToLatin();

    QPointer<QWidget> m_window;
    Method m_method;
    bool m_pending = false;
    // A window's input context is made as it first gets the keyboard, and starts in Latin:
    // until then fcitx5 answers for another program's.
    bool m_everFocused = false;
};
