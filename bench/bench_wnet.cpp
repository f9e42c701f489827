// Times a connect-list-disconnect cycle through the networking layer against a private Samba server, next to
// the floor it stands on (an smbclient session, a bare rclone mount) and to GVfs, the desktop's own way to the
// same share. Also times a 25-letter drive-type scan over a mount table of 200 unrelated mounts, also as the window
// makes it, on the layer's thread, and what waiting for uploads adds to a disconnect. Prints rows for the bench
// target's table. Needs root (the Samba server) and what scripts/install-deps installs.
#include "BenchSupport.h"
#include "connect/DriveLetters.h"
#include "connect/LayerCall.h"
#include "net/Wnet.h"
#include "platform/LinuxWnet.h"
#include "platform/MountTable.h"
#include "platform/ProcessSignals.h"
#include "platform/RcloneMount.h"
#include "platform/SmbProbe.h"
#include "platform/Subprocess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <unistd.h>

using Bench::medianMs;

namespace {

constexpr int Runs = 15;

// The median of runs of step; a step that fails stops the benchmark.
double time(int runs, const std::function<bool()>& step)
{
    QList<qint64> times;
    QElapsedTimer clock;
    for (int run = 0; run < runs; ++run) {
        clock.start();
        if (!step())
            return -1;
        times.append(clock.nsecsElapsed());
    }
    return medianMs(times);
}

bool listable(const QString& folder)
{
    DIR* entries = opendir(QFile::encodeName(folder).constData());
    if (!entries)
        return false;
    errno = 0;
    while (readdir(entries)) { }
    const bool listed = errno == 0;
    closedir(entries);
    return listed;
}

// A bare rclone mount, as the layer starts it, without the layer's checks: up, listed, down.
bool bareMount(const SambaTestbed& samba, const QString& mountPoint)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("RCLONE_SMB_HOST"), QStringLiteral("127.0.0.1"));
    environment.insert(QStringLiteral("RCLONE_SMB_PORT"), QString::number(samba.port()));
    environment.insert(QStringLiteral("RCLONE_SMB_USER"), samba.user('a'));
    environment.insert(QStringLiteral("RCLONE_SMB_PASS"),
                       QString::fromLatin1(RcloneMount::obscure(samba.password('a'))));
    const int table = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    Subprocess rclone;
    Subprocess::Options detached;
    detached.newSession = true;
    QString error;
    if (!rclone.start(Subprocess::findProgram(QStringLiteral("rclone"), environment),
                      {QStringLiteral("mount"), QStringLiteral(":smb:sharea"), mountPoint,
                       QStringLiteral("--vfs-cache-mode"), QStringLiteral("writes")},
                      environment, detached, &error)) {
        close(table);
        return false;
    }
    pollfd changed {table, POLLPRI, 0};
    while (!MountTable::find(MountTable::read(QStringLiteral("/proc/self/mountinfo")), mountPoint))
        poll(&changed, 1, 10000);
    close(table);
    const bool listed = listable(mountPoint);
    const bool unmounted = Bench::run(QStringLiteral("fusermount3"), {QStringLiteral("-u"), mountPoint},
                                      QProcessEnvironment::systemEnvironment());
    rclone.waitForExit(std::chrono::seconds(10));
    return listed && unmounted;
}

} // namespace

