#include "KelShortKeyEdit.h"

#include <QKeyEvent>
#include <QMouseEvent>

KelShortKeyEdit::KelShortKeyEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setPlaceholderText(QStringLiteral("请按下快捷键"));
    setClearButtonEnabled(true);
    setAcceptDrops(false);
    setAttribute(Qt::WA_MacShowFocusRect, true);
    // An input method would swallow the keys before they can be recorded.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    // Pasted text would skip the rule below: no "粘贴" menu.
    setContextMenuPolicy(Qt::NoContextMenu);
}

bool KelShortKeyEdit::isGlobalShortcut(const QKeySequence &sequence)
{
    if (sequence.count() != 1)
        return false;
    const int combination = sequence[0];
    const int key = combination & ~int(Qt::KeyboardModifierMask);
    const bool held = combination & (Qt::CTRL | Qt::ALT | Qt::META);
    return held || (key >= Qt::Key_F1 && key <= Qt::Key_F35);
}

void KelShortKeyEdit::mouseReleaseEvent(QMouseEvent *event)
{
    // X11 pastes the selection on a middle click.
    if (event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

KelShortKeyEdit::KelShortKeyEdit(const QKeySequence &sequence, QWidget *parent)
    : KelShortKeyEdit(parent)
{
    setKeySequence(sequence);
}

KelShortKeyEdit::KelShortKeyEdit(const QString &sequence, QWidget *parent)
    : KelShortKeyEdit(QKeySequence(sequence, QKeySequence::NativeText), parent)
{}

QKeySequence KelShortKeyEdit::KeySequence() const
{
    return QKeySequence(text(), QKeySequence::NativeText);
}

void KelShortKeyEdit::setKeySequence(const QKeySequence &sequence)
{
    const QString native = sequence.toString(QKeySequence::NativeText);
    if (!native.isEmpty())
        QLineEdit::setText(native);
}

void KelShortKeyEdit::setText(const QString &text)
{
    setKeySequence(QKeySequence(text, QKeySequence::NativeText));
}

void KelShortKeyEdit::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const Qt::KeyboardModifiers holders = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    // A bare key held system-wide would be taken from every program: only combinations with
    // Ctrl, Alt or Meta count, or a function key on its own.
    if (!(modifiers & holders) && (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
        clear();
        return;
    }
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_unknown:
        return;
    default:
        break;
    }
    int combination = key;
    if (modifiers & Qt::ShiftModifier)
        combination |= Qt::SHIFT;
    if (modifiers & Qt::ControlModifier)
        combination |= Qt::CTRL;
    if (modifiers & Qt::MetaModifier)
        combination |= Qt::META;
    if (modifiers & Qt::AltModifier)
        combination |= Qt::ALT;
    if (isGlobalShortcut(QKeySequence(combination)))
        setText(QKeySequence(combination).toString(QKeySequence::NativeText));
}
