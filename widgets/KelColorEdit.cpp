#include "KelColorEdit.h"

#include <QAction>
#include <QColorDialog>
#include <QPainter>
#include <QPixmap>

KelColorEdit::KelColorEdit(QWidget *parent)
    : QLineEdit(parent)
    , m_swatch(new QAction(this))
{
    setInputMask(QStringLiteral("\\#HHHHHH"));
    addAction(m_swatch, QLineEdit::TrailingPosition);
    connect(m_swatch, &QAction::triggered, this, &KelColorEdit::showColorDlg);
    connect(this, &QLineEdit::textChanged, this, &KelColorEdit::updateColorRectangle);
    setText(QStringLiteral("#000000"));
}

QColor KelColorEdit::color() const
{
    return QColor(text());
}

void KelColorEdit::updateColorRectangle(QString colorName)
{
    const QColor color(colorName);
    m_valid = color.isValid();
    // While digits are missing the swatch keeps the last valid colour.
    if (!m_valid)
        return;
    QPixmap swatch(16, 16);
    QPainter painter(&swatch);
    painter.setPen(QPen(Qt::gray, 2));
    painter.setBrush(color);
    painter.drawRect(swatch.rect());
    painter.end();
    m_swatch->setIcon(QIcon(swatch));
    emit currentColorChanged(color);
}

void KelColorEdit::showColorDlg()
{
    const QColor chosen = QColorDialog::getColor(color(), this, QStringLiteral("选择新颜色"));
    if (chosen.isValid())
        setText(chosen.name());
}
