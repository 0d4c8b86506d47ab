#pragma once

#include <QMessageBox>
#include <QUrl>
#include <QVariantMap>

class QWidget;

// Turns the entries of one drop on the items list into item records. Remembers the answer to
// the shortcut question for the length of the drop, so "全部是" and "全部否" are asked once.
class ItemDrop final
{
public:
    enum class Outcome { Record, Skip, Stop };

    // Questions are asked with parent as their window.
    explicit ItemDrop(QWidget *parent);

    // Fills record for one entry. Stop ends the drop: a link with a missing target the user
    // chose not to add. Skip: a local path that is no link, folder or file any more.
    Outcome read(const QUrl &url, QVariantMap &record);

private:
    void readWebLink(const QUrl &url, QVariantMap &record) const;
    Outcome readLocal(const QString &path, QVariantMap &record);
    // An application's desktop entry: its name, comment and icon; a link entry is a web item.
    // An entry that cannot be read is refused with a notice.
    Outcome readEntry(const QString &path, QVariantMap &record) const;

    QWidget *m_parent;
    QMessageBox::StandardButton m_shortcutAnswer = QMessageBox::Yes;
    mutable bool m_iconsRescanned = false;
};
