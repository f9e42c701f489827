// Times a connect-list-disconnect cycle through the networking layer against a private Samba server, next to
// the floor it stands on (an smbclient session, a bare rclone mount) and to GVfs, the desktop's own way to the
// same share. Also times a 25-letter drive-type scan over a mount table of 200 unrelated mounts, also as the window
// makes it, on the layer's thread.
// Needs root (the Samba server) and what scripts/install-deps installs.
#include "connect/DriveLetters.h"
#include "connect/LayerCall.h"
#include "net/Wnet.h"
#include "platform/LinuxWnet.h"
#include "platform/MountTable.h"
#include "platform/ProcessSignals.h"
#include "platform/RcloneMount.h"
#include "platform/SmbProbe.h"
#include "platform/Subprocess.h"
#include "support/SambaTestbed.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int Runs = 15;

double medianMs(QList<qint64> nanoseconds)
{
    std::sort(nanoseconds.begin(), nanoseconds.end());
    return double(nanoseconds.at(nanoseconds.size() / 2)) / 1e6;
}

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

bool run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
         const QByteArray& input = {})
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), process.readAllStandardError().constData());
        return false;
    }
    return true;
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
    const bool unmounted = run(QStringLiteral("fusermount3"), {QStringLiteral("-u"), mountPoint},
                               QProcessEnvironment::systemEnvironment());
    rclone.waitForExit(std::chrono::seconds(10));
    return listed && unmounted;
}

// A D-Bus session of the benchmark's own, in which GVfs starts on demand.
class DbusSession
{
public:
    DbusSession()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (m_daemon.waitForReadyRead(10000))
            m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
    }
    ~DbusSession()
    {
        // gvfsd and its backends leave with the bus.
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }
    QString address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

} // namespace

