// The unattended start run for real: drvmap -auto connects the auto-connect records of a record file to the
// private Samba server, one record a timer tick, and ends by itself unless a failure has a window to show.
#include "platform/LinuxWnet.h"
#include "platform/MountTable.h"
#include "records/Crypt.h"
#include "support/SambaTestbed.h"
#include "support/SlotBytes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

const QByteArray ShareA = QByteArrayLiteral("\\\\127.0.0.1\\sharea");
const QByteArray ShareB = QByteArrayLiteral("\\\\127.0.0.1\\shareb");

// The letters of the rclone drives mounted in drivesFolder, from the kernel's mount table.
QString rcloneDrives(const QString& drivesFolder)
{
    QString letters;
    for (const Mount& mount : MountTable::read(QStringLiteral("/proc/self/mountinfo"), drivesFolder)) {
        if (mount.fileSystemType == u"fuse.rclone" && mount.mountPoint.size() == drivesFolder.size() + 2)
            letters += mount.mountPoint.back();
    }
    return letters;
}

// Something the program did, seen from outside: a drive that appeared ("drive E") or a line it wrote about a
// record ("record 2"), with the time it was seen.
struct Event
{
    QString what;
    qint64 at;
};

QString describe(const QList<Event>& events)
{
    QStringList parts;
    for (const Event& event : events)
        parts << QStringLiteral("%1 at %2 ms").arg(event.what).arg(event.at);
    return parts.join(QStringLiteral(", "));
}

} // namespace

class TestAutoConnect : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void connectsTheDueRecordsOneATickWithoutADisplay();
    void staysOpenAfterAFailureOnADisplay();

private:
    void start(const QString& display = {});
    QString drive(char letter) const { return m_drives + u'/' + QLatin1Char(letter); }
    QByteArray encrypted(char user) const { return Crypt::EncryptPassword(m_samba.password(user)).toLatin1(); }
    QByteArray userName(char user) const { return m_samba.user(user).toLatin1(); }

    SambaTestbed m_samba;
    QTemporaryDir m_root; // the drives, the cache and the home of every run
    QString m_drives;
    QString m_cache;
    QString m_home;
    QString m_runtime;
    std::unique_ptr<LinuxWnet> m_wnet; // takes down what a run left mounted
    std::unique_ptr<QTemporaryDir> m_data; // holds the record file
    QStringList m_serverFiles; // written into the shares by a test
    QProcess m_program;
    QProcess m_xvfb;
};

void TestAutoConnect::initTestCase()
{
    m_samba = SambaTestbed::at(qEnvironmentVariable("SAMBA_FIXTURE_DIR"));
    QVERIFY2(m_samba.isRunning(), "the Samba fixture is not running");
    QVERIFY(m_root.isValid());
    const QDir root(m_root.path());
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    for (const char* name : {"drives", "cache", "home", "run"})
        QVERIFY(root.mkdir(QLatin1String(name), ownerOnly));
    m_drives = QDir(root.filePath(QStringLiteral("drives"))).canonicalPath();
    m_cache = root.filePath(QStringLiteral("cache"));
    m_home = root.filePath(QStringLiteral("home"));
    m_runtime = root.filePath(QStringLiteral("run"));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SHAREMOUNT_DRIVES"), m_drives);
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_cache);
    environment.insert(QStringLiteral("HOME"), m_home);
    LinuxWnet::Settings settings = LinuxWnet::settingsFrom(environment);
    settings.probeProgram = QStringLiteral(SMBPROBE_PATH);
    m_wnet = std::make_unique<LinuxWnet>(settings);
}

void TestAutoConnect::init()
{
    m_data = std::make_unique<QTemporaryDir>();
    QVERIFY(m_data->isValid());
    m_program.setReadChannel(QProcess::StandardError);
}

