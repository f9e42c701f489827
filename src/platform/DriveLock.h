// A drive letter's lock: one connect at a time on a letter.
#pragma once

#include "platform/UniqueFd.h"

#include <QString>

// A connect holds the lock from the check that the letter is free to the end of the mount, and whoever holds it
// may start an rclone on the letter's cache. It is a flock on a file beside the cache, so it holds across
// processes and goes with its holder however that ends.
class DriveLock
{
public:
    explicit DriveLock(QString path);

    bool tryAcquire();
    bool canOpen() const { return m_file.isValid(); }

private:
    QString m_path;
    UniqueFd m_file;
};
