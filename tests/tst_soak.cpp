// The networking layer connecting and disconnecting one letter over and over against the private Samba server:
// every file saved on the drive reaches the server, and nothing of the drives is left behind.
#include "platform/LinuxWnet.h"
#include "platform/MountTable.h"
#include "support/LayerCalls.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

using namespace LayerCalls;

namespace {

constexpr int Cycles = 200;

QStringList filesUnder(const QString& folder)
{
    QStringList files;
    QDirIterator entries(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (entries.hasNext())
        files << entries.next();
    return files;
}

// What the drives may hold on to: each list the same before and after the cycles.
struct Leftovers
{
    QStringList descriptors; // of this process, by what they point to: files, sockets, pidfds, memfds
    QStringList mounts; // in the drives folder
    QList<pid_t> rclones; // serving a mount in the drives folder
    QList<pid_t> children; // of this process, running or ended
    QStringList temporary; // files in TMPDIR, which rclone and the check helper are given too
    QStringList cached; // files in the cache folder, the drive's log and lock aside

    static Leftovers take(const QString& drives, const QString& cache)
    {
        Leftovers now;
        for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System))
            now.descriptors << fd.symLinkTarget();
        now.descriptors.sort();
        for (const Mount& mount : MountTable::read(QStringLiteral("/proc/self/mountinfo"), drives))
            now.mounts << mount.mountPoint;
        now.rclones = rclonesServing(drives);
        now.children = processes([](const QString& proc) {
            const QByteArray stat = SlotBytes::readFile(proc + "/stat");
            return stat.mid(stat.lastIndexOf(')') + 2).split(' ').value(1).toInt() == getpid();
        });
        now.temporary = filesUnder(QDir::tempPath());
        for (const QString& file : filesUnder(cache)) {
            if (!file.endsWith(u".log") && !file.endsWith(u".lock"))
                now.cached << file;
        }
        return now;
    }
};

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void connectsAndDisconnectsOneLetterOverAndOver();

private:
    // Leftovers are looked for in a folder that no other program uses.
    void compare(const Leftovers& before, const Leftovers& after) const;

    SambaTestbed m_samba;
    QTemporaryDir m_root;
    QString m_drives;
    QString m_cache;
};

void TestSoak::initTestCase()
{
    m_samba = SambaTestbed::at(qEnvironmentVariable("SAMBA_FIXTURE_DIR"));
    QVERIFY2(m_samba.isRunning(), "the Samba fixture is not running");
    QVERIFY(m_root.isValid());
    for (const char* name : {"drives", "cache", "tmp"})
        QVERIFY(QDir(m_root.path()).mkdir(QLatin1String(name)));
    m_drives = QDir(m_root.filePath(QStringLiteral("drives"))).canonicalPath();
    m_cache = m_root.filePath(QStringLiteral("cache"));
    // Taken up by the layer's environment, so the programs it starts use it too.
    qputenv("TMPDIR", QFile::encodeName(m_root.filePath(QStringLiteral("tmp"))));
}

void TestSoak::compare(const Leftovers& before, const Leftovers& after) const
{
    QCOMPARE(after.descriptors, before.descriptors);
    QCOMPARE(after.mounts, before.mounts);
    QCOMPARE(after.rclones, before.rclones);
    QCOMPARE(after.children, before.children);
    QCOMPARE(after.temporary, before.temporary);
    QCOMPARE(after.cached, before.cached);
}

void TestSoak::connectsAndDisconnectsOneLetterOverAndOver()
{
    const Leftovers before = Leftovers::take(m_drives, m_cache);
    auto wnet = std::make_unique<LinuxWnet>(settingsFor(m_drives, m_cache, m_samba.port()));
    const QString folder = m_drives + QStringLiteral("/W/");
    const auto contents = [](int cycle) {
        QByteArray bytes(16 << 10, Qt::Uninitialized);
        QRandomGenerator(quint32(cycle)).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        return bytes;
    };
    const auto name = [](int cycle) { return QStringLiteral("soak-%1.bin").arg(cycle, 3, 10, QLatin1Char('0')); };

    // The first connect starts the check helper, which the layer keeps for the next ones.
    QCOMPARE(connectAs(*wnet, m_samba, "W:", ShareA), NO_ERROR);
    QCOMPARE(cancel(*wnet, "W:"), NO_ERROR);
    const Leftovers started = Leftovers::take(m_drives, m_cache);
    QElapsedTimer clock;
    clock.start();
    for (int cycle = 0; cycle < Cycles; ++cycle) {
        QCOMPARE(connectAs(*wnet, m_samba, "W:", ShareA), NO_ERROR);
        QVERIFY(SlotBytes::writeFile(folder + name(cycle), contents(cycle)));
        QCOMPARE(cancel(*wnet, "W:"), NO_ERROR);
    }
    qInfo("%d connect, save and disconnect cycles took %lld ms", Cycles, clock.elapsed());
    compare(started, Leftovers::take(m_drives, m_cache));
    wnet.reset();
    compare(before, Leftovers::take(m_drives, m_cache));

    for (int cycle = 0; cycle < Cycles; ++cycle) {
        const QString onServer = m_samba.shareFolder('a') + u'/' + name(cycle);
        QVERIFY2(SlotBytes::readFile(onServer) == contents(cycle), qPrintable(onServer));
        QFile::remove(onServer);
    }
}

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
