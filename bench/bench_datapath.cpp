// Times writing and reading a 256 MiB file through a drive connected by the networking layer, beside smbclient's
// put and get of the same file and GVfs's gio copy through a gio mount of the same share. Prints rows for the bench
// target's table. Needs root (the Samba server, and emptying the page cache).
#include "BenchSupport.h"
#include "platform/LinuxWnet.h"
#include "platform/ProcessSignals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace {

constexpr qint64 Size = qint64(256) << 20;
constexpr qint64 Block = 1 << 20;
constexpr int Rounds = 3;
// A gigabit line's payload.
constexpr double LineRate = 117;

// Every read starts with the server's copy in the server's page cache and nothing of it on the client's side, as
// for a file that the server has read lately and this machine has not: the server's disk, here shared with the
// client, would otherwise cap every way alike.
bool serverCopyOnly(const QString& served)
{
    sync();
    QFile caches(QStringLiteral("/proc/sys/vm/drop_caches"));
    if (!caches.open(QIODevice::WriteOnly) || caches.write("3\n") != 2)
        return false;
    caches.close();
    QFile file(served);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    while (!file.atEnd())
        file.read(Block);
    return true;
}

// Copies a file in blocks of 1 MiB, as cp does; the drive's side of each transfer. The close is counted: the
// drive's rclone has the whole file only then.
bool copyFile(const QString& from, const QString& to)
{
    const int in = open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    const int out = open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    QByteArray buffer(Block, Qt::Uninitialized);
    qint64 copied = 0;
    for (ssize_t got; in >= 0 && out >= 0 && (got = read(in, buffer.data(), size_t(Block))) > 0; copied += got) {
        if (write(out, buffer.constData(), size_t(got)) != got)
            break;
    }
    const bool readerClosed = in < 0 || close(in) == 0;
    const bool writerClosed = out < 0 || close(out) == 0;
    return readerClosed && writerClosed && copied == Size;
}

bool sameContents(const QString& one, const QString& other)
{
    QFile first(one), second(other);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly) || first.size() != second.size())
        return false;
    while (!first.atEnd()) {
        if (first.read(Block) != second.read(Block))
            return false;
    }
    return true;
}

double megabytesPerSecond(qint64 nanoseconds)
{
    return nanoseconds > 0 ? double(Size) / 1e6 / (double(nanoseconds) / 1e9) : -1;
}

} // namespace

