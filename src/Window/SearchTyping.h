#pragma once

#include <QObject>
#include <QPointer>

class QAbstractItemView;
class QLineEdit;

// Typing in a list of the catalogue searches: what is typed there goes to the search box, and
// with an input method on, the composition happens in the box from its first letter. The list
// keeps the keyboard while a composition runs (moving the focus would make fcitx5 commit what
// was composed so far) and answers the input method's questions with the box's answers, so the
// candidates stand at the box; the box takes the keyboard once the text is committed.
class SearchTyping final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchTyping)

public:
    explicit SearchTyping(QLineEdit *searchBox, QObject *parent = nullptr);

    // Typing in view goes to the search box from now on.
    void watch(QAbstractItemView *view);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QLineEdit> m_searchBox;
};
