#pragma once

#include <QListView>

class QAction;
class QMenu;

// Search and history results.
class ResultsListView final : public QListView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ResultsListView)

public:
    explicit ResultsListView(QWidget *parent = nullptr);

    QAction *actionRun() const { return m_run; }
    QAction *actionLocate() const { return m_locate; }

public slots:
    void menu_show(QPoint pos);

private:
    QAction *m_run;
    QAction *m_locate;
    QMenu *m_menu;
};
