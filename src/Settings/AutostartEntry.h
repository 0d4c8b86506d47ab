#pragma once

#include <QString>

// Starting with the desktop session: an XDG autostart entry, "<config>/autostart/<name>.desktop"
// ($XDG_CONFIG_HOME, or ~/.config), that runs this install's starter (or, without one, this
// executable) in the current working folder.
namespace AutostartEntry {
QString fileName();
// The entry that starts program in folder.
QString text(const QString &program, const QString &folder);
// False when the entry exists already, cannot be written, or could not be started: GIO cannot
// start a program whose path holds "%".
bool create();
// False when there is no entry to remove or it cannot be removed.
bool remove();
} // namespace AutostartEntry
