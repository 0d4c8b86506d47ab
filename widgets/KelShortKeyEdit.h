#pragma once

#include <QKeySequence>
#include <QLineEdit>

#include "kelwidgets_export.h"

// Records a keyboard shortcut from the next key press instead of from typing: a combination
// with Ctrl, Alt or Meta, or a function key. Backspace and Delete, or the clear button, empty
// it; every other bare key is ignored.
class KELWIDGETS_EXPORT KelShortKeyEdit : public QLineEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KelShortKeyEdit)

public:
    explicit KelShortKeyEdit(QWidget *parent = nullptr);
    KelShortKeyEdit(const QKeySequence &sequence, QWidget *parent = nullptr);
    KelShortKeyEdit(const QString &sequence, QWidget *parent = nullptr);

    QKeySequence KeySequence() const;
    void setKeySequence(const QKeySequence &sequence);
    // Shows the text as a key sequence in native form; a text that is no sequence is ignored.
    void setText(const QString &text);

    // Whether the sequence may be held system-wide: one combination with Ctrl, Alt or Meta, or
    // a function key. A bare key would be taken from every program.
    static bool isGlobalShortcut(const QKeySequence &sequence);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
};
