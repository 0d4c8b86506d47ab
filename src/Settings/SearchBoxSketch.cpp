#include "Settings/SearchBoxSketch.h"
#include "ui_SearchBoxSketch.h"

SearchBoxSketch::SearchBoxSketch(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::SearchBoxSketch)
{
    ui->setupUi(this);
}

SearchBoxSketch::~SearchBoxSketch()
{
    delete ui;
}
