// The unattended start run for real: drvmap -auto connects the auto-connect records of a record file to the
// private Samba server, one record a timer tick, and ends by itself unless a failure has a window to show. A second
// start hands its request to the program that runs.
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

} // namespace

class TestAutoConnect : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void connectsTheDueRecordsOneATickWithoutADisplay();
    void staysOpenAfterAFailureOnADisplay();
    void handsASecondStartToTheRunningOne();
    void saysBadProviderWithoutRclone();

private:
    void startDisplay();
    // Starts the program on records, with -auto unless arguments are given.
    void start(const QByteArray& records, const QString& display = {},
               const QStringList& arguments = {QStringLiteral("-auto")});
    // Another start beside the running one, on the same records; its exit code.
    int startAgain(const QStringList& arguments);
    QString path(const char* name) const { return m_root.filePath(QLatin1String(name)); }
    QByteArray encrypted(char user) const { return Crypt::EncryptPassword(m_samba.password(user)).toLatin1(); }
    QByteArray userName(char user) const { return m_samba.user(user).toLatin1(); }

    SambaTestbed m_samba;
    QTemporaryDir m_root; // the drives, the cache and the home of every run
    QString m_drives;
    std::unique_ptr<LinuxWnet> m_wnet; // takes down what a run left mounted
    std::unique_ptr<QTemporaryDir> m_data; // holds the record file
    QStringList m_serverFiles; // written into the shares by a test
    QProcess m_program;
    QProcess m_xvfb;
    QString m_display;
    QString m_path; // PATH of the program's runs when set
};

void TestAutoConnect::initTestCase()
{
    m_samba = SambaTestbed::at(qEnvironmentVariable("SAMBA_FIXTURE_DIR"));
    QVERIFY2(m_samba.isRunning(), "the Samba fixture is not running");
    QVERIFY(m_root.isValid());
    for (const char* name : {"drives", "cache", "home", "run"})
        QVERIFY(QDir(m_root.path()).mkdir(QLatin1String(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    m_drives = QDir(path("drives")).canonicalPath();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SHAREMOUNT_DRIVES"), m_drives);
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), path("cache"));
    LinuxWnet::Settings settings = LinuxWnet::settingsFrom(environment);
    settings.probeProgram = QStringLiteral(SMBPROBE_PATH);
    m_wnet = std::make_unique<LinuxWnet>(settings);
}

// Whatever a test left running or mounted goes, so that a failed check cannot spoil the next test.
void TestAutoConnect::cleanup()
{
    for (QProcess* process : {&m_program, &m_xvfb}) {
        process->terminate();
        if (!process->waitForFinished(10000)) {
            process->kill();
            process->waitForFinished();
        }
    }
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        m_wnet->WNetCancelConnection2A(QStringLiteral("%1:").arg(QLatin1Char(letter)), Wnet::CONNECT_UPDATE_PROFILE,
                                       true);
    for (const QString& path : std::as_const(m_serverFiles))
        QFile::remove(path);
    m_serverFiles.clear();
    m_data.reset();
    m_path.clear();
}

// The program on these records, as a log-on script or a user unit starts it: a private home and no display unless
// one is given.
void TestAutoConnect::start(const QByteArray& records, const QString& display, const QStringList& arguments)
{
    m_data = std::make_unique<QTemporaryDir>();
    QVERIFY(SlotBytes::writeFile(m_data->filePath(QStringLiteral("drvmap.dat")), records));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QT_LOGGING_RULES", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
        env.remove(QLatin1String(name));
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("SHAREMOUNT_DATA_DIR"), m_data->path());
    env.insert(QStringLiteral("SHAREMOUNT_DRIVES"), m_drives);
    env.insert(QStringLiteral("SHAREMOUNT_SMB_PORT"), QString::number(m_samba.port()));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), path("cache"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path("run"));
    env.insert(QStringLiteral("HOME"), path("home"));
    if (!m_path.isEmpty())
        env.insert(QStringLiteral("PATH"), m_path);
    m_program.setProcessEnvironment(env);
    m_program.setReadChannel(QProcess::StandardError);
    // Some log-on scripts and service managers leave SIGCHLD ignored for the programs they start.
    m_program.setChildProcessModifier([] { ::signal(SIGCHLD, SIG_IGN); });
    m_program.start(QStringLiteral(DRVMAP_PATH), arguments);
    QVERIFY(m_program.waitForStarted());
}

int TestAutoConnect::startAgain(const QStringList& arguments)
{
    QProcess again;
    again.setProcessEnvironment(m_program.processEnvironment());
    again.start(QStringLiteral(DRVMAP_PATH), arguments);
    return again.waitForFinished(30000) && again.exitStatus() == QProcess::NormalExit ? again.exitCode() : -1;
}

