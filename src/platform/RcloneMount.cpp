// Mounting an SMB share on a folder with rclone's SMB backend through FUSE, and seeing its uploads through.
#include "platform/RcloneMount.h"

#include "net/Wnet.h"
#include "platform/MountTable.h"
#include "platform/RcloneCache.h"
#include "platform/Subprocess.h"
#include "platform/Unmount.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <climits>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <future>
#include <memory>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// rclone's fixed obscuring key: obscuring hides a password from a glance, it does not protect it. What protects
// it is where it travels: a file only rclone holds, which only its owner can open.
constexpr unsigned char ObscureKey[32] = {
    0x9c, 0x93, 0x5b, 0x48, 0x73, 0x0a, 0x55, 0x4d, 0x6b, 0xfd, 0x7c, 0x63, 0xc8, 0x86, 0xa9, 0x2b,
    0xd3, 0x90, 0x19, 0x8e, 0xb8, 0x12, 0x8a, 0xfb, 0xf4, 0xde, 0x16, 0x2b, 0x8b, 0x95, 0xf6, 0x38,
};
constexpr int IvSize = 16;

// rclone is handed its configuration as descriptor 3.
const QString ConfigurationPath = QStringLiteral("/proc/self/fd/3");

// Each connect starts its part of the log with this much of the earlier runs' messages at most.
constexpr qint64 LogLimit = 1 << 20;

std::chrono::milliseconds remaining(Clock::time_point deadline)
{
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
}

// The name of the share's remote in rclone's configuration, which also names its folder in the cache. It must
// stay the same from one mount to the next, so that the next mount sends what an earlier one could not; and it
// must differ for another server or user, whose mount must never send those files.
QString remoteName(const RcloneMount::Request& request)
{
    const QString identity = QStringList {request.share.server.toLower(), QString::number(request.port),
                                          request.logon.domain.toLower(), request.logon.user.toLower()}
                                 .join(QChar(0));
    return QStringLiteral("sm")
        + QString::fromLatin1(QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
}

// rclone names a remote whose settings come from its environment after a hash of them, the password's random
// obscuring included, so only a configuration file keeps the name steady. It lives in memory, for rclone alone.
UniqueFd configuration(const RcloneMount::Request& request, const QString& remote)
{
    // A value between backquotes is read as it stands, spaces, quotes and "=" included; the caller lets no line
    // break and no "%(" (which rclone would replace by another setting) through.
    const auto quoted = [](const QString& text) { return '`' + text.toUtf8() + '`'; };
    QByteArray text = '[' + remote.toUtf8() + "]\ntype = smb\nhost = " + request.share.server.toUtf8()
        + "\nport = " + QByteArray::number(request.port) + "\nuser = " + quoted(request.logon.user)
        + "\npass = " + RcloneMount::obscure(request.logon.password) + '\n';
    if (!request.logon.domain.isEmpty())
        text += "domain = " + quoted(request.logon.domain) + '\n';
    // rclone's default but for Dot, RightSpace and RightPeriod, which turn the "." of the share's root and a
    // name's trailing period or space into full-width look-alikes: another folder than the one checked. The
    // characters that Windows reserves still become look-alikes, or the server would refuse those files.
    text += "encoding = Slash,LtGt,DoubleQuote,Colon,Question,Asterisk,Pipe,BackSlash,Ctl,InvalidUtf8\n";

    UniqueFd file(memfd_create("rclone.conf", MFD_CLOEXEC));
    if (!file.isValid() || write(file.get(), text.constData(), size_t(text.size())) != text.size())
        return {};
    return file;
}

QProcessEnvironment rcloneEnvironment(const RcloneMount::Request& request)
{
    // The drive's settings are all given here; the user's own settings for rclone would change them.
    QProcessEnvironment environment;
    for (const QString& name : request.environment.keys()) {
        if (!name.startsWith(u"RCLONE_"))
            environment.insert(name, request.environment.value(name));
    }
    return environment;
}

// rclone mount <remote>:<path> <mount point> and options: findServer() knows a drive's rclone by this shape.
QStringList rcloneArguments(const RcloneMount::Request& request, const QString& remote)
{
    // Reads keep rclone's defaults, a 16 MiB buffer filled ahead in 1 MiB requests: without it (--buffer-size 0)
    // reads are quicker on loopback, but each of the kernel's 128 KiB requests would wait a network round trip.
    return {
        QStringLiteral("mount"),
        // After the remote's name everything is path: no option can hide in the share's name.
        remote + u':' + request.share.sharePath(),
        request.mountPoint,
        QStringLiteral("--devname"),
        request.share.deviceName(),
        QStringLiteral("--config"),
        ConfigurationPath,
        QStringLiteral("--cache-dir"),
        request.cacheFolder,
        QStringLiteral("--log-file"),
        request.logFile,
        // Programs that open a file for writing, or seek in one, need the local cache.
        QStringLiteral("--vfs-cache-mode"),
        QStringLiteral("writes"),
        // Saved files go to the server at once, so that little waits in the cache when the drive is dropped.
        QStringLiteral("--vfs-write-back"),
        QStringLiteral("0s"),
        // Others change the share too; SMB tells rclone nothing of it.
        QStringLiteral("--dir-cache-time"),
        QStringLiteral("1s"),
    };
}

// Appends to the log, after a line that says which mount the messages that follow belong to; answers where
// this mount's messages begin.
qint64 beginLog(const RcloneMount::Request& request)
{
    RcloneCache::boundLog(request.logFile, LogLimit);
    QFile log(request.logFile);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append, QFile::ReadOwner | QFile::WriteOwner))
        return 0;
    const qint64 start = log.size();
    log.write(QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")).toUtf8()
              + " NOTICE: ShareMount: mounting " + request.share.deviceName().toUtf8() + " on "
              + QFile::encodeName(request.mountPoint) + '\n');
    return start;
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

