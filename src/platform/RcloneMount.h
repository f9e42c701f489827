// Mounting an SMB share on a folder with rclone's SMB backend through FUSE, and seeing its uploads through.
#pragma once

#include "platform/SmbProbe.h"
#include "platform/SmbShare.h"
#include "platform/Subprocess.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>

#include <chrono>
#include <optional>
#include <sys/types.h>

namespace RcloneMount {

struct Request
{
    QString rclone; // the program
    SmbShare share;
    SmbLogon logon;
    quint16 port = 445;
    QString mountPoint;
    // The letter's own: two mounts of one share must not share a cache, and files that a mount could not send
    // wait there for the next mount of the share on the letter.
    QString cacheFolder;
    QString logFile; // rclone's messages, kept across mounts
    QString mountInfoPath;
    QProcessEnvironment environment;
    std::chrono::milliseconds limit {10000};
};

struct Outcome
{
    qint32 result; // NO_ERROR, or the networking layer's code
    std::optional<Subprocess::Running> process = std::nullopt; // the running rclone after a success
};

// Starts rclone in a session of its own and waits until the mount table lists its mount and the mount's root
// lists; the caller holds the letter's lock. A mount that does not answer in time is taken down again.
// Credentials reach rclone only through a configuration that no other user can read.
Outcome mount(const Request& request);

// The rclone that serves, or served, the mount on a folder: after an unmount it goes on until it has sent what
// was saved on the drive.
struct Server
{
    pid_t pid = 0;
    UniqueFd pidFd;
    QString cacheFolder = {}; // with the folder below it that holds its uploads; empty when not one of ours
    QString uploads = {};
};
std::optional<Server> findServer(const QString& mountPoint);

// Waits, at most limit, until rclone has handled the release of every file closed on the drive on mountPoint. The
// kernel sends a release after the close has returned, and an unmount before rclone has it drops the release, and
// with it the file's upload.
void awaitReleases(const Server& rclone, const QString& mountPoint, std::chrono::milliseconds limit);

// Waits for the rclone of a drive that has been unmounted to send what was saved on the drive and to end. One
// that has sent nothing for limit (its server has gone) is ended, and what it could not send waits in the
// cache for the next mount of the share on the letter. NO_ERROR when every file saved on the drive has reached
// the server whole; else the files still to be sent are named on stderr.
qint32 finishUploads(const Server& rclone, std::chrono::milliseconds limit);

// rclone's reversible "obscured" form of a password, which its configuration takes in place of the password.
QByteArray obscure(const QString& password);

} // namespace RcloneMount
