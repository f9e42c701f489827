// A remote name, \\server\share with an optional folder below the share, taken apart for the SMB client.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

struct SmbShare
{
    QString server;
    QString share;
    QStringList folders; // the path below the share, one name a step

    // \\server\share\folder, as written in a record. Returns nothing for anything else, for names that could
    // reach past the share (".." steps) or that the SMB protocol cannot carry, and for names that the mount would
    // read as another folder's.
    static std::optional<SmbShare> fromRemoteName(const QString& remoteName);

    // //server/share/folder: the mount's device name in the mount table.
    QString deviceName() const;
    // The share and its folders as one /-separated path.
    QString sharePath() const;
};

// A mount table's source turned back into the remote name the user wrote: //server/share becomes
// \\server\share; other sources (host:/export) stand as they are.
QString remoteNameFromSource(const QString& source);

// "DOMAIN\user" split into its domain and user; a name without a backslash has no domain.
struct SmbUser
{
    QString domain;
    QString user;

    // Nothing for a name with control characters, which no SMB account has, or with "%(".
    static std::optional<SmbUser> fromUserName(const QString& userName);
};
