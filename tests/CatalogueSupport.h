#pragma once

#include <QAbstractItemModel>
#include <QBuffer>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QTimer>
#include <QLabel>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QtTest>

#include "Core/DataControl.h"
#include "TestSupport.h"

#include <functional>

// An install tree of the test's own whose catalogue and icon cache are open with their tables
// made, as a start of the program leaves them; a main window built later opens them anew.
class CatalogueWorkDir final : public TestWorkDir
{
public:
    CatalogueWorkDir()
    {
        QDir(path(QString())).mkpath(QStringLiteral("data"));
        QDir(path(QString())).mkpath(QStringLiteral("cache/caches"));
        DataControl &data = DataControl::instance();
        m_open = data.init_databases();
        if (m_open)
            data.database_create();
    }
    ~CatalogueWorkDir() { DataControl::instance().database_close(); }

    bool isOpen() const { return m_open; }

private:
    bool m_open = false;
};

// Helpers for the suites that drive the real main window: a look at the catalogue through a
// connection of the test's own, and at the notices on screen.
namespace Catalogue {
inline QSqlDatabase peek(const QString &name, const QString &file)
{
    QSqlDatabase db = QSqlDatabase::database(name, false);
    if (!db.isValid()) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
    }
    db.open();
    return db;
}

inline QSqlDatabase connection()
{
    return peek(QStringLiteral("peek"), QStringLiteral("../data/data.db"));
}

// The icon cache's index.
inline QSqlDatabase iconCache()
{
    return peek(QStringLiteral("peek-cache"), QStringLiteral("../cache/cache.db"));
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

// Empties the catalogue, then stores the types and groups given as the rows of a VALUES list:
// types as (ID, Name, Row), groups as (ID, Name, TypesID, Row).
inline void reset(const QString &types = QString(), const QString &groups = QString())
{
    for (const char *table : {"Types", "Groups", "Items"})
        exec(QStringLiteral("DELETE FROM ") + QLatin1String(table));
    if (!types.isEmpty())
        exec(QStringLiteral("INSERT INTO Types(ID, Name, Row) VALUES ") + types);
    if (!groups.isEmpty())
        exec(QStringLiteral("INSERT INTO Groups(ID, Name, TypesID, Row) VALUES ") + groups);
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
            texts << widget->findChild<QLabel *>("labelNotice")->text();
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

// Handles modal dialogs as they open, one handler per dialog in the order given, and keeps
// the text of every message box it met. Dialogs beyond the handlers are left alone.
class ModalAnswers final : public QObject
{
public:
    using Handler = std::function<void(QWidget *)>;

    ModalAnswers()
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalAnswers::poll);
        m_timer.start(5);
    }

    ModalAnswers &then(const Handler &handler)
    {
        m_handlers << handler;
        return *this;
    }
    // Presses a button of the next message box.
    ModalAnswers &press(QMessageBox::StandardButton button)
    {
        return then([button](QWidget *modal) {
            if (auto *box = qobject_cast<QMessageBox *>(modal))
                box->button(button)->click();
        });
    }
    // Types the answer into the next input dialog and accepts it.
    ModalAnswers &type(const QString &text)
    {
        return then([text](QWidget *modal) {
            if (auto *input = qobject_cast<QInputDialog *>(modal)) {
                input->setTextValue(text);
                input->accept();
            }
        });
    }

    // Chooses the path in the next file dialog and accepts it.
    ModalAnswers &chooseFile(const QString &path)
    {
        return then([path](QWidget *modal) {
            if (auto *files = qobject_cast<QFileDialog *>(modal)) {
                files->selectFile(path);
                QMetaObject::invokeMethod(files, "accept");
            }
        });
    }

    const QStringList &questions() const { return m_questions; }
    int pending() const { return m_handlers.size(); }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == m_last || m_handlers.isEmpty())
            return;
        m_last = modal;
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            m_questions << box->text();
        m_handlers.takeFirst()(modal);
    }

    QTimer m_timer;
    QPointer<QWidget> m_last;
    QList<Handler> m_handlers;
    QStringList m_questions;
};

// The texts of the menu that rightClick opens ("" for a separator, "▸title" for a submenu),
// read while it is shown.
inline QStringList menuAt(const std::function<void()> &rightClick)
{
    QStringList texts;
    QTimer::singleShot(0, [&texts] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (const QAction *action : menu->actions())
            texts << (action->isSeparator() ? QString()
                      : action->menu()      ? QStringLiteral("▸") + action->text()
                                            : action->text());
        menu->close();
    });
    rightClick();
    return texts;
}

// A square PNG of one colour, as image files and cached icons hold them.
inline QByteArray pngBytes(Qt::GlobalColor color, int size = 16)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes;
}
