// The desktop's own file manager, as xdg-open chooses it.
#pragma once

#include "FileManager.h"

class DesktopFileManager final : public FileManager
{
public:
    // Drive letter F is the folder drivesFolder/F.
    explicit DesktopFileManager(QString drivesFolder);

    bool openDrive(const QString& drive) override;

private:
    QString m_drivesFolder;
};
