#pragma once

#include "Actions/ActionProvider.h"

#include <QStringList>

template<typename T>
class QFutureWatcher;

// The documents the desktop lists as recently used ("recently-used.xbel" in $XDG_DATA_HOME,
// which GTK applications and file managers keep), found by name and pinyin. They rank below
// every catalogue item; files that are gone are left out.
//
// The list is read on fileReads(), never on the GUI thread, again whenever its file changed,
// and only its newest entries are kept: a list grown to tens of megabytes costs no more memory
// than a short one. Whether the documents shown still exist is asked there too, after the key
// that showed them; those that are gone are taken out with the next answer.
class RecentDocuments final : public ActionProvider
{
public:
    RecentDocuments();
    ~RecentDocuments() override;

    QString key() const override { return QStringLiteral("RecentDocuments"); }
    QString label() const override;
    QVector<ActionRow> query(const SearchQuery &query, const QString &typed) override;
    ActionOutcome run(const ActionRow &row, const ActionContext &context) override;
    bool isReading() const override;

    // At most this many rows are listed.
    static constexpr int maxRows = 20;
    // At most this many of the list's newest entries are kept.
    static constexpr int maxDocuments = 4000;
    // The desktop's list of recent files.
    static QString listFile();
    // Has the list read again if it changed since it was last read.
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
        qint64 size = -2;
        qint64 changed = 0;
        bool operator==(const Version &other) const
        {
            return inode == other.inode && size == other.size && changed == other.changed;
        }
    };

    struct List
    {
        QString file;
        Version version;
        bool changed = false;
        QVector<Document> documents;
        // Why the list could not be read; empty when it could.
        QString failure;
    };

    static List read(const QString &file, const Version &known);
    // The paths of these that no longer exist.
    static QStringList gone(const QStringList &paths);
    void take(const List &list);
    // Has these paths looked at after the running look, if one runs.
    void check(const QStringList &paths);
    void dropGone(const QStringList &paths);

    QString m_file;
    Version m_version;
    QVector<Document> m_documents;
    QFutureWatcher<List> *m_reading = nullptr;
    QFutureWatcher<QStringList> *m_checking = nullptr;
    // What the latest key showed, while an earlier look runs.
    QStringList m_toCheck;
};
