#include "Settings/Form_Debugger.h"
#include "ui_Form_Debugger.h"

#include "Core/SettingsControl.h"

Form_Debugger::Form_Debugger(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Form_Debugger)
{
    ui->setupUi(this);
    SettingsControl &settings = SettingsControl::instance();
    ui->checkBox_iconLoadEnable->setChecked(settings.isIconLoadEnabled());
    ui->checkBox_timeMonitoring->setChecked(settings.isTimeMonitoring());
    connect(ui->checkBox_iconLoadEnable, &QCheckBox::clicked, &settings,
            &SettingsControl::setIconLoadEnabled);
    connect(ui->checkBox_timeMonitoring, &QCheckBox::clicked, &settings,
            &SettingsControl::setTimeMonitoring);
    connect(ui->pushButton_reset, &QPushButton::clicked, this, &Form_Debugger::onReset);
}

Form_Debugger::~Form_Debugger()
{
    delete ui;
}

void Form_Debugger::onReset()
{
    SettingsControl &settings = SettingsControl::instance();
    settings.setIconLoadEnabled(true);
    settings.setTimeMonitoring(false);
    ui->checkBox_iconLoadEnable->setChecked(true);
    ui->checkBox_timeMonitoring->setChecked(false);
}
