#include "Settings/Form_KelSo.h"
#include "ui_Form_KelSo.h"

Form_KelSo::Form_KelSo(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Form_KelSo)
{
    ui->setupUi(this);
}

Form_KelSo::~Form_KelSo()
{
    delete ui;
}
