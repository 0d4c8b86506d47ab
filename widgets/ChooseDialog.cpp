#include "ChooseDialog.h"

#include <QBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>

namespace {
const char builtInStyleSheet[] =
    "QDialog{ background-color:white; }QPushButton{ border: 1px solid "
    "lightgray;border-radius:10%;}QPushButton:hover{ background-color:#eeeeee;}QListView{ "
    "outline:0;border: 1px solid lightgray;font: 9pt \"微软雅黑\";}QListView:item{ height:35px; "
    "padding-left:8px;border-bottom:1px solid #cdcdcd;}QListView:item:selected{ "
    "color:black;background-color:#eeeeee;}QListView:item:hover{ background-color:#eeeeee;}";
}

ChooseDialog::ChooseDialog(QWidget *parent,
                           const QString &caption,
                           const QStringList &items,
                           QString *result)
    : ChooseDialog(parent, caption, items, false)
{
    m_result = result;
}

ChooseDialog::ChooseDialog(QWidget *parent,
                           const QString &caption,
                           const QStringList &items,
                           QStringList *result)
    : ChooseDialog(parent, caption, items, true)
{
    m_results = result;
}

ChooseDialog::ChooseDialog(QWidget *parent,
                           const QString &caption,
                           const QStringList &items,
                           bool multiple)
    : QDialog(parent)
    , m_multiple(multiple)
    , m_view(new QListView(this))
    , m_model(new QStringListModel(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(340, 300);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto *captionLabel = new QLabel(QStringLiteral("标题"), this);
    captionLabel->setFont(QFont(QStringLiteral("微软雅黑"), 11));
    captionLabel->setText(caption);

    m_view->setObjectName(QStringLiteral("listViewChoices"));
    m_view->setModel(m_model);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_view, &QListView::doubleClicked, this, &ChooseDialog::onAccept);

    auto *ok = new QPushButton(QStringLiteral("确定"), this);
    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    ok->setObjectName(QStringLiteral("buttonAccept"));
    cancel->setObjectName(QStringLiteral("buttonCancel"));
    ok->setMinimumSize(60, 35);
    cancel->setMinimumSize(60, 35);
    connect(ok, &QPushButton::clicked, this, &ChooseDialog::onAccept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    if (m_multiple) {
        m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        auto *selectAll = new QPushButton(QStringLiteral("选择所有"), this);
        selectAll->setObjectName(QStringLiteral("buttonSelectAll"));
        selectAll->setMinimumSize(80, 35);
        connect(selectAll, &QPushButton::clicked, m_view, &QListView::selectAll);
        buttons->addWidget(selectAll);
    }
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(captionLabel);
    layout->addWidget(m_view);
    layout->addLayout(buttons);

    setWindowTitle(m_multiple ? QStringLiteral("请选择 (可多选)")
                              : QStringLiteral("请选择 (单选)"));
    m_model->setStringList(items);
    m_view->setCurrentIndex(m_model->index(0, 0));

    setStyleSheet(QString::fromUtf8(builtInStyleSheet));
}

void ChooseDialog::onAccept()
{
    if (m_multiple) {
        m_results->clear();
        const QModelIndexList selected = m_view->selectionModel()->selectedIndexes();
        for (const QModelIndex &index : selected)
            m_results->append(index.data(Qt::DisplayRole).toString());
    } else {
        *m_result = m_view->currentIndex().data(Qt::DisplayRole).toString();
    }
    accept();
}
