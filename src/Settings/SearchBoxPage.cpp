#include "Settings/SearchBoxPage.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "Actions/ActionProviders.h"
#include "KelBlockSignals.h"
#include "Actions/WebKeywords.h"

SearchBoxPage::SearchBoxPage(ActionProviders &providers, QWidget *parent)
    : QWidget(parent)
    , m_providers(providers)
    , m_keywords(new QTableWidget(0, 3, this))
    , m_problem(new QLabel(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("搜索框功能"), this));
    for (ActionProvider *provider : providers.providers()) {
        auto *box = new QCheckBox(provider->label(), this);
        box->setObjectName(QStringLiteral("checkBox_search") + provider->key());
        box->setChecked(providers.isEnabled(provider->key()));
        connect(box, &QCheckBox::toggled, this,
                [this, key = provider->key()](bool on) { m_providers.setEnabled(key, on); });
        layout->addWidget(box);
    }

    layout->addWidget(new QLabel(QStringLiteral("网页搜索关键字"), this));
    m_keywords->setObjectName(QStringLiteral("tableWidget_webKeywords"));
    m_keywords->setHorizontalHeaderLabels(
        {QStringLiteral("关键字"), QStringLiteral("名称"), QStringLiteral("地址 (%s 为搜索内容)")});
    m_keywords->horizontalHeader()->setStretchLastSection(true);
    m_keywords->verticalHeader()->hide();
    layout->addWidget(m_keywords);
    m_problem->setObjectName(QStringLiteral("label_webKeywordsProblem"));
    m_problem->setWordWrap(true);
    m_problem->hide();
    layout->addWidget(m_problem);

    auto *buttons = new QHBoxLayout;
    auto *add = new QPushButton(QStringLiteral("添加"), this);
    auto *remove = new QPushButton(QStringLiteral("删除"), this);
    auto *reset = new QPushButton(QStringLiteral("恢复默认"), this);
    add->setObjectName(QStringLiteral("pushButton_addKeyword"));
    remove->setObjectName(QStringLiteral("pushButton_removeKeyword"));
    reset->setObjectName(QStringLiteral("pushButton_resetKeywords"));
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    buttons->addWidget(reset);
    layout->addLayout(buttons);

    fillKeywords();
    connect(m_keywords, &QTableWidget::cellChanged, this, &SearchBoxPage::storeKeywords);
    // A new row is stored once it is filled in: an empty one would be a fault.
    connect(add, &QPushButton::clicked, this, [this] {
        const KelBlockSignals blocked(m_keywords);
        m_keywords->insertRow(m_keywords->rowCount());
        for (int column = 0; column < 3; ++column)
            m_keywords->setItem(m_keywords->rowCount() - 1, column, new QTableWidgetItem);
        m_keywords->setCurrentCell(m_keywords->rowCount() - 1, 0);
        m_keywords->editItem(m_keywords->currentItem());
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (m_keywords->currentRow() < 0)
            return;
        m_keywords->removeRow(m_keywords->currentRow());
        storeKeywords();
    });
    connect(reset, &QPushButton::clicked, this, [this] {
        m_providers.webKeywords().setTable(WebKeywords::defaults());
        fillKeywords();
    });
}

void SearchBoxPage::fillKeywords()
{
    const KelBlockSignals blocked(m_keywords);
    const QVector<WebKeywords::Keyword> &table = m_providers.webKeywords().table();
    m_keywords->setRowCount(table.size());
    for (int row = 0; row < table.size(); ++row) {
        const WebKeywords::Keyword &keyword = table.at(row);
        const QStringList cells{keyword.keyword, keyword.name, keyword.address};
        for (int column = 0; column < 3; ++column)
            m_keywords->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    m_problem->hide();
}

void SearchBoxPage::storeKeywords()
{
    QVector<WebKeywords::Keyword> table;
    for (int row = 0; row < m_keywords->rowCount(); ++row) {
        const auto cell = [this, row](int column) {
            const QTableWidgetItem *item = m_keywords->item(row, column);
            return item ? item->text().trimmed() : QString();
        };
        table << WebKeywords::Keyword{cell(0), cell(1), cell(2)};
    }
    // What the user is still typing stays in the table; only a whole, sound table is stored.
    const QString problem = WebKeywords::problem(table);
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
    if (problem.isEmpty())
        m_providers.webKeywords().setTable(table);
}
