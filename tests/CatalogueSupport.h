#pragma once

#include <QAbstractItemModel>
#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QTimer>
#include <QLabel>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QtTest>

// Helpers for the suites that drive the real main window: a look at the catalogue through a
// connection of the test's own, and at the notices on screen.
namespace Catalogue {
inline QSqlDatabase connection()
{
    QSqlDatabase db = QSqlDatabase::database(QStringLiteral("peek"), false);
    if (!db.isValid()) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("peek"));
        db.setDatabaseName(QStringLiteral("../data/data.db"));
    }
    db.open();
    return db;
}

inline void exec(const QString &statement)
{
    QSqlQuery query(connection());
    QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
}

// The first column of every row the statement returns.
inline QStringList column(const QString &statement)
{
    QSqlQuery query(connection());
    query.exec(statement);
    QStringList values;
    while (query.next())
        values << query.value(0).toString();
    return values;
}

inline QString value(const QString &statement)
{
    return column(statement).value(0);
}
} // namespace Catalogue

// The display texts of a model's rows, top to bottom.
inline QStringList rowTexts(const QAbstractItemModel *model)
{
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, 0).data().toString();
    return texts;
}

namespace Notices {
// The texts of the notices on screen, in no particular order.
inline QStringList shown()
{
    QStringList texts;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->inherits("MsgBox") && widget->isVisible())
            texts << widget->findChild<QLabel *>()->text();
    return texts;
}

inline void clear()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->inherits("MsgBox"))
            delete widget;
}
} // namespace Notices

// Answers the next modal dialog once its loop runs: the text for an input dialog, Yes for a
// question.
inline void answerNextDialog(const QString &text = QString())
{
    QTimer::singleShot(0, [text] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *input = qobject_cast<QInputDialog *>(modal)) {
            input->setTextValue(text);
            input->accept();
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            box->button(QMessageBox::Yes)->click();
        }
    });
}
