#pragma once

#include <QColor>
#include <QLineEdit>

#include "kelwidgets_export.h"

class QAction;

// A field for a colour written "#" and six hexadecimal digits, with a swatch inside that
// opens the colour dialog.
class KELWIDGETS_EXPORT KelColorEdit : public QLineEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KelColorEdit)

public:
    explicit KelColorEdit(QWidget *parent = nullptr);

    QColor color() const;
    bool isValid() const { return m_valid; }

signals:
    void currentColorChanged(QColor color);

public slots:
    void showColorDlg();
    void updateColorRectangle(QString colorName);

private:
    QAction *m_swatch;
    bool m_valid = false;
};
