#include "KelShortKeyEdit.h"

#include <QKeyEvent>

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
    const int key = event->key();
    if (key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Meta ||
        key == Qt::Key_Alt || key == Qt::Key_unknown)
        return;
    int combination = key;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (modifiers & Qt::ShiftModifier)
        combination |= Qt::SHIFT;
    if (modifiers & Qt::ControlModifier)
        combination |= Qt::CTRL;
    if (modifiers & Qt::MetaModifier)
        combination |= Qt::META;
    if (modifiers & Qt::AltModifier)
        combination |= Qt::ALT;
    setText(QKeySequence(combination).toString(QKeySequence::NativeText));
    event->accept();
}