int main(int argc, char** argv)
{
    ProcessSignals::setUp();
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    QFile::setPermissions(work.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    const QString testbedDir = work.filePath(QStringLiteral("samba"));
    if (!SambaTestbed::run(QStringLiteral("start"), testbedDir))
        return 1;
    const SambaTestbed samba = SambaTestbed::at(testbedDir);
    const QString drives = work.filePath(QStringLiteral("Drives"));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SHAREMOUNT_DRIVES"), drives);
    environment.insert(QStringLiteral("SHAREMOUNT_SMB_PORT"), QString::number(samba.port()));
    LinuxWnet::Settings settings = LinuxWnet::settingsFrom(environment);
    settings.probeProgram = QStringLiteral(SMBPROBE_PATH);
    LinuxWnet wnet(settings);
    NETRESOURCE share;
    share.lpLocalName = QStringLiteral("F:");
    share.lpRemoteName = QStringLiteral("\\\\127.0.0.1\\sharea");

    const SmbShare target = *SmbShare::fromRemoteName(share.lpRemoteName);
    const SmbLogon logon {QString(), samba.user('a'), samba.password('a')};
    SmbChecker checker(settings.probeProgram);
    // smbclient reads the password from a file of its owner's.
    const QString credentials = work.filePath(QStringLiteral("credentials"));
    QFile file(credentials);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    file.write(QStringLiteral("username = %1\npassword = %2\n").arg(samba.user('a'), samba.password('a')).toUtf8());
    file.close();
    const QString bare = work.filePath(QStringLiteral("bare"));
    QDir().mkpath(bare);
    const DbusSession session;
    QProcessEnvironment gvfs = QProcessEnvironment::systemEnvironment();
    gvfs.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), session.address());
    // The plain volume monitor spares each gio start the desktop's device monitors: GVfs at its quickest.
    gvfs.insert(QStringLiteral("GIO_USE_VOLUME_MONITOR"), QStringLiteral("unix"));
    const QString location = QStringLiteral("smb://%1@127.0.0.1:%2/sharea/").arg(samba.user('a')).arg(samba.port());
    const QByteArray answers = "WORKGROUP\n" + samba.password('a').toUtf8() + '\n';

    struct Cycle
    {
        const char* name;
        std::function<bool()> step;
        QList<qint64> times = {};
    };
    QList<Cycle> cycles {
        {"layer: connect + list + disconnect",
         [&] {
             return wnet.WNetAddConnection2A(share, samba.password('a'), samba.user('a'), 0) == NO_ERROR
                 && listable(drives + QStringLiteral("/F"))
                 && wnet.WNetCancelConnection2A(QStringLiteral("F:"), Wnet::CONNECT_UPDATE_PROFILE, false) == NO_ERROR;
         }},
        {"  of which the log-on and share check (helper)",
         [&] { return checker.check(target, logon, samba.port(), std::chrono::seconds(10)) == NO_ERROR; }},
        {"  the same check in process, for comparison",
         [&] { return SmbProbe::checkHere(target, logon, samba.port(), std::chrono::seconds(10)) == NO_ERROR; }},
        {"floor: smbclient session (log-on, share, ls)",
         [&] {
             return run(QStringLiteral("smbclient"),
                        {QStringLiteral("//127.0.0.1/sharea"), QStringLiteral("-p"), QString::number(samba.port()),
                         QStringLiteral("-A"), credentials, QStringLiteral("-c"), QStringLiteral("ls")},
                        environment);
         }},
        {"floor: bare rclone mount + list + fusermount3 -u", [&] { return bareMount(samba, bare); }},
        {"GVfs: gio mount + gio list + gio mount -u",
         [&] {
             return run(QStringLiteral("gio"), {QStringLiteral("mount"), location}, gvfs, answers)
                 && run(QStringLiteral("gio"), {QStringLiteral("list"), location}, gvfs)
                 && run(QStringLiteral("gio"), {QStringLiteral("mount"), QStringLiteral("-u"), location}, gvfs);
         }},
    };
    // A round of each cycle at a time, so that the machine's changing pace weighs on all of them alike.
    QElapsedTimer clock;
    for (int round = 0; round < Runs; ++round) {
        for (Cycle& cycle : cycles) {
            clock.start();
            if (!cycle.step()) {
                std::fprintf(stderr, "%s failed\n", cycle.name);
                return 1;
            }
            cycle.times.append(clock.nsecsElapsed());
        }
    }
    std::printf("median of %d rounds, each against a Samba server on loopback\n\n", Runs);
    std::printf("%-52s %10s\n", "cycle", "ms");
    QList<double> medians;
    for (const Cycle& cycle : std::as_const(cycles)) {
        medians.append(medianMs(cycle.times));
        std::printf("%-52s %10.1f\n", cycle.name, medians.last());
    }
    const double layer = medians[0];
    const double floor = medians[3] + medians[4];
    std::printf("%-52s %10.1f\n", "floor: smbclient session + bare mount", floor);
    std::printf("\nlayer / GVfs: %.2f (target: at most 1)   layer / floor: %.2f (target: at most 1.2)\n\n",
                layer / medians[5], layer / floor);

    // What waiting for the drive's rclone adds to a disconnect: a forced one does not wait, and leaves what was
    // saved to be sent behind it.
    const auto disconnect = [&](qint64 saved, bool force) {
        QList<qint64> times;
        const QByteArray contents(saved, 's');
        for (int run = 0; run < (saved > 0 ? 5 : Runs); ++run) {
            QFile savedFile(drives + QStringLiteral("/F/saved.bin"));
            if (wnet.WNetAddConnection2A(share, samba.password('a'), samba.user('a'), 0) != NO_ERROR
                || (saved > 0 && (!savedFile.open(QIODevice::WriteOnly) || savedFile.write(contents) != saved)))
                return -1.0;
            savedFile.close();
            clock.start();
            if (wnet.WNetCancelConnection2A(QStringLiteral("F:"), Wnet::CONNECT_UPDATE_PROFILE, force) != NO_ERROR)
                return -1.0;
            times.append(clock.nsecsElapsed());
        }
        return medianMs(times);
    };
    std::printf("%-52s %10.1f\n", "disconnect, nothing saved: forced (no wait)", disconnect(0, true));
    std::printf("%-52s %10.1f\n", "disconnect, nothing saved: until rclone has ended", disconnect(0, false));
    std::printf("%-52s %10.1f\n", "disconnect right after saving 100 MB: forced", disconnect(100 << 20, true));
    std::printf("%-52s %10.1f\n\n", "disconnect right after saving 100 MB: until sent", disconnect(100 << 20, false));

    // The scan that refreshing the Connected Drives pane makes, over a busy mount table.
    QByteArray table;
    for (int volume = 0; volume < 200; ++volume) {
        table += QStringLiteral("%1 1 0:%1 / /srv/volumes/volume%1 rw,relatime shared:%1 - ext4 /dev/vd%1 rw\n")
                     .arg(volume + 30)
                     .toUtf8();
    }
    QFile fake(work.filePath(QStringLiteral("mountinfo")));
    if (!fake.open(QIODevice::WriteOnly) || fake.write(table) != table.size())
        return 1;
    fake.close();
    for (const QString& info : {fake.fileName(), QStringLiteral("/proc/self/mountinfo")}) {
        LinuxWnet::Settings scan = settings;
        scan.mountInfoPath = info;
        LinuxWnet scanner(scan);
        const double scanned = time(201, [&] {
            int network = 0;
            for (char letter = 'B'; letter <= 'Z'; ++letter)
                network += scanner.GetDriveTypeA(QStringLiteral("%1:\\").arg(QLatin1Char(letter))) == DRIVE_REMOTE;
            return network == 0;
        });
        std::printf("25-letter drive-type scan, %-26s %10.3f ms (target: under 2)\n",
                    info == fake.fileName() ? "200 unrelated mounts:" : "this machine's mount table:", scanned);
        if (info != fake.fileName())
            continue;
        // The window makes the same scan on the layer's thread and waits for it in an event loop.
        LayerCall layerThread;
        const double hopped
            = time(201, [&] { return layerThread([&] { return DriveLetters::networkLetters(scanner); }).isEmpty(); });
        std::printf("the same scan from the window, on the layer's thread: %10.3f ms\n", hopped);
    }
    SambaTestbed::run(QStringLiteral("stop"), testbedDir);
    return 0;
}
