#pragma once

#include <QString>
#include <QStringList>

// One desktop entry (the freedesktop.org desktop entry format, version 1.5): the file that
// describes an installed application or a link, read for what an item of the catalogue needs.
class DesktopEntry final
{
public:
    enum class Kind { Invalid, Application, Link };

    // An entry that cannot be read (no "[Desktop Entry]" group, not UTF-8, an application with
    // neither Exec nor D-Bus activation, a link without URL) is Invalid.
    static DesktopEntry read(const QString &path);
    // Whether the file is a desktop entry by its type (application/x-desktop), known from its
    // name; for a link ("myapp" → "foo.desktop"), from the name of what it leads to.
    static bool isEntryFile(const QString &path);
    // Whether its Exec may run without asking, as file managers decide: the entry (what a link
    // leads to) lies in an applications folder of the desktop, or is executable, or was marked
    // trusted (GIO's metadata::trusted). A file anywhere else is any file a download or a mail
    // could have left there.
    static bool isTrusted(const QString &path);
    // Marks the entry trusted once the user agreed to start it, as file managers do:
    // metadata::trusted and, for a file of the user's own, the executable bit. Only while the
    // file still holds the text the user was shown (see text()). Whether either mark held.
    static bool markTrusted(const QString &path, const QByteArray &shown);
    // Whether the file (what a link leads to) holds exactly this text.
    static bool holds(const QString &path, const QByteArray &text);

    Kind kind() const { return m_kind; }
    bool isValid() const { return m_kind != Kind::Invalid; }
    // Localised for the interface: Name[zh_CN], then Name[zh], then Name; the file name when the
    // entry has none.
    QString name() const { return m_name; }
    // Comment, localised the same way, or else GenericName.
    QString note() const { return m_note; }
    // A theme icon name or an absolute path; may be empty.
    QString icon() const { return m_icon; }
    // The address of a link.
    QString url() const { return m_url; }
    // What an application runs, as written (field codes and all).
    QString exec() const { return m_exec; }
    QStringList categories() const { return m_categories; }
    // The file's text as it was read: what the user is shown is what starts.
    QByteArray text() const { return m_text; }

private:
    Kind m_kind = Kind::Invalid;
    QString m_name;
    QString m_note;
    QString m_icon;
    QString m_url;
    QString m_exec;
    QStringList m_categories;
    QByteArray m_text;
};
