#pragma once

#include "Skins/Skin.h"

// Turning a skin into the application's look: the part of the skins that needs widgets.
namespace Skin {
// The application style sheet: the template with this skin's colours (and background picture)
// filled in.
QString styleSheet(const SkinInfo &skin, const QString &styleTemplate);
// Makes the skin of that name the application's (font and style sheet) and the stored choice;
// what it falls back on where the file lacks a value. The window applies the rest (opacity,
// the colour of its own icons).
SkinInfo apply(const QString &name);
} // namespace Skin
