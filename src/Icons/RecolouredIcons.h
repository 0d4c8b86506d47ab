#pragma once

#include <QList>
#include <QString>

class QObject;

// Buttons and actions whose icons are our SVG files drawn in one colour (the skin's text
// colour), drawn anew when it changes; the built-in item icons take the colour too.
class RecolouredIcons final
{
public:
    // target: anything with an "icon" property (a button, an action). attribute: the SVG
    // attribute that takes the colour ("fill" or "stroke").
    void add(QObject *target, const QString &file, const QString &attribute);
    void recolour(const QString &color) const;

private:
    struct Entry
    {
        QObject *target;
        QString file;
        QString attribute;
    };
    QList<Entry> m_entries;
};
