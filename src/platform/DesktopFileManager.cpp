// The desktop's own file manager, as xdg-open or the desktop's platform theme chooses it.
#include "DesktopFileManager.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

DesktopFileManager::DesktopFileManager(QString drivesFolder)
    : m_drivesFolder(std::move(drivesFolder))
{ }

bool DesktopFileManager::openDrive(const QString& drive)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QDir(m_drivesFolder).filePath(drive.left(1))));
}
