// The networking operations through which the program connects, disconnects and inspects drive letters.
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// Result codes of the networking layer: 0 is success, the rest are the error codes that GetErrorText names.
enum WnetResult : qint32 {
    NO_ERROR = 0,
    ERROR_ACCESS_DENIED = 5,
    ERROR_BAD_NETPATH = 53,
    ERROR_BAD_DEV_TYPE = 66,
    ERROR_BAD_NET_NAME = 67,
    ERROR_ALREADY_ASSIGNED = 85,
    ERROR_INVALID_PASSWORD = 86,
    ERROR_BUSY = 170,
    ERROR_MORE_DATA = 234,
    ERROR_INVALID_ADDRESS = 487,
    ERROR_BAD_DEVICE = 1200,
    ERROR_DEVICE_ALREADY_REMEMBERED = 1202,
    ERROR_NO_NET_OR_BAD_PATH = 1203,
    ERROR_BAD_PROVIDER = 1204,
    ERROR_CANNOT_OPEN_PROFILE = 1205,
    ERROR_BAD_PROFILE = 1206,
    ERROR_EXTENDED_ERROR = 1208,
    ERROR_SESSION_CREDENTIAL_CONFLICT = 1219,
    ERROR_CANCELLED = 1223,
    ERROR_LOGON_FAILURE = 1326,
    ERROR_ACCOUNT_DISABLED = 1331,
    ERROR_NOT_CONNECTED = 2250,
    ERROR_DEVICE_IN_USE = 2404,
};

// What GetDriveTypeA answers.
enum DriveType : qint32 {
    DRIVE_NO_ROOT_DIR = 1,
    DRIVE_FIXED = 3,
    DRIVE_REMOTE = 4,
};

// The resource to connect. Texts are the record's own (decoded from the record file's code page).
struct NETRESOURCE
{
    enum : qint32 {
        RESOURCE_GLOBALNET = 2,
        RESOURCETYPE_DISK = 1,
        RESOURCEDISPLAYTYPE_SHARE = 3,
        RESOURCEUSAGE_CONNECTABLE = 1,
    };

    qint32 dwScope = RESOURCE_GLOBALNET;
    qint32 dwType = RESOURCETYPE_DISK;
    qint32 dwDisplayType = RESOURCEDISPLAYTYPE_SHARE;
    qint32 dwUsage = RESOURCEUSAGE_CONNECTABLE;
    QString lpLocalName; // the drive as letter and colon, such as F:
    QString lpRemoteName; // \\server\share
    QString lpComment;
    QString lpProvider;
};

class Wnet
{
public:
    // Flags of the cancel: a remembered connection is forgotten as well.
    static constexpr qint32 CONNECT_UPDATE_PROFILE = 1;
    // The remote-name buffer that the callers hand to WNetGetConnectionA.
    static constexpr quint32 RemoteNameBufferLength = 255;

    virtual ~Wnet() = default;

    // The drive letter of a drive ("f:" is F) or, withRoot, also of a root path ("F:\"); nothing for any other
    // name, the character after Z included.
    static std::optional<QChar> driveLetter(const QString& name, bool withRoot);

    // Connects lpLocalName to lpRemoteName; an empty user name means the user who runs the program.
    virtual qint32 WNetAddConnection2A(const NETRESOURCE& resource, const QString& password, const QString& userName,
                                       qint32 flags)
        = 0;
    // Disconnects the drive; a drive in use gives ERROR_DEVICE_IN_USE unless forced. An error that comes after
    // the drive has gone (files saved on it that did not reach the server) leaves it gone.
    virtual qint32 WNetCancelConnection2A(const QString& name, qint32 flags, bool force) = 0;
    // The remote name of a network drive. A name longer than length gives ERROR_MORE_DATA and the length needed.
    virtual qint32 WNetGetConnectionA(const QString& localName, QString& remoteName, quint32& length) = 0;
    // DRIVE_NO_ROOT_DIR for a free letter, DRIVE_REMOTE for a network drive, another value for a local one.
    virtual qint32 GetDriveTypeA(const QString& rootPathName) = 0;
};
