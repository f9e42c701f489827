#include "platform/RcloneMount.h"

#include "net/Wnet.h"
#include "platform/MountTable.h"
#include "platform/Subprocess.h"
#include "platform/Unmount.h"

#include <QDebug>
#include <QFile>
#include <QScopeGuard>

#include <dirent.h>
#include <fcntl.h>
#include <future>
#include <memory>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// rclone's fixed obscuring key: obscuring hides a password from a glance, it does not protect it. The
// environment of a process is readable by its owner only, which is what protects it.
constexpr unsigned char ObscureKey[32] = {
    0x9c, 0x93, 0x5b, 0x48, 0x73, 0x0a, 0x55, 0x4d, 0x6b, 0xfd, 0x7c, 0x63, 0xc8, 0x86, 0xa9, 0x2b,
    0xd3, 0x90, 0x19, 0x8e, 0xb8, 0x12, 0x8a, 0xfb, 0xf4, 0xde, 0x16, 0x2b, 0x8b, 0x95, 0xf6, 0x38,
};
constexpr int IvSize = 16;

std::chrono::milliseconds remaining(Clock::time_point deadline)
{
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
}

QProcessEnvironment rcloneEnvironment(const RcloneMount::Request& request)
{
    QProcessEnvironment environment;
    // Settings of the user's own for the SMB backend would override the share's.
    for (const QString& name : request.environment.keys()) {
        if (!name.startsWith(u"RCLONE_SMB_"))
            environment.insert(name, request.environment.value(name));
    }
    environment.insert(QStringLiteral("RCLONE_SMB_HOST"), request.share.server);
    environment.insert(QStringLiteral("RCLONE_SMB_PORT"), QString::number(request.port));
    environment.insert(QStringLiteral("RCLONE_SMB_USER"), request.logon.user);
    environment.insert(QStringLiteral("RCLONE_SMB_PASS"),
                       QString::fromLatin1(RcloneMount::obscure(request.logon.password)));
    if (!request.logon.domain.isEmpty())
        environment.insert(QStringLiteral("RCLONE_SMB_DOMAIN"), request.logon.domain);
    return environment;
}

QString logFile(const RcloneMount::Request& request)
{
    return request.cacheFolder + QStringLiteral(".log");
}

QStringList rcloneArguments(const RcloneMount::Request& request)
{
    return {
        QStringLiteral("mount"),
        // After the backend's name everything is path: no option can hide in the share's name.
        QStringLiteral(":smb:") + request.share.sharePath(),
        request.mountPoint,
        QStringLiteral("--devname"),
        request.share.deviceName(),
        // The share is named in full here; a configuration file of the user's has nothing to add, and an
        // encrypted one would stop rclone at a password prompt.
        QStringLiteral("--config"),
        QString(),
        QStringLiteral("--cache-dir"),
        request.cacheFolder,
        QStringLiteral("--log-file"),
        logFile(request),
        // Programs that open a file for writing, or seek in one, need the local cache.
        QStringLiteral("--vfs-cache-mode"),
        QStringLiteral("writes"),
        // Saved files go to the server at once, so that nothing waits in the cache when the drive is dropped.
        QStringLiteral("--vfs-write-back"),
        QStringLiteral("0s"),
        // Others change the share too; SMB tells rclone nothing of it.
        QStringLiteral("--dir-cache-time"),
        QStringLiteral("1s"),
    };
}

bool isMounted(const QString& mountInfoPath, const QString& mountPoint)
{
    const QList<Mount> mounts = MountTable::read(mountInfoPath, mountPoint);
    const Mount* mount = MountTable::find(mounts, mountPoint);
    return mount && mount->fileSystemType == u"fuse.rclone";
}

// Lists the root on a thread of its own: a mount that does not answer must not hold up the caller.
bool answers(const QString& mountPoint, std::chrono::milliseconds limit)
{
    auto listed = std::make_shared<std::promise<bool>>();
    std::future<bool> result = listed->get_future();
    std::thread([path = mountPoint.toLocal8Bit(), listed] {
        DIR* folder = opendir(path.constData());
        bool ok = folder != nullptr;
        if (folder) {
            errno = 0;
            while (readdir(folder)) { }
            ok = errno == 0;
            closedir(folder);
        }
        listed->set_value(ok);
    }).detach();
    return result.wait_for(limit) == std::future_status::ready && result.get();
}

