#pragma once

#include "KelFramelessWidgetLite.h"

namespace Ui {
class Form_Settings;
}

// The settings window: every control is wired straight to a setter of the settings store, so a
// change is stored and takes effect the moment it is made.
class Form_Settings final : public KelFramelessWidgetLite
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form_Settings)

public:
    explicit Form_Settings(QWidget *parent = nullptr);
    ~Form_Settings() override;

private:
    void loadValues();
    void connectControls();

    Ui::Form_Settings *ui;
};
