#pragma once

#include <QWidget>

namespace Ui {
class FormMain;
}

// The launcher's main window. Its construction is the start-up of the whole program: folders,
// log, databases and settings, in that order.
class FormMain final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormMain)

public:
    explicit FormMain(QWidget *parent = nullptr);
    ~FormMain() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void init_object();
    void init_log();
    void init_data();

    Ui::FormMain *ui;
};