// Xvfb picks a free display and names it on its standard output once it accepts connections.
void TestAutoConnect::startDisplay()
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        QSKIP("Xvfb is missing: run scripts/install-deps");
    m_xvfb.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-nolisten", "tcp"});
    QVERIFY(m_xvfb.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_xvfb.canReadLine(), 30000);
    m_display = u':' + QString::fromLatin1(m_xvfb.readLine().trimmed());
}

void TestAutoConnect::connectsTheDueRecordsOneATickWithoutADisplay()
{
    // Files already on the server tell which share each drive shows.
    const QByteArray tag = QByteArray::number(QRandomGenerator::global()->generate());
    const QString name = QStringLiteral("autoconnect-%1.txt").arg(QLatin1String(tag));
    for (const char share : {'a', 'b'}) {
        m_serverFiles << m_samba.shareFolder(share) + u'/' + name;
        QVERIFY(SlotBytes::writeFile(m_serverFiles.last(), "share " + QByteArray(1, share) + ' ' + tag));
    }

    // Due, on the first free letter, which is E.
    QByteArray records = SlotBytes::saved("First", ShareA, 1, 'T', 'T', {}, userName('a'), encrypted('a'));
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
    start(records);

    // The program waits for the programs it starts, whatever its parent ignored, and a write past the file size
    // limit fails instead of ending it.
    const auto ignoredSignals = [this] {
        const QByteArray status = SlotBytes::readFile(QStringLiteral("/proc/%1/status").arg(m_program.processId()));
        const qsizetype field = status.indexOf("SigIgn:") + 7;
        const quint64 mask = status.mid(field, status.indexOf('\n', field) - field).trimmed().toULongLong(nullptr, 16);
        return mask & (1u << (SIGCHLD - 1) | 1u << (SIGXFSZ - 1));
    };
    QTRY_COMPARE_WITH_TIMEOUT(ignoredSignals(), quint64(1u << (SIGXFSZ - 1)), 10000);

    // Watched while it runs: the drives as they appear ("drive E"), the records it writes about ("record 2").
    QElapsedTimer clock;
    clock.start();
    QStringList seen;
    QList<qint64> seenAt;
    const auto described = [&] {
        QStringList events;
        for (qsizetype i = 0; i < seen.size(); ++i)
            events << QStringLiteral("%1 at %2 ms").arg(seen[i]).arg(seenAt[i]);
        return events.join(QStringLiteral(", "));
    };
    const auto saw = [&](const QString& what) {
        seen << what;
        seenAt << clock.elapsed();
    };
    QByteArray errors;
    const auto look = [&] {
        for (const QChar letter : rcloneDrives(m_drives)) {
            if (!seen.contains(QStringLiteral("drive ") + letter))
                saw(QStringLiteral("drive ") + letter);
        }
        while (m_program.canReadLine()) {
            // drvmap: record 2 (...): ...
            const QByteArray line = m_program.readLine();
            errors += line;
            saw(QStringLiteral("record ") + QString::fromUtf8(line.split(' ').value(2)));
        }
    };
    while (m_program.state() != QProcess::NotRunning && clock.elapsed() < 60000) {
        m_program.waitForFinished(20);
        look();
    }
    QVERIFY2(m_program.state() == QProcess::NotRunning, qPrintable("still running after 60 s: " + described()));
    look();
    errors += m_program.readAllStandardError();

    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(errors),
             QStringLiteral("drvmap: record 2 (\\\\127.0.0.1\\sharea): ERROR: Invalid Password! - Connect Failed!\n"
                            "drvmap: record 5 (\\\\127.0.0.1\\sharea): Connect Cancelled\n"));
    QCOMPARE(seen, QStringList({"drive E", "record 2", "record 5", "drive G"}));
    // Records 2, 5 and 6 are taken at three ticks of their own, 2 and 5 with the tick of the records passed
    // over between them: each step comes well after the one before, not all in a row.
    QVERIFY2(seenAt[2] - seenAt[1] >= 500 && seenAt[3] - seenAt[2] >= 500, qPrintable(described()));

    // The drives outlive the program, each on the share of its record.
    QCOMPARE(rcloneDrives(m_drives), QStringLiteral("EG"));
    QTRY_COMPARE_WITH_TIMEOUT(SlotBytes::readFile(m_drives + "/E/" + name), "share a " + tag, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(SlotBytes::readFile(m_drives + "/G/" + name), "share b " + tag, 30000);
}

