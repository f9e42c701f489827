// Mounting an SMB share on a folder with rclone's SMB backend through FUSE.
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
    QString cacheFolder; // the mount's own: two mounts of one share must not share a cache
    QString mountInfoPath;
    QProcessEnvironment environment;
    std::chrono::milliseconds limit {10000};
};

struct Outcome
{
    qint32 result; // NO_ERROR, or the networking layer's code
    std::optional<Subprocess::Running> process = std::nullopt; // the running rclone after a success
};

// Starts rclone in a session of its own and waits until the mount table lists the mount and its root lists.
// A mount that does not answer in time is taken down again. Credentials travel only in rclone's environment.
Outcome mount(const Request& request);

// rclone's reversible "obscured" form of a password, which its configuration takes in place of the password.
QByteArray obscure(const QString& password);

} // namespace RcloneMount
