#include "Window/SearchTyping.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include "Core/SettingsControl.h"

SearchTyping::SearchTyping(QLineEdit *searchBox, QObject *parent)
    : QObject(parent)
    , m_searchBox(searchBox)
{}

void SearchTyping::watch(QAbstractItemView *view)
{
    view->installEventFilter(this);
}

bool SearchTyping::eventFilter(QObject *watched, QEvent *event)
{
    auto *view = qobject_cast<QAbstractItemView *>(watched);
    if (!view || !m_searchBox || !SettingsControl::instance().isInstantSearch())
        return false;
    switch (event->type()) {
    case QEvent::InputMethodQuery: {
        // An input method is on for the list whatever its entries allow (a list only takes one
        // while its current entry can be renamed): what it asks, the box answers.
        auto *query = static_cast<QInputMethodQueryEvent *>(event);
        for (uint bit = 1; bit && bit <= Qt::ImInputItemClipRectangle; bit <<= 1) {
            const auto asked = Qt::InputMethodQuery(bit);
            if (!(query->queries() & asked))
                continue;
            QVariant value =
                asked == Qt::ImEnabled ? QVariant(true) : m_searchBox->inputMethodQuery(asked);
            // Rectangles in the list's coordinates, so that the candidates stand at the box.
            if (value.type() == QVariant::RectF || value.type() == QVariant::Rect) {
                const QRectF rect = value.toRectF();
                value =
                    QRectF(view->mapFromGlobal(m_searchBox->mapToGlobal(rect.topLeft().toPoint())),
                           rect.size());
            }
            query->setValue(asked, value);
        }
        query->accept();
        return true;
    }
    case QEvent::InputMethod: {
        const auto *input = static_cast<QInputMethodEvent *>(event);
        event->accept();
        if (!input->preeditString().isEmpty() || input->commitString().isEmpty()) {
            QInputMethodEvent copy(*input);
            QApplication::sendEvent(m_searchBox, &copy);
            return true;
        }
        // Committed: the box takes the keyboard, then the text. Both once the input method
        // has done with the commit: the search the text starts hides the list, and IBus
        // commits again what it still holds when the keyboard moves while it delivers.
        const QString text = input->commitString();
        QTimer::singleShot(0, m_searchBox, [box = m_searchBox, text] {
            box->setFocus(Qt::OtherFocusReason);
            QInputMethodEvent committed;
            committed.setCommitString(text);
            QApplication::sendEvent(box, &committed);
        });
        return true;
    }
    case QEvent::KeyPress: {
        // Without an input method, or past it (its Latin state): printable keys. Keys with a
        // meaning in the list (arrows, Home/End, pages, F2, Enter, Escape) bring no text.
        auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        const bool printable =
            !text.isEmpty() && text.at(0).isPrint() &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        if (!printable)
            return false;
        m_searchBox->setFocus(Qt::OtherFocusReason);
        QApplication::sendEvent(m_searchBox, event);
        return true;
    }
    default:
        return false;
    }
}
