#pragma once

#include <QString>
#include <QStringList>

// One desktop entry (freedesktop Desktop Entry Specification 1.5): the file that describes an
// installed application or a link, read for what an item of the catalogue needs.
class DesktopEntry final
{
public:
    enum class Kind { Invalid, Application, Link };

    // An entry that cannot be read (no "[Desktop Entry]" group, not UTF-8, an application with
    // neither Exec nor D-Bus activation, a link without URL) is Invalid.
    static DesktopEntry read(const QString &path);
    // Whether the file is a desktop entry by its type (application/x-desktop), known from its
    // name.
    static bool isEntryFile(const QString &path);

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
    QStringList categories() const { return m_categories; }

private:
    Kind m_kind = Kind::Invalid;
    QString m_name;
    QString m_note;
    QString m_icon;
    QString m_url;
    QStringList m_categories;
};
