#pragma once

#include "Actions/ActionProvider.h"

#include <QDateTime>
#include <QHash>

template<typename T>
class QFutureWatcher;

// Text that starts with "/", "~/" or "./" names a place: the files and folders that match its
// last part are listed as typed (hidden ones only when that part starts with a dot), by name
// and by pinyin, and a row opens as a catalogue item of its kind would. "./" is the program's
// working folder, as for relative item paths. Tab completes to the current row, a folder with
// its "/".
//
// Folders are listed on fileReads(), never on the GUI thread: a folder is answered once its
// listing has come in, and each key has the folder looked at again there, listed anew when it
// changed. A folder on a dead network mount answers nothing and holds up nothing else.
class PathCompletion final : public ActionProvider
{
public:
    PathCompletion();
    ~PathCompletion() override;

    QString key() const override { return QStringLiteral("Paths"); }
    QString label() const override;
    QVector<ActionRow> query(const SearchQuery &query, const QString &typed) override;
    ActionOutcome run(const ActionRow &row, const ActionContext &context) override;
    bool isReading() const override { return !m_reading.isEmpty(); }

    // At most this many entries of a folder are listed.
    static constexpr int maxRows = 50;

private:
    struct Entry
    {
        QString name;
        QString folded;
        // A symbolic link counts as what it leads to.
        bool folder;
        bool hidden;
        bool operator==(const Entry &other) const
        {
            return name == other.name && folder == other.folder;
        }
    };

    struct Listing
    {
        QString folder;
        bool isFolder = false;
        QDateTime changed;
        QDateTime listed;
        QVector<Entry> entries;
    };

    // The folder's entries, read on a thread of fileReads(); the listing before is given back
    // as it was while the folder has not changed since.
    static Listing read(const QString &folder, const Listing &before);
    // Has the folder read, unless a read of it is under way.
    void readSoon(const QString &folder);
    void take(const Listing &listing);
    const Listing *listed(const QString &folder) const;
    // The icon of a file by its name: the MIME database takes tens of microseconds for each.
    QString fileIcon(const QString &name);

    // The last few folders, for going back and forth between them.
    QVector<Listing> m_listings;
    QHash<QString, QFutureWatcher<Listing> *> m_reading;
    QHash<QString, QString> m_icons;
};
