#pragma once

#include <QWidget>

namespace Ui {
class Form_Debugger;
}

// The two debug switches of the settings store: icon loading and timing the items list. They
// are never stored.
class Form_Debugger final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form_Debugger)

public:
    explicit Form_Debugger(QWidget *parent = nullptr);
    ~Form_Debugger() override;

public slots:
    void onReset();

private:
    Ui::Form_Debugger *ui;
};