// Whatever a test left running or mounted goes, so that a failed check cannot spoil the next test.
void TestAutoConnect::cleanup()
{
    for (QProcess* process : {&m_program, &m_xvfb}) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->terminate();
        if (!process->waitForFinished(10000)) {
            process->kill();
            process->waitForFinished();
        }
    }
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        m_wnet->WNetCancelConnection2A(QStringLiteral("%1:").arg(QLatin1Char(letter)), Wnet::CONNECT_UPDATE_PROFILE,
                                       true);
    for (const QChar letter : rcloneDrives(m_drives))
        QProcess::execute(QStringLiteral("fusermount3"),
                          {QStringLiteral("-u"), QStringLiteral("-z"), m_drives + u'/' + letter});
    for (const QString& path : std::as_const(m_serverFiles))
        QFile::remove(path);
    m_serverFiles.clear();
    m_data.reset();
}

// The program as a log-on script or a user unit starts it: a private home and no display unless one is given.
void TestAutoConnect::start(const QString& display)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QT_LOGGING_RULES", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
        env.remove(QLatin1String(name));
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("SHAREMOUNT_DATA_DIR"), m_data->path());
    env.insert(QStringLiteral("SHAREMOUNT_DRIVES"), m_drives);
    env.insert(QStringLiteral("SHAREMOUNT_SMB_PORT"), QString::number(m_samba.port()));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), m_cache);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime);
    env.insert(QStringLiteral("HOME"), m_home);
    m_program.setProcessEnvironment(env);
    // Some log-on scripts and service managers leave SIGCHLD ignored for the programs they start.
    m_program.setChildProcessModifier([] { ::signal(SIGCHLD, SIG_IGN); });
    m_program.start(QStringLiteral(DRVMAP_PATH), {QStringLiteral("-auto")});
    QVERIFY(m_program.waitForStarted());
}

void TestAutoConnect::connectsTheDueRecordsOneATickWithoutADisplay()
{
    QByteArray records;
    // Due, on the first free letter, which is E.
    records += SlotBytes::saved("First", ShareA, 1, 'T', 'T', {}, userName('a'), encrypted('a'));
    records += SlotBytes::saved("Wrong", ShareA, 2, 'T', 'F', "H:", userName('a'),
                                Crypt::EncryptPassword(QStringLiteral("wrong")).toLatin1());
    // Would connect, but is not due.
    records += SlotBytes::saved("Manual", ShareB, 3, 'F', 'F', "I:", userName('b'), encrypted('b'));
    records += SlotBytes::deleted();
    records += SlotBytes::saved("Ask", ShareA, 5, 'T', 'F', "J:", userName('a'), {}, 'T');
    records += SlotBytes::saved("Fixed", ShareB, 6, 'T', 'F', "G:", userName('b'), encrypted('b'));
    records += SlotBytes::deleted() + SlotBytes::deleted() + SlotBytes::deleted();
    // Past the fourth empty slot (4, 7, 8, 9): the batch has ended before it gets here.
    records += SlotBytes::saved("Late", ShareA, 10, 'T', 'T', {}, userName('a'), encrypted('a'));
    QVERIFY(SlotBytes::writeFile(m_data->filePath(QStringLiteral("drvmap.dat")), records));

    // Files already on the server tell which share each drive shows.
    const QByteArray tag = QByteArray::number(QRandomGenerator::global()->generate());
    const QString name = QStringLiteral("autoconnect-%1.txt").arg(QLatin1String(tag));
    for (const char share : {'a', 'b'}) {
        m_serverFiles << m_samba.shareFolder(share) + u'/' + name;
        QVERIFY(SlotBytes::writeFile(m_serverFiles.last(), "share " + QByteArray(1, share) + ' ' + tag));
    }

    // Watched while it runs: the drives as they appear, the lines as they are written.
    start();
    // The program waits for the programs it starts, whatever its parent ignored, and a write past the file size
    // limit fails instead of ending it.
    const auto ignoredSignals = [this] {
        const QByteArray status = SlotBytes::readFile(QStringLiteral("/proc/%1/status").arg(m_program.processId()));
        const qsizetype field = status.indexOf("SigIgn:") + 7;
        const quint64 mask = status.mid(field, status.indexOf('\n', field) - field).trimmed().toULongLong(nullptr, 16);
        return mask & (1u << (SIGCHLD - 1) | 1u << (SIGXFSZ - 1));
    };
    QTRY_COMPARE_WITH_TIMEOUT(ignoredSignals(), quint64(1u << (SIGXFSZ - 1)), 10000);
    QElapsedTimer clock;
    clock.start();
    QList<Event> events;
    QString seen;
    QByteArray errors;
    const auto look = [&] {
        for (const QChar letter : rcloneDrives(m_drives)) {
            if (!seen.contains(letter)) {
                seen += letter;
                events.append({QStringLiteral("drive ") + letter, clock.elapsed()});
            }
        }
        while (m_program.canReadLine()) {
            const QByteArray line = m_program.readLine();
            errors += line;
            const QByteArray prefix = "drvmap: record ";
            const QByteArray record = line.startsWith(prefix) ? line.mid(prefix.size()).split(' ').value(0) : line;
            events.append({QStringLiteral("record ") + QString::fromUtf8(record.trimmed()), clock.elapsed()});
        }
    };
    while (m_program.state() != QProcess::NotRunning && clock.elapsed() < 60000) {
        m_program.waitForFinished(20);
        look();
    }
    QVERIFY2(m_program.state() == QProcess::NotRunning,
             qPrintable(QStringLiteral("still running after 60 s: ") + describe(events)));
    errors += m_program.readAllStandardError();
    look();

    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(errors),
             QStringLiteral("drvmap: record 2 (\\\\127.0.0.1\\sharea): ERROR: Invalid Password! - Connect Failed!\n"
                            "drvmap: record 5 (\\\\127.0.0.1\\sharea): Connect Cancelled\n"));
    QStringList order;
    for (const Event& event : std::as_const(events))
        order << event.what;
    QVERIFY2(order
                 == QStringList({QStringLiteral("drive E"), QStringLiteral("record 2"), QStringLiteral("record 5"),
                                 QStringLiteral("drive G")}),
             qPrintable(describe(events)));
    // Records 2, 5 and 6 are taken at three ticks of their own, 2 and 5 with the tick of the records passed
    // over between them: each step comes well after the one before, not all in a row.
    QVERIFY2(events[2].at - events[1].at >= 500, qPrintable(describe(events)));
    QVERIFY2(events[3].at - events[2].at >= 500, qPrintable(describe(events)));

    // The drives outlive the program, each on the share of its record.
    QCOMPARE(rcloneDrives(m_drives), QStringLiteral("EG"));
    QTRY_COMPARE_WITH_TIMEOUT(SlotBytes::readFile(drive('E') + u'/' + name), "share a " + tag, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(SlotBytes::readFile(drive('G') + u'/' + name), "share b " + tag, 30000);
}

