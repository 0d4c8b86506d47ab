#pragma once

#include <QString>

class QDir;

// The user's own files (settings, catalogue, icon cache, log) are for the user alone: files
// 0600, in folders 0700. Other people on the machine see neither the commands typed nor what
// the catalogue holds.
namespace PrivateFiles {
// Creates the folder below base and each missing folder on the way for the user alone. A
// folder that was open to others, as older versions left it, is closed along with the files
// directly inside it. False when the folder cannot be created; what cannot be closed is logged.
bool makeFolder(const QDir &base, const QString &path);
// Closes the file to others when it is not yet; a missing file is left alone.
void restrict(const QString &file);
} // namespace PrivateFiles
