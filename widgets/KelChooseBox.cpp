#include "KelChooseBox.h"

#include "ChooseDialog.h"

QString
KelChooseBox::getChooseItem(QWidget *parent, const QString &caption, const QStringList &items)
{
    if (items.isEmpty())
        return QString();
    QString result;
    auto *dialog = new ChooseDialog(parent, caption, items, &result);
    return dialog->exec() == QDialog::Accepted ? result : QString();
}

QStringList
KelChooseBox::getChooseItems(QWidget *parent, const QString &caption, const QStringList &items)
{
    if (items.isEmpty())
        return QStringList();
    QStringList result;
    auto *dialog = new ChooseDialog(parent, caption, items, &result);
    return dialog->exec() == QDialog::Accepted ? result : QStringList();
}
