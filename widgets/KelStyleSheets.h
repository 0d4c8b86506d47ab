#pragma once

#include <QString>

#include "kelwidgets_export.h"

// Style sheets with variables: "$Name=value;" defines a variable anywhere in the text and
// "$Name" uses it.
class KELWIDGETS_EXPORT KelStyleSheets
{
public:
    // Removes the definitions and substitutes their values; compacted to one line when
    // simplified is true. Names must not be prefixes of one another.
    static QString toQss(const QString &text, bool simplified);

    // Whether Qt's own style-sheet parser accepts the text.
    static bool isStyleSheetValid(const QString &styleSheet);
};
