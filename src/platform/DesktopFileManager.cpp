// The desktop's own file manager, as xdg-open chooses it.
#include "DesktopFileManager.h"

#include <QDir>
#include <QProcess>

DesktopFileManager::DesktopFileManager(QString drivesFolder)
    : m_drivesFolder(std::move(drivesFolder))
{ }

// xdg-open rather than QDesktopServices: it answers the same way on every platform plugin, and it is the one
// program whose absence the user can mend.
bool DesktopFileManager::openDrive(const QString& drive)
{
    return QProcess::startDetached(QStringLiteral("xdg-open"), {QDir(m_drivesFolder).filePath(drive.left(1))});
}
