#include "Skins/Form_Skins.h"
#include "ui_Form_Skins.h"

#include <QDir>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QSaveFile>

#include "KelMessageBox.h"
#include "Core/Questions.h"
#include "Core/SettingsControl.h"
#include "Skins/Skin.h"

namespace {
QString skinFolder(const QString &name)
{
    return QStringLiteral("../skins/") + name;
}
} // namespace

Form_Skins::Form_Skins(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Form_Skins)
{
    ui->setupUi(this);
    // Room for a family name of some twenty letters whatever fonts are installed (the box would
    // ask for its longest one), and the window as large as its rows need.
    ui->fontComboBox_font->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ui->fontComboBox_font->setMinimumContentsLength(18);
    setFixedSize(QSize(320, 350).expandedTo(minimumSizeHint()));
    fillList();
    selectSkin(SettingsControl::instance().skinName());
    connect(ui->comboBox, &QComboBox::currentTextChanged, this, &Form_Skins::setCurrentSkinsInfo);
    connect(ui->slider_opacity, &QSlider::valueChanged, ui->spinBox_opacity, &QSpinBox::setValue);
    connect(ui->spinBox_opacity, qOverload<int>(&QSpinBox::valueChanged), ui->slider_opacity,
            &QSlider::setValue);
    connect(ui->pushButton_useSkins, &QPushButton::clicked, this, &Form_Skins::onSetSkins);
    connect(ui->pushButton_save, &QPushButton::clicked, this, &Form_Skins::onSaveSkins);
    connect(ui->pushButton_changeBgImg, &QPushButton::clicked, this, &Form_Skins::onChangeBgImg);
    connect(ui->pushButton_create, &QPushButton::clicked, this, &Form_Skins::onCreateSkin);
    connect(ui->pushButton_rename, &QPushButton::clicked, this, &Form_Skins::onRename);
    connect(ui->pushButton_del, &QPushButton::clicked, this, &Form_Skins::onDelete);
    ui->spinBox_fontSize->setRange(9, 15);
    setCurrentSkinsInfo(ui->comboBox->currentText());
}

Form_Skins::~Form_Skins()
{
    delete ui;
}

void Form_Skins::notify(const QString &text, bool ok, int duration)
{
    KelMessageBox::show(this, text, ok ? KelMessageBox::Green : KelMessageBox::Red, duration,
                        KelMessageBox::Bottom, QString());
}

void Form_Skins::fillList()
{
    ui->comboBox->clear();
    const QFileInfoList files =
        QDir(QStringLiteral("../skins"))
            .entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &file : files)
        if (file.suffix() == QLatin1String("json"))
            ui->comboBox->addItem(QIcon(), file.completeBaseName());
}

void Form_Skins::selectSkin(const QString &name)
{
    const int row = ui->comboBox->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ui->comboBox->setCurrentIndex(row >= 0 ? row : 0);
}

bool Form_Skins::hasCurrentSkin() const
{
    return Skin::isValidName(ui->comboBox->currentText());
}

void Form_Skins::setCurrentSkinsInfo(const QString &name)
{
    // With no skin in the list, saving would write "../skins/.json", deleting would remove the
    // whole skins folder and a background would land in it.
    for (QPushButton *button : {ui->pushButton_save, ui->pushButton_del, ui->pushButton_rename,
                                ui->pushButton_changeBgImg})
        button->setEnabled(hasCurrentSkin());
    // What using the skin would apply: a new skin shows the defaults.
    const SkinInfo skin = SkinInfo::fromJson(name, Skin::read(name));
    ui->lineEdit_mainColor->setText(skin.mainColor);
    ui->lineEdit_mainBgColor->setText(skin.mainBgColor);
    ui->lineEdit_fontColor->setText(skin.fontColor);
    ui->fontComboBox_font->setCurrentText(skin.fontFamily);
    // A name longer than the box shows its beginning.
    ui->fontComboBox_font->lineEdit()->home(false);
    ui->spinBox_fontSize->setValue(skin.fontSize);
    ui->spinBox_opacity->setValue(qRound(skin.opacity * 100));
    ui->checkBox_bgImg->setChecked(skin.backgroundImage);
    ui->checkBox_acrylic->setChecked(skin.acrylic);
}

void Form_Skins::onSetSkins()
{
    emit skinsChanged(ui->comboBox->currentText());
}