void TestAutoConnect::staysOpenAfterAFailureOnADisplay()
{
    startDisplay();
    start(SlotBytes::saved("Wrong", ShareA, 1, 'T', 'F', "H:", userName('a'),
                           Crypt::EncryptPassword(QStringLiteral("wrong")).toLatin1())
              + SlotBytes::saved("Good", ShareB, 2, 'T', 'T', {}, userName('b'), encrypted('b')),
          m_display);

    // The batch goes on past the failure, and ends at the tick after record 2: slots 3 to 6 lie past the end of
    // the file. A program that ended with it would be gone long before the wait is over.
    QTRY_COMPARE_WITH_TIMEOUT(rcloneDrives(m_drives), QStringLiteral("E"), 30000);
    QTest::qWait(4000);
    QVERIFY2(m_program.state() == QProcess::Running,
             qPrintable(QStringLiteral("ended with %1: %2")
                            .arg(m_program.exitCode())
                            .arg(QString::fromLocal8Bit(m_program.readAllStandardError()))));
}

void TestAutoConnect::handsASecondStartToTheRunningOne()
{
    startDisplay();
    const QByteArray records = SlotBytes::saved("Due", ShareA, 1, 'T', 'T', {}, userName('a'), encrypted('a'));
    const auto stillRuns = [this](int milliseconds) {
        m_program.waitForFinished(milliseconds);
        return m_program.state() == QProcess::Running;
    };

    // An unattended run without a display has no window to show: a start for one waits for it to end, then runs.
    start(records);
    QTRY_COMPARE_WITH_TIMEOUT(rcloneDrives(m_drives), QStringLiteral("E"), 30000);
    QProcess window;
    QProcessEnvironment withDisplay = m_program.processEnvironment();
    withDisplay.insert(QStringLiteral("DISPLAY"), m_display);
    window.setProcessEnvironment(withDisplay);
    window.start(QStringLiteral(DRVMAP_PATH), QStringList());
    QVERIFY(m_program.waitForFinished(30000));
    QCOMPARE(m_program.exitCode(), 0);
    QVERIFY(!window.waitForFinished(2000));
    window.kill();
    QVERIFY(window.waitForFinished());
    QCOMPARE(m_wnet->WNetCancelConnection2A(QStringLiteral("E:"), Wnet::CONNECT_UPDATE_PROFILE, true), NO_ERROR);

    // A start for the window while an unattended run connects on a display: that run keeps its window open after
    // the batch.
    start(records, m_display);
    QTRY_COMPARE_WITH_TIMEOUT(rcloneDrives(m_drives), QStringLiteral("E"), 30000);
    QCOMPARE(startAgain({}), 0);
    QVERIFY2(stillRuns(6000), qPrintable(QString::number(m_program.exitCode())));

    // A second -auto has the running program connect its batch, and ends at once.
    QCOMPARE(m_wnet->WNetCancelConnection2A(QStringLiteral("E:"), Wnet::CONNECT_UPDATE_PROFILE, true), NO_ERROR);
    QCOMPARE(startAgain({QStringLiteral("-auto")}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(rcloneDrives(m_drives), QStringLiteral("E"), 30000);

    // A run that was killed leaves its lock and socket; the next start runs all the same, and takes requests.
    m_program.kill();
    QVERIFY(m_program.waitForFinished());
    QCOMPARE(m_wnet->WNetCancelConnection2A(QStringLiteral("E:"), Wnet::CONNECT_UPDATE_PROFILE, true), NO_ERROR);
    m_program.start(QStringLiteral(DRVMAP_PATH), QStringList());
    QVERIFY(stillRuns(3000));
    QCOMPARE(startAgain({QStringLiteral("-auto")}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(rcloneDrives(m_drives), QStringLiteral("E"), 30000);
    QVERIFY(stillRuns(0));
}

void TestAutoConnect::saysBadProviderWithoutRclone()
{
    // Nothing on PATH: of the programs found there, only rclone is needed before the mount.
    QTemporaryDir programs;
    m_path = programs.path();
    start(SlotBytes::saved("First", ShareA, 1, 'T', 'T', "K:", userName('a'), encrypted('a')));
    QVERIFY(m_program.waitForFinished(30000));
    QCOMPARE(m_program.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(m_program.readAllStandardError()),
             QStringLiteral("sharemount: rclone is missing: install the rclone package\n"
                            "drvmap: record 1 (\\\\127.0.0.1\\sharea): ERROR: Bad Provider - Connect Failed!\n"));
    QCOMPARE(rcloneDrives(m_drives), QString());
}

QTEST_GUILESS_MAIN(TestAutoConnect)
#include "tst_autoconnect.moc"
