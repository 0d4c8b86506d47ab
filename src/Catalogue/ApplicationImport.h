#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Brings the installed applications into the catalogue: a type "应用程序" with one group per
// main category of the freedesktop menu, one item per application entry the desktop shows.
namespace ApplicationImport {
// The entries of the installed applications the desktop shows, as GIO finds them in the
// applications folders of $XDG_DATA_HOME and $XDG_DATA_DIRS: the first file of a desktop-file
// id wins, Hidden masks the id, and NoDisplay, OnlyShowIn/NotShowIn for $XDG_CURRENT_DESKTOP
// and a TryExec program that is missing leave an entry out.
QStringList installedEntries();
// The group an entry's categories fall in: its first main category ("影音" for AudioVideo,
// Audio and Video, …), "其他" when it names none.
QString groupOf(const QStringList &categories);
// Adds every installed application whose entry no item of the catalogue points at yet, in one
// transaction; existing items, groups and the type stay as they are. Each distinct icon is
// rendered and stored once. progress(done, total) is called as applications are added; returns
// the number of applications added.
int run(const std::function<void(int done, int total)> &progress = {});
} // namespace ApplicationImport
