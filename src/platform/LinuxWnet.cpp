#include "platform/LinuxWnet.h"

#include "platform/DataFolder.h"
#include "platform/MountTable.h"
#include "platform/RcloneMount.h"
#include "platform/SmbProbe.h"
#include "platform/SmbShare.h"
#include "platform/Subprocess.h"
#include "platform/Unmount.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isEmptyFolder(const QByteArray& path)
{
    DIR* folder = opendir(path.constData());
    if (!folder)
        return false;
    bool empty = true;
    while (const dirent* entry = readdir(folder)) {
        if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    closedir(folder);
    return empty;
}

QString localUserName()
{
    const passwd* user = getpwuid(getuid());
    return user ? QString::fromLocal8Bit(user->pw_name) : QString();
}

} // namespace

LinuxWnet::Settings LinuxWnet::settingsFrom(const QProcessEnvironment& environment)
{
    Settings settings;
    settings.environment = environment;
    const QString homeVariable = environment.value(QStringLiteral("HOME"));
    const QString home = homeVariable.startsWith(u'/') ? homeVariable : QDir::homePath();
    QString drives = environment.value(QStringLiteral("SHAREMOUNT_DRIVES"));
    if (drives.isEmpty())
        drives = home + QStringLiteral("/Drives");
    settings.drivesFolder = QDir::cleanPath(QDir::current().absoluteFilePath(drives));
    const QString cache = environment.value(QStringLiteral("XDG_CACHE_HOME"));
    settings.cacheFolder
        = (cache.startsWith(u'/') ? cache : home + QStringLiteral("/.cache")) + QStringLiteral("/ShareMount");
    settings.probeProgram = QCoreApplication::applicationDirPath() + QStringLiteral("/sharemount-smbprobe");
    bool valid = false;
    const uint port = environment.value(QStringLiteral("SHAREMOUNT_SMB_PORT")).toUInt(&valid);
    if (valid && port > 0 && port <= 65535)
        settings.smbPort = quint16(port);
    return settings;
}

LinuxWnet::LinuxWnet(Settings settings)
    : m_settings(std::move(settings))
    , m_checker(m_settings.probeProgram)
{ }

// Mounts outlive the program; their rclone processes are only left unwatched.
LinuxWnet::~LinuxWnet() = default;

std::optional<QString> LinuxWnet::letterFolder(QChar letter) const
{
    char resolved[PATH_MAX];
    if (!realpath(m_settings.drivesFolder.toLocal8Bit().constData(), resolved))
        return std::nullopt;
    return QString::fromLocal8Bit(resolved) + u'/' + letter;
}

qint32 LinuxWnet::GetDriveTypeA(const QString& rootPathName)
{
    const std::optional<QChar> letter = Wnet::driveLetter(rootPathName, true);
    const std::optional<QString> folder = letter ? letterFolder(*letter) : std::nullopt;
    if (!folder)
        return DRIVE_NO_ROOT_DIR;
    // The mount table first: a mount point is never looked into, so a dead server cannot hold up the answer.
    const QList<Mount> mounts = MountTable::read(m_settings.mountInfoPath, *folder);
    if (const Mount* mount = MountTable::find(mounts, *folder))
        return MountTable::isNetworkFileSystem(mount->fileSystemType) ? DRIVE_REMOTE : DRIVE_FIXED;
    const QByteArray path = folder->toLocal8Bit();
    struct stat status;
    if (lstat(path.constData(), &status) != 0)
        return errno == ENOENT ? DRIVE_NO_ROOT_DIR : DRIVE_FIXED;
    return S_ISDIR(status.st_mode) && isEmptyFolder(path) ? DRIVE_NO_ROOT_DIR : DRIVE_FIXED;
}

std::optional<Mount> LinuxWnet::networkDrive(const QString& localName) const
{
    const std::optional<QChar> letter = Wnet::driveLetter(localName, false);
    const std::optional<QString> folder = letter ? letterFolder(*letter) : std::nullopt;
    if (!folder)
        return std::nullopt;
    const QList<Mount> mounts = MountTable::read(m_settings.mountInfoPath, *folder);
    const Mount* mount = MountTable::find(mounts, *folder);
    if (!mount || !MountTable::isNetworkFileSystem(mount->fileSystemType))
        return std::nullopt;
    return *mount;
}

