// Where the record file lives on Linux.
#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace DataFolder {

// SHAREMOUNT_DATA_DIR when set; else the program's own folder when it holds the record file (a portable
// install); else the per-user data folder, $XDG_DATA_HOME/ShareMount or ~/.local/share/ShareMount.
QString choose(const QProcessEnvironment& environment, const QString& programFolder);

// HOME when it is an absolute path, else the home folder of the user's account.
QString home(const QProcessEnvironment& environment);

// Creates folder, and any missing parent, readable by its owner only.
bool create(const QString& folder, QString* error);

} // namespace DataFolder