void TestAutoConnect::staysOpenAfterAFailureOnADisplay()
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        QSKIP("Xvfb is missing: run scripts/install-deps");
    // Xvfb picks a free display and names it on its standard output once it accepts connections.
    m_xvfb.start(
        QStringLiteral("Xvfb"),
        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QVERIFY(m_xvfb.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_xvfb.canReadLine(), 30000);
    const QString display = u':' + QString::fromLatin1(m_xvfb.readLine().trimmed());

    QByteArray records;
    records += SlotBytes::saved("Wrong", ShareA, 1, 'T', 'F', "H:", userName('a'),
                                Crypt::EncryptPassword(QStringLiteral("wrong")).toLatin1());
    records += SlotBytes::saved("Good", ShareB, 2, 'T', 'T', {}, userName('b'), encrypted('b'));
    QVERIFY(SlotBytes::writeFile(m_data->filePath(QStringLiteral("drvmap.dat")), records));
    start(display);

    // The batch goes on past the failure, and ends at the tick after record 2: slots 3 to 6 lie past the end of
    // the file. A program that ended with it would be gone long before the wait is over.
    QTRY_COMPARE_WITH_TIMEOUT(rcloneDrives(m_drives), QStringLiteral("E"), 30000);
    QTest::qWait(4000);
    QVERIFY2(m_program.state() == QProcess::Running,
             qPrintable(QStringLiteral("ended with %1: %2")
                            .arg(m_program.exitCode())
                            .arg(QString::fromLocal8Bit(m_program.readAllStandardError()))));
    QCOMPARE(rcloneDrives(m_drives), QStringLiteral("E"));
}

QTEST_GUILESS_MAIN(TestAutoConnect)
#include "tst_autoconnect.moc"
