#pragma once

#include <QWidget>

class ActionProviders;
class QLabel;
class QTableWidget;

// The settings page "搜索框功能": a switch for each kind of answer the search box gives besides
// the catalogue, and the table of web search keywords. Every change is stored as it is made;
// a keyword table with a fault is not stored, and the page says why.
class SearchBoxPage final : public QWidget
{
    Q_OBJECT

public:
    SearchBoxPage(ActionProviders &providers, QWidget *parent = nullptr);

private:
    void fillKeywords();
    void storeKeywords();

    ActionProviders &m_providers;
    QTableWidget *m_keywords;
    QLabel *m_problem;
};
