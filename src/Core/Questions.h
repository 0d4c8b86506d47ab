#pragma once

#include <QString>

class QWidget;

// The program's own small questions, titled with the application name.
namespace Questions {
// The typed text; empty on cancel.
QString askText(QWidget *parent, const QString &label, const QString &current = QString());
// True only for "Yes".
bool confirm(QWidget *parent, const QString &question);
} // namespace Questions
