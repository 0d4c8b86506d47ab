#pragma once

#include <QString>
#include <QStringList>

#include "kelwidgets_export.h"

class QWidget;

// Modal list dialogs that ask for one or several entries out of a list of texts.
class KELWIDGETS_EXPORT KelChooseBox
{
public:
    // The chosen entry; a null string when the list is empty (no dialog is shown) or on cancel.
    static QString getChooseItem(QWidget *parent, const QString &caption, const QStringList &items);
    // The selected entries; empty when the list is empty or on cancel.
    static QStringList
    getChooseItems(QWidget *parent, const QString &caption, const QStringList &items);
};
