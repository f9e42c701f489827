// The kernel's mount table (/proc/self/mountinfo), read without touching any mounted file system.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

struct Mount
{
    QString mountPoint;
    QString fileSystemType; // such as cifs or fuse.rclone
    QString source; // such as //server/share
};

namespace MountTable {

// The mounts listed in a mountinfo file, in the kernel's order (a later mount covers an earlier one on the same
// point); with within, only those on that folder or below it. An unreadable file gives an empty list.
QList<Mount> read(const QString& mountInfoPath, const QString& within = {});
QList<Mount> parse(const QByteArray& mountInfo, const QString& within = {});

// The mount that is visible at path, if any.
const Mount* find(const QList<Mount>& mounts, const QString& path);

// SMB, NFS and the other file systems whose files live on another computer.
bool isNetworkFileSystem(const QString& type);

} // namespace MountTable