// What the process has written so far, to files and to the network alike; -1 when that cannot be known.
qint64 bytesWritten(pid_t pid)
{
    QFile counters(QStringLiteral("/proc/%1/io").arg(pid));
    if (!counters.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return -1;
    for (const QByteArray& line : counters.readAll().split('\n')) {
        if (line.startsWith("wchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

// One rclone started for a mount, until the mount is made or given up.
class Attempt
{
public:
    explicit Attempt(const RcloneMount::Request& request)
        : m_request(request)
        , m_remote(remoteName(request))
        , m_logStart(beginLog(request))
    { }

    bool start(QString* error)
    {
        const UniqueFd config = configuration(m_request, m_remote);
        if (!config.isValid()) {
            *error = QStringLiteral("cannot write rclone's configuration");
            return false;
        }
        // In a session of its own rather than with --daemon, which starts rclone twice: the mount outlives this
        // program as a mapped drive does, and no terminal's hang-up reaches it.
        Subprocess::Options options;
        options.newSession = true;
        options.handedOn = {config.get()};
        return m_rclone.start(m_request.rclone, rcloneArguments(m_request, m_remote), rcloneEnvironment(m_request),
                              options, error);
    }

    Subprocess& rclone() { return m_rclone; }

    // An rclone mount on the folder, of the share asked for or not. The letter was free when this one started.
    std::optional<Mount> rcloneMount() const
    {
        const QList<Mount> mounts = MountTable::read(m_request.mountInfoPath, m_request.mountPoint);
        const Mount* mount = MountTable::find(mounts, m_request.mountPoint);
        if (!mount || mount->fileSystemType != u"fuse.rclone")
            return std::nullopt;
        return *mount;
    }

    // The mount is made, and is of the share asked for.
    bool isMounted() const
    {
        const std::optional<Mount> mount = rcloneMount();
        return mount && mount->source == m_request.share.deviceName();
    }

    RcloneMount::Outcome fail(const QString& why)
    {
        m_rclone.kill();
        m_rclone.waitForExit(std::chrono::seconds(1));
        // A mount that came up too late, that does not answer or that is of another share must not stay
        // behind, dead, on the letter.
        if (const std::optional<Mount> dead = rcloneMount())
            Unmount::unmount(*dead, true, m_request.environment, std::chrono::seconds(2));
        qWarning().noquote() << "sharemount: rclone could not mount the share:" << why;
        QFile log(m_request.logFile);
        const QString logged = log.open(QIODevice::ReadOnly) && log.seek(m_logStart)
            ? QString::fromLocal8Bit(log.readAll()).trimmed()
            : QString();
        for (const QString& output : {m_rclone.errorOutput(), logged}) {
            if (!output.isEmpty())
                qWarning().noquote() << output;
        }
        return {ERROR_EXTENDED_ERROR};
    }

private:
    const RcloneMount::Request& m_request;
    const QString m_remote;
    const qint64 m_logStart;
    Subprocess m_rclone;
};

// Where a link in /proc points, read without looking at the target: one on a drive that hangs would hang a stat.
QString linkTarget(const QByteArray& link)
{
    char target[PATH_MAX];
    const ssize_t size = readlink(link.constData(), target, sizeof target);
    return size > 0 ? QFile::decodeName(QByteArray(target, size)) : QString();
}

// Calls visit with each descriptor's number and where it points.
template <typename Visit>
void forEachDescriptor(const QString& pid, const Visit& visit)
{
    const QByteArray folder = "/proc/" + pid.toLatin1() + "/fd/";
    DIR* descriptors = opendir(folder.constData());
    if (!descriptors)
        return;
    while (const dirent* entry = readdir(descriptors)) {
        if (entry->d_name[0] != '.')
            visit(QByteArray(entry->d_name), linkTarget(folder + entry->d_name));
    }
    closedir(descriptors);
}

bool isOpenForWriting(const QString& pid, const QByteArray& descriptor)
{
    // "flags:\t" and the open flags in octal, on a line of their own.
    QFile info(QStringLiteral("/proc/%1/fdinfo/").arg(pid) + QLatin1String(descriptor));
    const QByteArray text = info.open(QIODevice::ReadOnly) ? info.readAll() : QByteArray();
    const qsizetype at = text.indexOf("flags:\t");
    return at >= 0 && (text.mid(at + 7).split('\n').value(0).toInt(nullptr, 8) & O_ACCMODE) != O_RDONLY;
}

// A process's command line, an argument a part.
QList<QByteArray> commandLine(const QString& pid)
{
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    QList<QByteArray> arguments = file.readAll().split('\0');
    arguments.removeLast();
    return arguments;
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
    const UniqueFd table(open(request.mountInfoPath.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC));
    if (!table.isValid()) {
        qWarning().noquote() << "sharemount: cannot read the mount table" << request.mountInfoPath;
        return {ERROR_BAD_PROVIDER};
    }
    Attempt attempt(request);
    QString error;
    if (!attempt.start(&error)) {
        qWarning().noquote() << "sharemount: cannot start rclone:" << error;
        return {ERROR_BAD_PROVIDER};
    }

    // The kernel marks the mount table with POLLPRI whenever a mount comes or goes.
    pollfd watched[2] = {{table.get(), POLLPRI, 0}, {attempt.rclone().exitNotifier(), POLLIN, 0}};
    for (;;) {
        // An rclone that has ended made no mount, whatever the table shows ("directory already mounted"); and a
        // mount is accepted only when it is of the share asked for.
        if (watched[1].revents & POLLIN)
            return attempt.fail(QStringLiteral("it ended before the mount was made"));
        if (attempt.isMounted())
            break;
        const std::chrono::milliseconds left = remaining(deadline);
        if (left.count() == 0)
            return attempt.fail(QStringLiteral("no mount after %1 ms").arg(request.limit.count()));
        if (poll(watched, 2, int(left.count())) < 0 && errno != EINTR)
            return attempt.fail(QStringLiteral("cannot watch the mount table"));
    }
    if (!answers(request.mountPoint, remaining(deadline)))
        return attempt.fail(QStringLiteral("the mount does not answer"));
    return {NO_ERROR, attempt.rclone().release()};
}

std::optional<Server> findServer(const QString& mountPoint)
{
    const QByteArray folder = QFile::encodeName(mountPoint);
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QList<QByteArray> arguments = commandLine(pid);
        if (arguments.size() < 4 || !arguments[0].endsWith("rclone") || arguments[1] != "mount"
            || arguments[3] != folder)
            continue;
        Server server {pid.toInt(), Subprocess::openProcess(pid.toInt())};
        // Read again once the pidfd is open: the number still stood for that rclone.
        if (!server.pidFd.isValid() || commandLine(pid) != arguments)
            continue;
        // One of ours names its remote and its cache; what it has yet to send is below vfsMeta/<remote>/<path>.
        const qsizetype cache = arguments.indexOf("--cache-dir");
        const qsizetype colon = arguments[2].indexOf(':');
        if (cache > 3 && cache + 1 < arguments.size() && colon > 0) {
            server.cacheFolder = QFile::decodeName(arguments[cache + 1]);
            server.uploads = QString::fromUtf8(arguments[2]).replace(colon, 1, u'/');
        }
        return server;
    }
    return std::nullopt;
}

void awaitReleases(const Server& rclone, const QString& mountPoint, std::chrono::milliseconds limit)
{
    if (rclone.cacheFolder.isEmpty())
        return;
    // rclone holds a file open in its cache, under the file's name on the drive, from the file's opening on the
    // drive to its release. A file that a program still has open on the drive is released later.
    const QString rclonePid = QString::number(rclone.pid);
    const QString cached
        = RcloneCache::copies(QFileInfo(rclone.cacheFolder).canonicalFilePath(), rclone.uploads) + u'/';
    const QString onDrive = mountPoint + u'/';
    const auto unreleased = [&] {
        QSet<QString> names;
        // Its uploads read the copy on descriptors of their own, opened for reading only.
        forEachDescriptor(rclonePid, [&](const QByteArray& descriptor, const QString& target) {
            if (target.startsWith(cached) && isOpenForWriting(rclonePid, descriptor))
                names.insert(target.mid(cached.size()));
        });
        // Only a program's own files are open on its drives, so every process that could use one can be looked at.
        const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
        for (qsizetype i = 0; i < pids.size() && !names.isEmpty(); ++i) {
            if (pids[i].toInt() > 0 && pids[i] != rclonePid) {
                forEachDescriptor(pids[i], [&](const QByteArray&, const QString& target) {
                    if (target.startsWith(onDrive))
                        names.remove(target.mid(onDrive.size()));
                });
            }
        }
        return !names.isEmpty();
    };
    const Clock::time_point deadline = Clock::now() + limit;
    while (unreleased() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

qint32 finishUploads(const Server& rclone, std::chrono::milliseconds limit)
{
    // Uploads take as long as they take while they move. rclone writes what it sends to the server's socket;
    // its reads tell nothing, since each retry against a server that has gone reads the file again, and a few
    // bytes a second are the Go runtime's own.
    constexpr std::chrono::milliseconds Step(100);
    constexpr qint64 Progress = 64 << 10;
    qint64 sent = bytesWritten(rclone.pid);
    Clock::time_point lastProgress = Clock::now();
    bool ended = false;
    while (!(ended = Subprocess::waitForEnd(rclone.pidFd.get(), Step)) && Clock::now() - lastProgress < limit) {
        if (const qint64 written = bytesWritten(rclone.pid); written >= sent + Progress) {
            sent = written;
            lastProgress = Clock::now();
        }
    }
    if (!ended) {
        qWarning().noquote() << "sharemount: rclone has sent nothing for" << limit.count() << "ms; ending it";
        for (const int signal : {SIGTERM, SIGKILL}) {
            syscall(SYS_pidfd_send_signal, rclone.pidFd.get(), signal, nullptr, 0);
            if (Subprocess::waitForEnd(rclone.pidFd.get(), std::chrono::seconds(1)))
                break;
        }
    }
    // An rclone of someone else's keeps what it could not send in a cache of its own.
    if (rclone.cacheFolder.isEmpty()) {
        if (!ended)
            qWarning().noquote() << "sharemount: files saved on the drive may not have reached the server";
        return ended ? NO_ERROR : ERROR_EXTENDED_ERROR;
    }
    const QStringList pending = RcloneCache::pending(rclone.cacheFolder, rclone.uploads);
    const QStringList unnoted = RcloneCache::unnoted(rclone.cacheFolder, rclone.uploads);
    if (pending.isEmpty() && unnoted.isEmpty())
        return NO_ERROR;
    // what names the files as %1 and the folder as %2.
    const auto report = [](const QStringList& files, const QString& what, const QString& folder) {
        if (files.isEmpty())
            return;
        qWarning().noquote() << what.arg(
            files.size() == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(files.size()), folder);
        for (const QString& file : files)
            qWarning().noquote() << QStringLiteral("    ") + file;
    };
    report(pending,
           QStringLiteral("sharemount: %1 saved on the drive did not reach the server; kept in %2 until the share is "
                          "connected to this letter again:"),
           rclone.cacheFolder);
    report(unnoted,
           QStringLiteral("sharemount: rclone ended before it knew that %1 saved on the drive had been closed; they "
                          "may not have reached the server, and their copies in %2 are not sent again:"),
           RcloneCache::copies(rclone.cacheFolder, rclone.uploads));
    return ERROR_EXTENDED_ERROR;
}

} // namespace RcloneMount
