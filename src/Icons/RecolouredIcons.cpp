#include "Icons/RecolouredIcons.h"

#include <QIcon>
#include <QObject>
#include <QVariant>

#include "Icons/IconLoader.h"

void RecolouredIcons::add(QObject *target, const QString &file, const QString &attribute)
{
    m_entries.append({target, file, attribute});
}

void RecolouredIcons::recolour(const QString &color) const
{
    IconLoader &icons = IconLoader::instance();
    icons.setBuiltInColor(color);
    for (const Entry &entry : m_entries)
        entry.target->setProperty("icon",
                                  QIcon(icons.svgToPixmap(entry.file, color, entry.attribute)));
}