RcloneMount::Outcome failed(Subprocess& rclone, const RcloneMount::Request& request, const QString& why)
{
    rclone.kill();
    rclone.waitForExit(std::chrono::seconds(1));
    // A mount that came up too late, or that does not answer, must not stay behind, dead, on the letter.
    if (isMounted(request.mountInfoPath, request.mountPoint)) {
        const Mount dead {request.mountPoint, QStringLiteral("fuse.rclone"), request.share.deviceName()};
        Unmount::unmount(dead, true, request.environment, std::chrono::seconds(2));
    }
    qWarning().noquote() << "sharemount: rclone could not mount the share:" << why;
    QFile log(logFile(request));
    for (const QString& output :
         {rclone.errorOutput(),
          log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()).trimmed() : QString()}) {
        if (!output.isEmpty())
            qWarning().noquote() << output;
    }
    return {ERROR_EXTENDED_ERROR};
}

} // namespace

namespace RcloneMount {

QByteArray obscure(const QString& password)
{
    const QByteArray plain = password.toUtf8();
    QByteArray sealed(IvSize + plain.size(), Qt::Uninitialized);
    auto* iv = reinterpret_cast<unsigned char*>(sealed.data());
    RAND_bytes(iv, IvSize);
    EVP_CIPHER_CTX* cipher = EVP_CIPHER_CTX_new();
    int written = 0;
    EVP_EncryptInit_ex(cipher, EVP_aes_256_ctr(), nullptr, ObscureKey, iv);
    EVP_EncryptUpdate(cipher, iv + IvSize, &written, reinterpret_cast<const unsigned char*>(plain.constData()),
                      int(plain.size()));
    EVP_CIPHER_CTX_free(cipher);
    return sealed.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

Outcome mount(const Request& request)
{
    const Clock::time_point deadline = Clock::now() + request.limit;
    // Opened before the start so that no change of the table is missed.
    const int table = open(request.mountInfoPath.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    if (table < 0) {
        qWarning().noquote() << "sharemount: cannot read the mount table" << request.mountInfoPath;
        return {ERROR_BAD_PROVIDER};
    }
    const auto closeTable = qScopeGuard([table] { close(table); });

    // rclone logs to a file of the mount's own, begun afresh: its errors while the drive is in use are kept there
    // for the user, not in memory.
    const int log
        = open(QFile::encodeName(logFile(request)).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (log >= 0)
        close(log);

    Subprocess rclone;
    QString error;
    // Started once in a session of its own rather than with --daemon, which starts rclone twice: the mount
    // outlives this program as a mapped drive does, and no terminal's hang-up reaches it.
    Subprocess::Options options;
    options.newSession = true;
    if (!rclone.start(request.rclone, rcloneArguments(request), rcloneEnvironment(request), options, &error)) {
        qWarning().noquote() << "sharemount: cannot start rclone:" << error;
        return {ERROR_BAD_PROVIDER};
    }

    // The kernel marks the mount table with POLLPRI whenever a mount comes or goes.
    pollfd watched[2] = {{table, POLLPRI, 0}, {rclone.exitNotifier(), POLLIN, 0}};
    while (!isMounted(request.mountInfoPath, request.mountPoint)) {
        if (watched[1].revents & POLLIN)
            return failed(rclone, request, QStringLiteral("it ended before the mount was made"));
        const std::chrono::milliseconds left = remaining(deadline);
        if (left.count() == 0)
            return failed(rclone, request, QStringLiteral("no mount after %1 ms").arg(request.limit.count()));
        if (poll(watched, 2, int(left.count())) < 0 && errno != EINTR)
            return failed(rclone, request, QStringLiteral("cannot watch the mount table"));
    }
    if (!answers(request.mountPoint, remaining(deadline)))
        return failed(rclone, request, QStringLiteral("the mount does not answer"));
    return {NO_ERROR, rclone.release()};
}

} // namespace RcloneMount
