#pragma once

#include <QDialog>

class QListView;
class QStringListModel;

// The dialog behind KelChooseBox. It deletes itself when closed; the choice is written through
// the caller's pointer before the dialog is accepted.
class ChooseDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChooseDialog)

public:
    ChooseDialog(QWidget *parent,
                 const QString &caption,
                 const QStringList &items,
                 QString *result);
    ChooseDialog(QWidget *parent,
                 const QString &caption,
                 const QStringList &items,
                 QStringList *result);

public slots:
    void onAccept();

private:
    ChooseDialog(QWidget *parent, const QString &caption, const QStringList &items, bool multiple);

    bool m_multiple;
    QString *m_result = nullptr;
    QStringList *m_results = nullptr;
    QListView *m_view;
    QStringListModel *m_model;
};
