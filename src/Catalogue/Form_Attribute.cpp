#include "Catalogue/Form_Attribute.h"
#include "ui_Form_Attribute.h"

#include <QCursor>
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <QSqlRecord>

#include "Core/DataControl.h"
#include "Icons/Form_IconSelector.h"
#include "Icons/IconLoader.h"
#include "Catalogue/ItemDrop.h"
#include "Catalogue/ItemRoles.h"
#include "KelMessageBox.h"

namespace {
const char hashProperty[] = "HashFile";

QString dateText(const QVariant &seconds)
{
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(seconds.toLongLong()),
                              QLocale::ShortFormat);
}
} // namespace

Form_Attribute::Form_Attribute(const QModelIndex &index)
    : ui(new Ui::Form_Attribute)
    , m_index(index)
    , m_iconMenu(new QMenu(this))
{
    ui->setupUi(this);
    setWindowTitle(QCoreApplication::applicationName());
    setAttribute(Qt::WA_TranslucentBackground);
    ui->comboBox_type->setCurrentIndex(-1);
    onShowAdvanced();

    ui->lineEdit_path->setOpenActionAutoHide(true);
    ui->lineEdit_path->setMode(KelPathEdit::File);
    ui->lineEdit_workingDirectory->setMode(KelPathEdit::Dir);
    ui->lineEdit_workingDirectory->setAllowEmpty(true);

    QAction *chooseIcon = m_iconMenu->addAction(QStringLiteral("设置图标"));
    chooseIcon->setObjectName(QStringLiteral("actionChooseIcon"));
    connect(chooseIcon, &QAction::triggered, this, &Form_Attribute::onSetIcon);
    connect(ui->label_icon, &QLabel::customContextMenuRequested, this,
            [this] { m_iconMenu->exec(QCursor::pos()); });
    connect(ui->pushButton_yes, &QPushButton::clicked, this, &Form_Attribute::onAcceptData);
    connect(ui->pushButton_no, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->pushButton_advanced, &QPushButton::clicked, this, &Form_Attribute::onShowAdvanced);
    connect(ui->pushButton_default, &QPushButton::clicked, this, &Form_Attribute::loadItem);
    connect(ui->comboBox_type, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &Form_Attribute::onSetLineEditState);
    connect(ui->lineEdit_path, &KelPathEdit::pathChosen, this, &Form_Attribute::fillFromFile);
}

Form_Attribute::~Form_Attribute()
{
    delete ui;
}

void Form_Attribute::showEvent(QShowEvent *event)
{
    ui->pushButton_default->hide();
    if (m_editMode) {
        loadItem();
        ui->pushButton_default->show();
    }
    KelFramelessDialogLite::showEvent(event);
}

void Form_Attribute::loadItem()
{
    const QSqlRecord item = DataControl::instance().item_select(
        QStringLiteral("Name, Path, Type, Arguments, IconPath, CreateDate, RunDate, RunCount, "
                       "Note, WorkingDirectory"),
        m_index.data(ItemIdRole));
    const int type = item.value(QStringLiteral("Type")).toInt();
    ui->lineEdit_name->setText(item.value(QStringLiteral("Name")).toString());
    ui->comboBox_type->setCurrentIndex(type);
    ui->lineEdit_path->setText(item.value(QStringLiteral("Path")).toString());

    const QString hashName = item.value(QStringLiteral("IconPath")).toString();
    ui->label_icon->setProperty(hashProperty, hashName);
    const QString file = DataControl::cacheFileName(hashName);
    if (QFileInfo::exists(file))
        showCachedIcon(file);
    else
        showFallbackIcon(type);

    ui->lineEdit_arguments->setText(item.value(QStringLiteral("Arguments")).toString());
    const QVariant runDate = item.value(QStringLiteral("RunDate"));
    ui->label_creatTime->setText(
        QStringLiteral("创建时间：%1\n上次运行：%2\n共计运行：%3次")
            .arg(dateText(item.value(QStringLiteral("CreateDate"))),
                 runDate.toString().isEmpty() ? QStringLiteral("从未运行过") : dateText(runDate),
                 item.value(QStringLiteral("RunCount")).toString()));
    ui->lineEdit_note->setText(item.value(QStringLiteral("Note")).toString());
    ui->lineEdit_workingDirectory->setText(
        item.value(QStringLiteral("WorkingDirectory")).toString());
}

void Form_Attribute::showFallbackIcon(int type)
{
    ui->label_icon->setPixmap(
        IconLoader::instance().itemIcon(type, ui->lineEdit_path->text()).pixmap(48));
}

void Form_Attribute::showCachedIcon(const QString &file)
{
    ui->label_icon->setPixmap(IconLoader::instance().loadPixmap(QFileInfo(file).absoluteFilePath(),
                                                                ui->label_icon->size()));
}

