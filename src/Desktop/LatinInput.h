#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QWidget;
class QWindow;

// Starts the search box's input method in its Latin state each time the window is called up:
// the launcher matches pinyin itself, so Latin letters are all its search box needs, and a
// composition left on from the last call would catch the first keys. The user's own switch
// (Ctrl+Space, the desktop's input source switch) works as before while the window shows.
//
// fcitx5 keeps a state per window: fcitx5's own controller switches the window that has the
// keyboard, ours, to its first (Latin) input method, at once when the window has the keyboard
// already, else on the focus that follows the call. IBus has one engine for every window: it is
// set to the first keyboard layout engine the user has, and the user's engine is given back as
// the window hides or another program takes the keyboard, unless the user chose one meanwhile.
class LatinInput final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LatinInput)

public:
    enum class Method { Other, Fcitx5, IBus };

    explicit LatinInput(QWidget *window, QObject *parent = nullptr);
    ~LatinInput() override;

    // The input method this program's Qt uses (QT_IM_MODULE), where it is one we know.
    static Method method();

    // The window is being called up.
    void calledUp();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool hasKeyboard() const;
    void focusChanged(QWindow *focused);
    void fcitxToLatin();
    void ibusToLatin();
    void ibusGiveBack();

    QPointer<QWidget> m_window;
    Method m_method;
    // Runs from a call-up made while the window lacked the keyboard until the window gets it:
    // only that focus belongs to the call. A call the window manager never answers expires, so
    // that no later focus (a dialog closing) undoes what the user switched since.
    QTimer m_awaitingFocus;
    // A window's input context is made as it first gets the keyboard, and starts in Latin:
    // until then fcitx5's controller acts on another program's.
    bool m_everFocused = false;
    // IBus: the engine the user had before the call-up, and the one put in its place.
    QString m_ibusUsers;
    QString m_ibusLatin;
};
