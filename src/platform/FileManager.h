// Opening a connected drive in the desktop's file manager.
#pragma once

#include <QString>

class FileManager
{
public:
    FileManager() = default;
    virtual ~FileManager() = default;
    Q_DISABLE_COPY_MOVE(FileManager)

    // Shows drive ("F:") in a file manager window without waiting for it; false when none could be started.
    virtual bool openDrive(const QString& drive) = 0;
};