qint32 LinuxWnet::WNetGetConnectionA(const QString& localName, QString& remoteName, quint32& length)
{
    if (!Wnet::driveLetter(localName, false))
        return ERROR_BAD_DEVICE;
    const std::optional<Mount> mount = networkDrive(localName);
    if (!mount)
        return ERROR_NOT_CONNECTED;
    const QString name = remoteNameFromSource(mount->source);
    // Room for the terminating NUL of the caller's buffer.
    if (quint32(name.size()) >= length) {
        length = quint32(name.size()) + 1;
        return ERROR_MORE_DATA;
    }
    remoteName = name;
    return NO_ERROR;
}

QString LinuxWnet::providerProblem(const QString& rclone) const
{
    if (rclone.isEmpty())
        return QStringLiteral("rclone is missing: install the rclone package");
    if (access("/dev/fuse", R_OK | W_OK) != 0)
        return QStringLiteral("/dev/fuse is missing or not usable by this user: install fuse3");
    if (!QFileInfo(m_settings.probeProgram).isExecutable())
        return QStringLiteral("%1 is missing: it belongs beside the program").arg(m_settings.probeProgram);
    if (getuid() != 0 && Subprocess::findProgram(QStringLiteral("fusermount3"), m_settings.environment).isEmpty())
        return QStringLiteral("fusermount3 is missing: install fuse3");
    return {};
}

qint32 LinuxWnet::WNetAddConnection2A(const NETRESOURCE& resource, const QString& password, const QString& userName,
                                      qint32)
{
    const std::optional<QChar> letter = Wnet::driveLetter(resource.lpLocalName, false);
    if (!letter)
        return ERROR_BAD_DEVICE;
    if (GetDriveTypeA(resource.lpLocalName) != DRIVE_NO_ROOT_DIR)
        return ERROR_ALREADY_ASSIGNED;
    const std::optional<SmbShare> share = SmbShare::fromRemoteName(resource.lpRemoteName);
    if (!share)
        return ERROR_BAD_NET_NAME;
    const QString rclone = Subprocess::findProgram(QStringLiteral("rclone"), m_settings.environment);
    if (const QString problem = providerProblem(rclone); !problem.isEmpty()) {
        qWarning().noquote() << "sharemount:" << problem;
        return ERROR_BAD_PROVIDER;
    }
    const SmbUser user = SmbUser::fromUserName(userName);
    const SmbLogon logon {user.domain, user.user.isEmpty() ? localUserName() : user.user, password};
    if (const qint32 refused = m_checker.check(*share, logon, m_settings.smbPort, m_settings.limit))
        return refused;

    // The drives folder shows the contents of the user's shares: private to its owner.
    QString error;
    const QString letterPath = m_settings.drivesFolder + u'/' + *letter;
    if (!DataFolder::create(letterPath, &error) || !DataFolder::create(m_settings.cacheFolder, &error)) {
        qWarning().noquote() << "sharemount:" << error;
        return ERROR_BAD_DEVICE;
    }
    const QString mountPoint = *letterFolder(*letter);
    RcloneMount::Outcome outcome = RcloneMount::mount({
        rclone,
        *share,
        logon,
        m_settings.smbPort,
        mountPoint,
        m_settings.cacheFolder + QStringLiteral("/rclone-") + *letter,
        m_settings.mountInfoPath,
        m_settings.environment,
        m_settings.limit,
    });
    if (outcome.result != NO_ERROR) {
        rmdir(QFile::encodeName(mountPoint).constData());
        return outcome.result;
    }
    m_reaper.watch(std::move(*outcome.process));
    return NO_ERROR;
}

qint32 LinuxWnet::WNetCancelConnection2A(const QString& name, qint32, bool force)
{
    const std::optional<Mount> mount = networkDrive(name);
    if (!mount)
        return ERROR_NOT_CONNECTED;
    const qint32 result = Unmount::unmount(*mount, force, m_settings.environment, m_settings.limit);
    // The letter's folder goes with the drive; a folder that still holds something stays.
    if (result == NO_ERROR)
        rmdir(QFile::encodeName(mount->mountPoint).constData());
    return result;
}
