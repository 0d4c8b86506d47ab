#pragma once

#include "ActionProvider.h"

// The documents the desktop lists as recently used ("recently-used.xbel" in $XDG_DATA_HOME,
// which GTK applications and file managers keep), found by name and pinyin. They rank below
// every catalogue item; files that are gone are left out. The list is read again whenever its
// file changed.
class RecentDocuments final : public ActionProvider
{
public:
    QString key() const override { return QStringLiteral("RecentDocuments"); }
    QString label() const override;
    QVector<ActionRow> query(const SearchQuery &query, const QString &typed) override;
    ActionOutcome run(const ActionRow &row, const ActionContext &context) override;

    // At most this many rows are listed.
    static constexpr int maxRows = 20;
    // The desktop's list of recent files.
    static QString listFile();
    // Reads the list again if it changed since it was last read.
    void refresh();

private:
    struct Document
    {
        QString path;
        QString name;
        QString folded;
        QString iconName;
        qint64 used; // seconds since 1970, the latest visit or change
    };

    // Which state of the list was read: its inode, size and time of change.
    struct Version
    {
        quint64 inode = 0;
        qint64 size = -1;
        qint64 changed = 0;
        bool operator==(const Version &other) const
        {
            return inode == other.inode && size == other.size && changed == other.changed;
        }
    };

    QString m_file;
    Version m_version{0, -2, 0};
    QVector<Document> m_documents;
};