int main(int argc, char** argv)
{
    ProcessSignals::setUp();
    QCoreApplication app(argc, argv);
    const Bench::BenchShare share;
    if (!share.isRunning())
        return 1;
    const SambaTestbed& samba = share.samba();
    const LinuxWnet::Settings settings = share.settings();
    LinuxWnet wnet(settings);
    const SmbShare target = *SmbShare::fromRemoteName(QStringLiteral("\\\\127.0.0.1\\sharea"));
    const SmbLogon logon {QString(), samba.user('a'), samba.password('a')};
    SmbChecker checker(settings.probeProgram);
    const QString bare = share.path(QStringLiteral("bare"));
    QDir().mkpath(bare);
    const QString location = share.location();

    struct Cycle
    {
        std::function<bool()> step;
        QList<qint64> times = {};
    };
    enum { Layer, Helper, InProcess, Smbclient, BareMount, Gvfs }; // the cycles below, in order
    QList<Cycle> cycles {
        {[&] { return share.connect(wnet) && listable(share.drive()) && share.disconnect(wnet); }},
        {[&] { return checker.check(target, logon, samba.port(), std::chrono::seconds(10)) == NO_ERROR; }},
        {[&] { return SmbProbe::checkHere(target, logon, samba.port(), std::chrono::seconds(10)) == NO_ERROR; }},
        {[&] {
            return Bench::run(QStringLiteral("smbclient"), share.smbclient(QStringLiteral("ls")), share.environment());
        }},
        {[&] { return bareMount(samba, bare); }},
        {[&] {
            return Bench::run(QStringLiteral("gio"), {QStringLiteral("mount"), location}, share.gvfs(),
                              share.gioAnswers())
                && Bench::run(QStringLiteral("gio"), {QStringLiteral("list"), location}, share.gvfs())
                && Bench::run(QStringLiteral("gio"), {QStringLiteral("mount"), QStringLiteral("-u"), location},
                              share.gvfs());
        }},
    };
    // A round of each cycle at a time, so that the machine's changing pace weighs on all of them alike.
    QElapsedTimer clock;
    for (int round = 0; round < Runs; ++round) {
        for (Cycle& cycle : cycles) {
            clock.start();
            if (!cycle.step()) {
                std::fprintf(stderr, "bench_wnet: cycle %lld failed\n", qlonglong(&cycle - cycles.data()));
                return 1;
            }
            cycle.times.append(clock.nsecsElapsed());
        }
    }
    QList<double> medians;
    for (const Cycle& cycle : std::as_const(cycles))
        medians.append(medianMs(cycle.times));
    const double layer = medians[Layer];
    const double floor = medians[Smbclient] + medians[BareMount];
    const QString ms = QStringLiteral("ms");
    Bench::row(QStringLiteral("Connect + list + disconnect a drive (median of %1)").arg(Runs), layer, 1, ms,
               Bench::target(QStringLiteral("<= 1.2 x floor, <= GVfs"), layer <= 1.2 * floor && layer <= medians[Gvfs]),
               QStringLiteral("floor %1 (smbclient session %2 + bare rclone mount %3): x%4; GVfs gio mount + list + "
                              "unmount %5: x%6")
                   .arg(floor, 0, 'f', 1)
                   .arg(medians[Smbclient], 0, 'f', 1)
                   .arg(medians[BareMount], 0, 'f', 1)
                   .arg(layer / floor, 0, 'f', 2)
                   .arg(medians[Gvfs], 0, 'f', 1)
                   .arg(layer / medians[Gvfs], 0, 'f', 2));
    Bench::row(QStringLiteral("  of which the log-on check (helper)"), medians[Helper], 1, ms, {},
               QStringLiteral("the same check in process %1").arg(medians[InProcess], 0, 'f', 1));

    // What waiting for the drive's rclone adds to a disconnect: a forced one does not wait, and leaves what was
    // saved to be sent behind it.
    const auto disconnect = [&](qint64 saved, bool force) {
        QList<qint64> times;
        const QByteArray contents(saved, 's');
        for (int run = 0; run < (saved > 0 ? 5 : Runs); ++run) {
            QFile savedFile(share.drive() + QStringLiteral("/saved.bin"));
            if (!share.connect(wnet)
                || (saved > 0 && (!savedFile.open(QIODevice::WriteOnly) || savedFile.write(contents) != saved)))
                return -1.0;
            savedFile.close();
            clock.start();
            if (!share.disconnect(wnet, force))
                return -1.0;
            times.append(clock.nsecsElapsed());
        }
        return medianMs(times);
    };
    for (const qint64 saved : {qint64(0), qint64(100) << 20}) {
        const double forced = disconnect(saved, true);
        Bench::row(saved ? QStringLiteral("Disconnect right after saving 100 MB, until sent")
                         : QStringLiteral("Disconnect, nothing saved, until rclone has ended"),
                   disconnect(saved, false), 1, ms, {}, QStringLiteral("forced, no wait: %1").arg(forced, 0, 'f', 1));
    }

    // The scan that refreshing the Connected Drives pane makes, over a busy mount table.
    QByteArray table;
    for (int volume = 0; volume < 200; ++volume) {
        table += QStringLiteral("%1 1 0:%1 / /srv/volumes/volume%1 rw,relatime shared:%1 - ext4 /dev/vd%1 rw\n")
                     .arg(volume + 30)
                     .toUtf8();
    }
    QFile fake(share.path(QStringLiteral("mountinfo")));
    if (!fake.open(QIODevice::WriteOnly) || fake.write(table) != table.size())
        return 1;
    fake.close();
    QList<double> scans;
    for (const QString& info : {fake.fileName(), QStringLiteral("/proc/self/mountinfo")}) {
        LinuxWnet::Settings scan = settings;
        scan.mountInfoPath = info;
        LinuxWnet scanner(scan);
        scans.append(time(201, [&] {
            int network = 0;
            for (char letter = 'B'; letter <= 'Z'; ++letter)
                network += scanner.GetDriveTypeA(QStringLiteral("%1:\\").arg(QLatin1Char(letter))) == DRIVE_REMOTE;
            return network == 0;
        }));
        if (info != fake.fileName())
            continue;
        // The window makes the same scan on the layer's thread and waits for it in an event loop.
        LayerCall layerThread;
        scans.append(
            time(201, [&] { return layerThread([&] { return DriveLetters::networkLetters(scanner); }).isEmpty(); }));
    }
    Bench::row(QStringLiteral("Drive scan, 25 letters over 200 unrelated mounts"), scans[0], 3, ms,
               Bench::target(QStringLiteral("< 2"), scans[0] >= 0 && scans[0] < 2),
               QStringLiteral("from the window, on the layer's thread %1; over this machine's mount table %2")
                   .arg(scans[1], 0, 'f', 3)
                   .arg(scans[2], 0, 'f', 3));
    return 0;
}