int main(int argc, char** argv)
{
    ProcessSignals::setUp();
    QCoreApplication app(argc, argv);
    const Bench::BenchShare share;
    if (!share.isRunning())
        return 1;
    LinuxWnet wnet(share.settings());
    // In memory, so that the local side of every copy costs the same, next to nothing.
    QTemporaryDir local(QStringLiteral("/dev/shm/bench_datapath-XXXXXX"));
    const QString source = local.filePath(QStringLiteral("source.bin"));
    const QString received = local.filePath(QStringLiteral("received.bin"));
    {
        QByteArray contents(Size, Qt::Uninitialized);
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(contents.data()), Size / 4);
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != Size)
            return 1;
    }
    // Every way reads the same file on the share, and writes a file of its own.
    const QString served = share.samba().shareFolder('a');
    if (!QFile::copy(source, served + QStringLiteral("/read.bin")))
        return 1;
    const QString location = share.location();
    if (!Bench::run(QStringLiteral("gio"), {QStringLiteral("mount"), location}, share.gvfs(), share.gioAnswers()))
        return 1;

    // Each transfer, timed from its start until the file is whole where it goes.
    QElapsedTimer clock;
    const auto timedWrite = [&](const QString& name, const std::function<bool()>& transfer) {
        QFile::remove(served + u'/' + name);
        clock.start();
        const bool done = transfer();
        const qint64 elapsed = clock.nsecsElapsed();
        return done && sameContents(source, served + u'/' + name) ? elapsed : -1;
    };
    const auto timedRead = [&](const std::function<bool()>& transfer) {
        QFile::remove(received);
        if (!serverCopyOnly(served + QStringLiteral("/read.bin")))
            return qint64(-1);
        clock.start();
        const bool done = transfer();
        const qint64 elapsed = clock.nsecsElapsed();
        return done && sameContents(source, received) ? elapsed : -1;
    };
    const auto smbclient = [&](const QString& commands) {
        return Bench::run(QStringLiteral("smbclient"), share.smbclient(commands), share.environment());
    };
    const auto gioCopy = [&](const QString& from, const QString& to) {
        return Bench::run(QStringLiteral("gio"), {QStringLiteral("copy"), from, to}, share.gvfs());
    };
    struct Way
    {
        std::function<qint64()> transfer;
        QList<double> rates = {};
    };
    enum { DriveWrite, DriveRead, SmbclientPut, SmbclientGet, GioWrite, GioRead }; // the ways below, in order
    QList<Way> ways {
        // The disconnect answers once what was saved on the drive is on the server, whole.
        {[&] {
            return share.connect(wnet)
                ? timedWrite(QStringLiteral("drive.bin"),
                             [&] {
                                 return copyFile(source, share.drive() + QStringLiteral("/drive.bin"))
                                     && share.disconnect(wnet);
                             })
                : -1;
        }},
        {[&] {
            if (!share.connect(wnet))
                return qint64(-1);
            const qint64 elapsed
                = timedRead([&] { return copyFile(share.drive() + QStringLiteral("/read.bin"), received); });
            return share.disconnect(wnet) ? elapsed : -1;
        }},
        {[&] {
            return timedWrite(QStringLiteral("smbclient.bin"),
                              [&] { return smbclient(QStringLiteral("put \"%1\" smbclient.bin").arg(source)); });
        }},
        {[&] { return timedRead([&] { return smbclient(QStringLiteral("get read.bin \"%1\"").arg(received)); }); }},
        {[&] {
            return timedWrite(QStringLiteral("gio.bin"),
                              [&] { return gioCopy(source, location + QStringLiteral("gio.bin")); });
        }},
        {[&] { return timedRead([&] { return gioCopy(location + QStringLiteral("read.bin"), received); }); }},
    };
    // A round of each way at a time, so that the machine's changing pace weighs on all of them alike.
    for (int round = 0; round < Rounds; ++round) {
        for (Way& way : ways) {
            const double rate = megabytesPerSecond(way.transfer());
            if (rate < 0) {
                std::fprintf(stderr, "bench_datapath: transfer %lld failed\n", qlonglong(&way - ways.data()));
                return 1;
            }
            way.rates.append(rate);
        }
    }
    Bench::run(QStringLiteral("gio"), {QStringLiteral("mount"), QStringLiteral("-u"), location}, share.gvfs());

    const QString unit = QStringLiteral("MB/s");
    for (const bool reading : {true, false}) {
        const double drive = Bench::median(ways[reading ? DriveRead : DriveWrite].rates);
        const double smbclientRate = Bench::median(ways[reading ? SmbclientGet : SmbclientPut].rates);
        const double gvfs = Bench::median(ways[reading ? GioRead : GioWrite].rates);
        Bench::row(
            reading ? QStringLiteral("Drive read, 256 MiB file, not cached on the client (median of %1)").arg(Rounds)
                    : QStringLiteral("Drive write, 256 MiB file, until whole on the server (median of %1)").arg(Rounds),
            drive, 0, unit, Bench::target(QStringLiteral(">= 117, >= GVfs"), drive >= LineRate && drive >= gvfs),
            QStringLiteral("smbclient %1 %2; GVfs gio copy %3")
                .arg(reading ? QStringLiteral("get") : QStringLiteral("put"))
                .arg(smbclientRate, 0, 'f', 0)
                .arg(gvfs, 0, 'f', 0));
    }
    return 0;
}
