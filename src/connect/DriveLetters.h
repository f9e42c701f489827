// The drive-letter scans of a connect and of the Connected Drives pane, asked of the networking layer.
#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

class Wnet;

namespace DriveLetters {

// "F:" and "F:\", as the layer takes them.
QString drive(QChar letter);
QString root(QChar letter);

// The first free letter from E. When E to Z are all taken, the character after Z, which no layer takes for a
// letter: the connect then fails on it.
QChar findFree(Wnet& wnet);

// The free letters from F, as drives: what the drive-in-use dialog offers.
QStringList freeDrives(Wnet& wnet);

// Whether rootPath names a letter B to Z that is not free. The comparison keeps case: "f:\" is no letter's root.
bool isInUse(Wnet& wnet, const QString& rootPath);

// The letters B to Z that hold network drives, in order.
QList<QChar> networkLetters(Wnet& wnet);

// The remote name of a network drive ("F:"), or empty when the layer cannot name it.
QString connectionName(Wnet& wnet, const QString& drive);

} // namespace DriveLetters
