// The networking layer on Linux: drive letters are folders in the drives folder, a connected drive is an SMB
// share mounted on its letter's folder with rclone through FUSE.
#include "platform/LinuxWnet.h"

#include "platform/DataFolder.h"
#include "platform/DriveLock.h"
#include "platform/MountTable.h"
#include "platform/RcloneCache.h"
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
#include <thread>
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
    const QString home = DataFolder::home(environment);
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

QString LinuxWnet::letterCache(QChar letter) const
{
    return m_settings.cacheFolder + QStringLiteral("/rclone-") + letter;
}

QString LinuxWnet::letterLock(QChar letter) const
{
    return letterCache(letter) + QStringLiteral(".lock");
}

qint32 LinuxWnet::takeLetter(QChar letter, DriveLock& lock)
{
    const QString root = letter + QStringLiteral(":\\");
    // Another connect to the letter ends within its own bound.
    const auto deadline = std::chrono::steady_clock::now() + m_settings.limit;
    while (!lock.tryAcquire()) {
        if (!lock.canOpen()) {
            qWarning().noquote() << "sharemount: cannot open the lock of drive" << root;
            return ERROR_BAD_DEVICE;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return ERROR_ALREADY_ASSIGNED;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (GetDriveTypeA(root) != DRIVE_NO_ROOT_DIR)
        return ERROR_ALREADY_ASSIGNED;
    // The rclone of a drive dropped at once (forced, or from outside) may still be sending what was saved on it;
    // it must be done with the letter's cache, or be ended, before another rclone starts on it.
    const std::optional<QString> mountPoint = letterFolder(letter);
    while (std::optional<RcloneMount::Server> earlier
           = mountPoint ? RcloneMount::findServer(*mountPoint) : std::nullopt) {
        RcloneMount::finishUploads(*earlier, m_settings.limit);
        if (!Subprocess::waitForEnd(earlier->pidFd.get(), std::chrono::milliseconds(0))) {
            qWarning().noquote() << "sharemount: the rclone of an earlier drive" << root << "does not end";
            return ERROR_ALREADY_ASSIGNED;
        }
    }
    return NO_ERROR;
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
    const std::optional<SmbUser> user = SmbUser::fromUserName(userName);
    if (!user)
        return ERROR_LOGON_FAILURE;
    const QString rclone = Subprocess::findProgram(QStringLiteral("rclone"), m_settings.environment);
    if (const QString problem = providerProblem(rclone); !problem.isEmpty()) {
        qWarning().noquote() << "sharemount:" << problem;
        return ERROR_BAD_PROVIDER;
    }
    const SmbLogon logon {user->domain, user->user.isEmpty() ? localUserName() : user->user, password};
    if (const qint32 refused = m_checker.check(*share, logon, m_settings.smbPort, m_settings.limit))
        return refused;

    // The drives folder shows the contents of the user's shares, and the cache holds them: private to their owner.
    QString error;
    if (!DataFolder::create(m_settings.cacheFolder, &error)) {
        qWarning().noquote() << "sharemount:" << error;
        return ERROR_BAD_DEVICE;
    }
    // The letter is held from here, where it is checked to be free, to the end of the mount: of two connects at
    // once (the window and a batch, two programs), one mounts and the other finds the letter taken.
    DriveLock lock(letterLock(*letter));
    if (const qint32 taken = takeLetter(*letter, lock))
        return taken;
    if (!DataFolder::create(m_settings.drivesFolder + u'/' + *letter, &error)) {
        qWarning().noquote() << "sharemount:" << error;
        return ERROR_BAD_DEVICE;
    }
    // What an earlier mount sent is of no more use; what it could not send stays, and rclone sends it now.
    const QString cache = letterCache(*letter);
    RcloneCache::removeFinished(cache);
    const QString mountPoint = *letterFolder(*letter);
    RcloneMount::Outcome outcome = RcloneMount::mount({
        rclone,
        *share,
        logon,
        m_settings.smbPort,
        mountPoint,
        cache,
        cache + QStringLiteral(".log"),
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
    // After the unmount, the drive's rclone still has the files saved on the drive to send. Forced, the drive goes
    // at once and the sending goes on behind it.
    const std::optional<RcloneMount::Server> rclone = RcloneMount::findServer(mount->mountPoint);
    if (rclone)
        RcloneMount::awaitReleases(*rclone, mount->mountPoint, m_settings.limit);
    const qint32 result = Unmount::unmount(*mount, force, m_settings.environment, m_settings.limit);
    if (result != NO_ERROR)
        return result;
    // The letter's folder goes with the drive; a folder that still holds something stays.
    rmdir(QFile::encodeName(mount->mountPoint).constData());
    if (!rclone || force)
        return NO_ERROR;
    const qint32 sent = RcloneMount::finishUploads(*rclone, m_settings.limit);
    // Only while no rclone uses the cache: no connect may start one meanwhile.
    const QChar letter = *Wnet::driveLetter(name, false);
    if (DriveLock lock(letterLock(letter)); lock.tryAcquire() && !RcloneMount::findServer(mount->mountPoint))
        RcloneCache::removeFinished(letterCache(letter));
    return sent;
}