void Form_Skins::onSaveSkins()
{
    if (!hasCurrentSkin())
        return;
    QJsonObject skin;
    skin.insert(QStringLiteral("MainColor"), ui->lineEdit_mainColor->text());
    skin.insert(QStringLiteral("MainBgColor"), ui->lineEdit_mainBgColor->text());
    skin.insert(QStringLiteral("FontColor"), ui->lineEdit_fontColor->text());
    skin.insert(QStringLiteral("Font"), ui->fontComboBox_font->currentText());
    skin.insert(QStringLiteral("FontSize"), ui->spinBox_fontSize->value());
    skin.insert(QStringLiteral("Opacity"), ui->spinBox_opacity->value());
    skin.insert(QStringLiteral("BgImage"), ui->checkBox_bgImg->isChecked());
    skin.insert(QStringLiteral("Acrylic"), ui->checkBox_acrylic->isChecked());
    // Written whole or not at all: a crash mid-write never leaves half a skin.
    QSaveFile file(Skin::fileName(ui->comboBox->currentText()));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(skin).toJson(QJsonDocument::Indented)) < 0 || !file.commit()) {
        notify(QStringLiteral("写入文件失败"), false, 4000);
        return;
    }
    notify(QStringLiteral("已保存"), true);
    // The skin in use shows what was saved at once.
    if (ui->comboBox->currentText() == SettingsControl::instance().skinName())
        onSetSkins();
}

void Form_Skins::onCreateSkin()
{
    const QString name = Questions::askText(this, QStringLiteral("输入皮肤名称"));
    if (name.isEmpty())
        return;
    if (!Skin::isValidName(name)) {
        notify(QStringLiteral("皮肤创建失败，请重试"), false);
        return;
    }
    // An existing skin of that name is kept as it is and selected.
    QFile file(Skin::fileName(name));
    if (!file.exists() && !file.open(QIODevice::WriteOnly)) {
        notify(QStringLiteral("皮肤创建失败，请重试"), false);
        return;
    }
    file.close();
    fillList();
    selectSkin(name);
}

void Form_Skins::onRename()
{
    if (!hasCurrentSkin())
        return;
    const QString current = ui->comboBox->currentText();
    const QString name = Questions::askText(this, QStringLiteral("输入新名称"), current);
    if (name.isEmpty())
        return;
    // The background moves with the skin, or the skin keeps its name: a skin renamed without
    // its folder would lose its background.
    QDir skins(QStringLiteral("../skins"));
    const bool hasFolder = skins.exists(current);
    if (!Skin::isValidName(name) || (hasFolder && !skins.rename(current, name))) {
        notify(QStringLiteral("重命名失败，请重试"), false);
        return;
    }
    if (!QFile::rename(Skin::fileName(current), Skin::fileName(name))) {
        if (hasFolder)
            skins.rename(name, current);
        notify(QStringLiteral("重命名失败，请重试"), false);
        return;
    }
    fillList();
    selectSkin(name);
    notify(QStringLiteral("重命名成功"), true);
}

void Form_Skins::onDelete()
{
    if (!hasCurrentSkin())
        return;
    const QString name = ui->comboBox->currentText();
    if (QMessageBox::question(this, windowTitle(),
                              QStringLiteral("确定要删除[") + name + QStringLiteral("]吗？"),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    if (!QFile::remove(Skin::fileName(name))) {
        notify(QStringLiteral("删除失败"), false);
        return;
    }
    QDir folder(skinFolder(name));
    if (folder.exists() && !folder.removeRecursively()) {
        notify(QStringLiteral("删除失败"), false);
        return;
    }
    notify(QStringLiteral("删除完成"), true);
    fillList();
}

void Form_Skins::onChangeBgImg()
{
    if (!hasCurrentSkin())
        return;
    const QString picture =
        QFileDialog::getOpenFileName(this, QStringLiteral("选择一个背景图片"), QString(),
                                     QStringLiteral("JPEG (*.jpg *.jpeg);; PNG (*.png)"));
    if (picture.isEmpty())
        return;
    const QString folder = skinFolder(ui->comboBox->currentText());
    // The old picture is replaced only once the new one is whole beside it: choosing the
    // current bg.jpg, or a copy that fails, never loses it.
    QFile source(picture);
    QSaveFile target(folder + QStringLiteral("/bg.jpg"));
    bool copied = QDir().mkpath(folder) && source.open(QIODevice::ReadOnly) &&
                  target.open(QIODevice::WriteOnly);
    if (copied) {
        const QByteArray bytes = source.readAll();
        copied = source.error() == QFileDevice::NoError && !bytes.isEmpty() &&
                 target.write(bytes) == bytes.size() && target.commit();
    }
    notify(copied ? QStringLiteral("已保存背景") : QStringLiteral("背景保存失败"), copied);
}
