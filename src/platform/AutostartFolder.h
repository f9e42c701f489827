// The XDG autostart folder: the desktop entries that the session starts at log-on, and the program's own entry.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace AutostartFolder {

// The file name of the program's own entry; Add writes this one entry and no other.
constexpr const char* EntryName = "ShareMount AutoStart.desktop";

// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart when XDG_CONFIG_HOME is unset, empty or relative.
QString locate(const QProcessEnvironment& environment);

// The names of the desktop entries in folder, in the order the file system gives them. A missing folder has none.
QStringList entries(const QString& folder);

// Writes the program's entry into folder, creating the folder when it is missing. The entry is replaced whole or
// not at all.
bool writeEntry(const QString& folder, const QString& programPath, QString* error);

// Deletes the file named name in folder.
bool remove(const QString& folder, const QString& name, QString* error);

} // namespace AutostartFolder
