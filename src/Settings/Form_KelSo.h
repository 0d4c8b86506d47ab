#pragma once

#include <QWidget>

namespace Ui {
class Form_KelSo;
}

// A search box window for the coming quick-search feature; it has no behaviour yet beyond its
// text field.
class Form_KelSo final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form_KelSo)

public:
    explicit Form_KelSo(QWidget *parent = nullptr);
    ~Form_KelSo() override;

private:
    Ui::Form_KelSo *ui;
};
