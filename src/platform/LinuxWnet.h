// The networking layer on Linux: drive letters are folders in the drives folder, a connected drive is an SMB
// share mounted on its letter's folder with rclone through FUSE.
#pragma once

#include "net/Wnet.h"
#include "platform/ChildReaper.h"
#include "platform/DriveLock.h"
#include "platform/MountTable.h"
#include "platform/SmbProbe.h"

#include <QProcessEnvironment>
#include <QString>

#include <chrono>
#include <optional>
#include <sys/types.h>

// One for the whole run: it collects the rclone processes it starts as they end.
class LinuxWnet : public Wnet
{
public:
    struct Settings
    {
        QString drivesFolder; // letter F is drivesFolder/F
        QString cacheFolder; // where rclone keeps the files being written, with a folder, a log and a lock a letter
        QString probeProgram; // sharemount-smbprobe, which checks the log-on and the share
        quint16 smbPort = 445;
        QString mountInfoPath = QStringLiteral("/proc/self/mountinfo");
        QProcessEnvironment environment; // for the programs the layer starts, and where it finds them
        std::chrono::milliseconds limit {10000}; // the longest wait for a server or a mount
    };

    // SHAREMOUNT_DRIVES (default ~/Drives), SHAREMOUNT_SMB_PORT (default 445) and the XDG cache folder of
    // environment; the SMB check's helper beside the running program.
    static Settings settingsFrom(const QProcessEnvironment& environment);

    explicit LinuxWnet(Settings settings);
    ~LinuxWnet() override;
    Q_DISABLE_COPY_MOVE(LinuxWnet)

    // Linux remembers no connections for the next log-on, so the flags of the add and the cancel change nothing.
    qint32 WNetAddConnection2A(const NETRESOURCE& resource, const QString& password, const QString& userName,
                               qint32 flags) override;
    qint32 WNetCancelConnection2A(const QString& name, qint32 flags, bool force) override;
    qint32 WNetGetConnectionA(const QString& localName, QString& remoteName, quint32& length) override;
    qint32 GetDriveTypeA(const QString& rootPathName) override;

private:
    // The folder of drive letter, with the drives folder's links resolved as the mount table has them; nothing
    // while the drives folder does not exist.
    std::optional<QString> letterFolder(QChar letter) const;
    // The network file system mounted on drive localName ("F:"), if any.
    std::optional<Mount> networkDrive(const QString& localName) const;
    // Why the layer cannot mount here, given where rclone was found; empty when nothing is missing.
    QString providerProblem(const QString& rclone) const;
    // The letter's cache folder; its log and its lock sit beside it, with .log and .lock added.
    QString letterCache(QChar letter) const;
    QString letterLock(QChar letter) const;
    // Takes the lock of a free letter and sees that no rclone of an earlier drive on it runs any more; NO_ERROR,
    // or the code for why not.
    qint32 takeLetter(QChar letter, DriveLock& lock);

    Settings m_settings;
    SmbChecker m_checker;
    ChildReaper m_reaper;
};
