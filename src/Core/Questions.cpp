#include "Core/Questions.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QMessageBox>

QString Questions::askText(QWidget *parent, const QString &label, const QString &current)
{
    return QInputDialog::getText(parent, QCoreApplication::applicationName(), label,
                                 QLineEdit::Normal, current);
}

bool Questions::confirm(QWidget *parent, const QString &question)
{
    return QMessageBox::question(parent, QCoreApplication::applicationName(), question,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}
