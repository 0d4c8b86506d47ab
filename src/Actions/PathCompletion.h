#pragma once

#include "ActionProvider.h"

#include <QDateTime>
#include <QHash>

// Text that starts with "/", "~/" or "./" names a place: the files and folders that match its
// last part are listed as typed (hidden ones only when that part starts with a dot), by name
// and by pinyin, and a row opens as a catalogue item of its kind would. "./" is the program's
// working folder, as for relative item paths. Tab completes to the current row, a folder with
// its "/".
class PathCompletion final : public ActionProvider
{
public:
    QString key() const override { return QStringLiteral("Paths"); }
    QString label() const override;
    QVector<ActionRow> query(const SearchQuery &query, const QString &typed) override;
    ActionOutcome run(const ActionRow &row, const ActionContext &context) override;

    // At most this many entries of a folder are listed.
    static constexpr int maxRows = 50;

private:
    struct Entry
    {
        QString name;
        QString folded;
        // What a symbolic link leads to is asked only for the rows shown.
        bool link;
        bool folder;
        bool hidden;
    };

    struct Listing
    {
        QString folder;
        QDateTime changed;
        QDateTime listed;
        QVector<Entry> entries;
        // The names are folded for matching once a part of a name is typed.
        bool folded = false;
    };

    // The folder's entries, read again only when the folder changed. The last few folders
    // stay listed, for going back and forth between them.
    Listing &listing(const QString &folder);
    // The icon of a file by its name: the MIME database takes tens of microseconds for each.
    QString fileIcon(const QString &name);

    QVector<Listing> m_listings;
    QHash<QString, QString> m_icons;
};
