#include "KelSpinBox.h"

KelSpinBox::KelSpinBox(QWidget *parent)
    : QSpinBox(parent)
{
    setButtonSymbols(QAbstractSpinBox::NoButtons);
}

void KelSpinBox::enterEvent(QEvent *event)
{
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    QSpinBox::enterEvent(event);
}

void KelSpinBox::leaveEvent(QEvent *event)
{
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    QSpinBox::leaveEvent(event);
}