void Form_Attribute::onSetLineEditState(int index)
{
    switch (index) {
    case 0:
        ui->lineEdit_path->setMode(KelPathEdit::File);
        break;
    case 1:
        ui->lineEdit_path->setMode(KelPathEdit::Dir);
        break;
    case 2:
    case 3:
        ui->lineEdit_path->setMode(KelPathEdit::Text);
        break;
    default:
        break;
    }
    showFallbackIcon(index);
}

void Form_Attribute::fillFromFile(const QString &path)
{
    QVariantMap record;
    if (ItemDrop(this).read(QUrl::fromLocalFile(path), record) != ItemDrop::Outcome::Record)
        return;
    const int type = record.value(QStringLiteral("Type")).toInt();
    // The drop's path (the link or its target, relative by setting, where a link entry leads)
    // goes with its type; under another type the user chose, the chosen path stays.
    if (ui->comboBox_type->currentIndex() < 0 || ui->comboBox_type->currentIndex() == type) {
        ui->lineEdit_path->setText(record.value(QStringLiteral("Path")).toString());
        ui->comboBox_type->setCurrentIndex(type);
    }
    if (ui->lineEdit_name->text().trimmed().isEmpty())
        ui->lineEdit_name->setText(record.value(QStringLiteral("Name")).toString());
    if (ui->lineEdit_note->text().trimmed().isEmpty())
        ui->lineEdit_note->setText(record.value(QStringLiteral("Note")).toString());
    if (!ui->label_icon->property(hashProperty).toString().isEmpty())
        return;
    const QString hashName = record.value(QStringLiteral("IconPath")).toString();
    const QString file = DataControl::cacheFileName(hashName);
    if (!hashName.isEmpty() && QFileInfo::exists(file)) {
        ui->label_icon->setProperty(hashProperty, hashName);
        showCachedIcon(file);
    } else {
        showFallbackIcon(ui->comboBox_type->currentIndex());
    }
}

void Form_Attribute::onSetIcon()
{
    const std::optional<QString> chosen = Form_IconSelector::choose(this);
    if (!chosen)
        return;
    const QString &hashName = *chosen;
    const QString file = DataControl::cacheFileName(hashName);
    if (!hashName.isEmpty() && QFileInfo::exists(file)) {
        showCachedIcon(file);
        ui->label_icon->setProperty(hashProperty, hashName);
        return;
    }
    // "取消图标" clears the item's icon, as the main window's own icon command does.
    if (hashName.isEmpty())
        ui->label_icon->setProperty(hashProperty, QString());
    onSetLineEditState(ui->comboBox_type->currentIndex());
}

void Form_Attribute::onShowAdvanced()
{
    const bool show = !ui->frame_other->isVisibleTo(this);
    ui->frame_other->setVisible(show);
    ui->pushButton_advanced->setText(show ? QStringLiteral("简要") : QStringLiteral("更多"));
    ui->frame_Attribute->adjustSize();
    adjustSize();
}

QStringList Form_Attribute::missingFields() const
{
    QStringList missing;
    if (ui->lineEdit_name->text().trimmed().isEmpty())
        missing << ui->label_2->text();
    if (ui->comboBox_type->currentIndex() < 0)
        missing << ui->label_5->text();
    if (ui->lineEdit_path->text().trimmed().isEmpty())
        missing << ui->label_4->text();
    return missing;
}

void Form_Attribute::onAcceptData()
{
    // An item without a name, type or path could be neither seen nor run; the dialog stays
    // open with what was typed.
    const QStringList missing = missingFields();
    if (!missing.isEmpty()) {
        KelMessageBox::show(this, QStringLiteral("缺少") + missing.join(QStringLiteral("、")),
                            KelMessageBox::Red, 3000, KelMessageBox::Bottom, QString());
        return;
    }
    const QVariantMap item{
        {QStringLiteral("Name"), ui->lineEdit_name->text()},
        {QStringLiteral("Type"), ui->comboBox_type->currentIndex()},
        {QStringLiteral("Path"), ui->lineEdit_path->text()},
        {QStringLiteral("Arguments"), ui->lineEdit_arguments->text()},
        {QStringLiteral("WorkingDirectory"), ui->lineEdit_workingDirectory->text()},
        {QStringLiteral("Note"), ui->lineEdit_note->text()},
        {QStringLiteral("IconPath"), ui->label_icon->property(hashProperty).toString()},
    };
    DataControl &data = DataControl::instance();
    if (m_editMode)
        data.item_edit(item, m_index.data(ItemIdRole));
    else
        data.item_add(item, m_index.data(TypesIdRole), m_index.data(GroupsIdRole));
    accept();
}
