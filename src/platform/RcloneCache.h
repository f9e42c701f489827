// What rclone keeps for a drive in the letter's cache folder: the files being uploaded and its log.
#pragma once

#include <QString>
#include <QStringList>

namespace RcloneCache {

// The folder of rclone's copies of the files under uploads, by their names on the drive.
QString copies(const QString& cacheFolder, const QString& uploads);

// The files under uploads (a remote and the share's path, as rclone names its cache folders) that rclone has
// not yet sent to the server whole, as paths below the share.
QStringList pending(const QString& cacheFolder, const QString& uploads);

// The files under uploads whose copy rclone holds but took no note on: it ended before the drive's release of the
// file reached it. Their next mount does not send them.
QStringList unnoted(const QString& cacheFolder, const QString& uploads);

// Removes the copies of files that have reached the server; files still to be sent stay for the next mount.
// Only while no rclone uses the cache.
void removeFinished(const QString& cacheFolder);

// Keeps earlier runs' messages, but only the newest of them once the log has grown past limit bytes.
void boundLog(const QString& path, qint64 limit);

} // namespace RcloneCache
