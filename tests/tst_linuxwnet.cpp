// The Linux networking layer against a real Samba server on loopback, through real FUSE mounts.
#include "connect/DriveLetters.h"
#include "platform/LinuxWnet.h"
#include "platform/RcloneMount.h"
#include "platform/SmbProbe.h"
#include "platform/Subprocess.h"
#include "support/LayerCalls.h"
#include "support/SambaTestbed.h"
#include "support/SlotBytes.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSet>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace LayerCalls;

namespace {

// Every process whose command line holds text, and every file under folders that others may read and that holds it.
QStringList placesHolding(const QByteArray& text, const QStringList& folders)
{
    QStringList found;
    for (const pid_t pid :
         processes([&](const QString& proc) { return SlotBytes::readFile(proc + "/cmdline").contains(text); }))
        found << QStringLiteral("process %1").arg(pid);
    for (const QString& folder : folders) {
        QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            struct stat status;
            if (lstat(QFile::encodeName(path).constData(), &status) == 0 && (status.st_mode & S_IROTH)
                && SlotBytes::readFile(path).contains(text))
                found << path;
        }
    }
    return found;
}

// Children of this process: those that run program, or those that have ended and wait to be collected.
QList<pid_t> childProcesses(const QString& program, bool ended = false)
{
    return processes([&](const QString& proc) {
        // pid (name) state ppid ...: the name may hold spaces, the fields after its ")" do not.
        const QByteArray stat = SlotBytes::readFile(proc + "/stat");
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        return fields.size() > 1 && fields[1].toInt() == getpid()
            && (ended ? fields[0] == "Z" : QFileInfo(proc + "/exe").symLinkTarget() == program);
    });
}

} // namespace

class TestLinuxWnet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void connectsAndCarriesFiles();
    void refusesWithTheCodeThatSaysWhy_data();
    void refusesWithTheCodeThatSaysWhy();
    void tellsFreeLettersFromTakenOnes();
    void takesTheRemoteNameLiterally_data();
    void takesTheRemoteNameLiterally();
    void sendsEverySavedFileBeforeTheDriveGoes();
    void keepsWhatAServerThatStoppedDidNotGet();
    void letsGoOfDrivesWhoseServerWasKilled();
    void givesALetterToOneConnectAtATime();
    void collectsTheProgramsItStarts();
    void boundsTheWaitForAnAbsentServer();
    void refusesAProviderThatFails();

private:
    LinuxWnet::Settings settings(quint16 port, std::chrono::milliseconds limit = LinuxWnet::Settings().limit) const;
    // With the drives folder's links resolved, as the mount table and the command lines have it.
    QString letterFolder(char letter) const
    {
        return QDir(m_drives.path()).canonicalPath() + u'/' + QLatin1Char(letter);
    }
    QString letterCache(char letter) const { return m_cache.filePath(QStringLiteral("rclone-") + QLatin1Char(letter)); }

    SambaTestbed m_samba;
    QTemporaryDir m_drives;
    QTemporaryDir m_cache;
    std::unique_ptr<LinuxWnet> m_wnet;
};

LinuxWnet::Settings TestLinuxWnet::settings(quint16 port, std::chrono::milliseconds limit) const
{
    LinuxWnet::Settings settings = settingsFor(m_drives.path(), m_cache.path(), port);
    settings.limit = limit;
    return settings;
}

void TestLinuxWnet::initTestCase()
{
    m_samba = SambaTestbed::at(qEnvironmentVariable("SAMBA_FIXTURE_DIR"));
    QVERIFY2(m_samba.isRunning(), "the Samba fixture is not running");
    QVERIFY(m_drives.isValid());
    m_wnet = std::make_unique<LinuxWnet>(settings(m_samba.port()));
}

// A failed test must not leave a drive behind for the next one.
void TestLinuxWnet::cleanup()
{
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        cancel(*m_wnet, QStringLiteral("%1:").arg(QLatin1Char(letter)), true);
}

void TestLinuxWnet::connectsAndCarriesFiles()
{
    QCOMPARE(connectAs(*m_wnet, m_samba, "F:", ShareA), NO_ERROR);
    QCOMPARE(m_wnet->GetDriveTypeA("F:\\"), DRIVE_REMOTE);
    QCOMPARE(remoteOf(*m_wnet, "F:"), ShareA);
    // Written on the server, a file shows on the drive (the other way is for the tests of uploads and names).
    QVERIFY(SlotBytes::writeFile(m_samba.shareFolder('a') + "/notes.txt", "written on the server"));
    QTRY_COMPARE(SlotBytes::readFile(letterFolder('F') + "/notes.txt"), QByteArray("written on the server"));

    // The password is in no command line and in no file that others may read. Nor is its obscured form, which
    // rclone takes from a configuration in memory, in rclone's command line or environment.
    QCOMPARE(placesHolding(m_samba.password('a').toUtf8(), {QDir::homePath(), m_drives.path(), m_cache.path()}),
             QStringList());
    const pid_t rclone = rclonesServing(letterFolder('F')).value(0);
    QVERIFY(rclone > 0);
    const QByteArray commandLine = SlotBytes::readFile(QStringLiteral("/proc/%1/cmdline").arg(rclone));
    QVERIFY2(!commandLine.contains("pass") && !commandLine.contains("PASS"), commandLine.constData());
    QVERIFY(!SlotBytes::readFile(QStringLiteral("/proc/%1/environ").arg(rclone)).contains("RCLONE_"));

    // A drive with a file open on it goes only by force, and then at once, folder and all.
    QFile open(letterFolder('F') + "/open.txt");
    QVERIFY(open.open(QIODevice::WriteOnly));
    QCOMPARE(cancel(*m_wnet, "F:"), ERROR_DEVICE_IN_USE);
    QCOMPARE(m_wnet->GetDriveTypeA("F:\\"), DRIVE_REMOTE);
    QCOMPARE(cancel(*m_wnet, "F:", true), NO_ERROR);
    QCOMPARE(m_wnet->GetDriveTypeA("F:\\"), DRIVE_NO_ROOT_DIR);
    QVERIFY(!QFileInfo::exists(letterFolder('F')));
    open.close();
    QCOMPARE(cancel(*m_wnet, "F:"), ERROR_NOT_CONNECTED);
    QCOMPARE(remoteOf(*m_wnet, "F:"), QStringLiteral("code %1").arg(ERROR_NOT_CONNECTED));
}

void TestLinuxWnet::refusesWithTheCodeThatSaysWhy_data()
{
    QTest::addColumn<QString>("localName");
    QTest::addColumn<QString>("remoteName");
    QTest::addColumn<char>("user");
    QTest::addColumn<QString>("password"); // empty: the user's own
    QTest::addColumn<int>("expected");

    const auto row = [](const char* name, const char* localName, const QString& remoteName, WnetResult expected,
                        char user = 'a', const char* password = "") {
        QTest::newRow(name) << localName << remoteName << user << password << int(expected);
    };
    row("wrong password", "G:", ShareA, ERROR_INVALID_PASSWORD, 'a', "not the password");
    row("another user's share", "G:", ShareB, ERROR_ACCESS_DENIED);
    row("disabled account", "G:", ShareA, ERROR_ACCOUNT_DISABLED, 'c');
    row("no such share", "G:", QStringLiteral("\\\\127.0.0.1\\nosuch"), ERROR_BAD_NET_NAME);
    row("no such folder", "G:", ShareA + "\\missing", ERROR_BAD_NET_NAME);
    row("no such host", "G:", QStringLiteral("\\\\no-such-host.invalid\\sharea"), ERROR_BAD_NETPATH);
    // Refused before the server is asked; the test of SmbShare has the other names refused that way.
    row("out of the share", "G:", ShareA + "\\..\\..\\shareb", ERROR_BAD_NET_NAME);
    // Colons and double quotes cannot stand in SMB names: no such folder, whatever follows them.
    row("colon", "G:", ShareA + "\\x:y", ERROR_BAD_NET_NAME);
    row("quotes", "G:", ShareA + "\\say \"hi\"", ERROR_BAD_NET_NAME);
    row("root path", "G:\\", ShareA, ERROR_BAD_DEVICE);
    row("after Z", "[:", ShareA, ERROR_BAD_DEVICE);
}

void TestLinuxWnet::refusesWithTheCodeThatSaysWhy()
{
    QFETCH(QString, localName);
    QFETCH(QString, remoteName);
    QFETCH(char, user);
    QFETCH(QString, password);
    QFETCH(int, expected);
    QCOMPARE(connectAs(*m_wnet, m_samba, localName, remoteName, user, password), expected);
    // Nothing is left behind: the letter is still free and has no folder.
    QCOMPARE(m_wnet->GetDriveTypeA("G:\\"), DRIVE_NO_ROOT_DIR);
    QVERIFY(!QFileInfo::exists(letterFolder('G')));
}

void TestLinuxWnet::tellsFreeLettersFromTakenOnes()
{
    // A file, a folder with files or a link in a letter's place is a local drive.
    QVERIFY(SlotBytes::writeFile(letterFolder('I'), "a file where a folder would be"));
    QVERIFY(QDir().mkpath(letterFolder('J')));
    QVERIFY(SlotBytes::writeFile(letterFolder('J') + "/keep.txt", "local files"));
    QVERIFY(QFile::link(QDir::tempPath(), letterFolder('K')));
    for (const char letter : {'I', 'J', 'K'}) {
        const QString drive = QStringLiteral("%1:").arg(QLatin1Char(letter));
        QCOMPARE(m_wnet->GetDriveTypeA(drive + u'\\'), DRIVE_FIXED);
        QCOMPARE(connectAs(*m_wnet, m_samba, drive, ShareA), ERROR_ALREADY_ASSIGNED);
    }
    QCOMPARE(SlotBytes::readFile(letterFolder('J') + "/keep.txt"), QByteArray("local files"));
    // An empty folder is a free letter.
    QVERIFY(QDir().mkpath(letterFolder('H')));
    QCOMPARE(connectAs(*m_wnet, m_samba, "h:", ShareA), NO_ERROR);

    // Mounted by hand, as a user might: the layer lists, names and drops it like its own.
    QVERIFY(QDir().mkpath(letterFolder('N')));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("RCLONE_SMB_HOST"), QStringLiteral("127.0.0.1"));
    environment.insert(QStringLiteral("RCLONE_SMB_PORT"), QString::number(m_samba.port()));
    environment.insert(QStringLiteral("RCLONE_SMB_USER"), m_samba.user('b'));
    environment.insert(QStringLiteral("RCLONE_SMB_PASS"),
                       QString::fromLatin1(RcloneMount::obscure(m_samba.password('b'))));
    QProcess rclone;
    rclone.setProcessEnvironment(environment);
    rclone.start(QStringLiteral("rclone"),
                 {"mount", ":smb:shareb", letterFolder('N'), "--devname", "//127.0.0.1/shareb", "--daemon"});
    QVERIFY(rclone.waitForFinished(20000));
    QCOMPARE(rclone.exitCode(), 0);
    QCOMPARE(m_wnet->GetDriveTypeA("N:\\"), DRIVE_REMOTE);
    QCOMPARE(remoteOf(*m_wnet, "n:"), ShareB);
    QCOMPARE(cancel(*m_wnet, "N:"), NO_ERROR);
    QCOMPARE(m_wnet->GetDriveTypeA("N:\\"), DRIVE_NO_ROOT_DIR);
}

void TestLinuxWnet::takesTheRemoteNameLiterally_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("domain"); // of the log-on, which Samba takes whatever it is
    QTest::newRow("share root") << QString() << QString();
    // Commas, quotes, equals signs, spaces, leading dashes and rclone's "%(setting)s" become no option of rclone, of
    // its configuration or of the mount (",ro" would make the drive read-only).
    QTest::newRow("option text") << QStringLiteral("odd, name 'y'=x,ro") << QStringLiteral("d`, host = x'\"=,ro");
    QTest::newRow("leading dashes") << QStringLiteral("--read-only -o ro") << QStringLiteral("--config=/dev/null");
    QTest::newRow("rclone setting") << QStringLiteral("%(host)s") << QStringLiteral("`%");
    // rclone's default encoding would mount full-width look-alikes of these: another, empty folder.
    QTest::newRow("trailing period") << QStringLiteral("Acme Inc.") << QString();
    QTest::newRow("trailing space") << QStringLiteral("Old Files \\2024") << QString();
}

void TestLinuxWnet::takesTheRemoteNameLiterally()
{
    QFETCH(QString, folder);
    QFETCH(QString, domain);
    const QString shareFolder = m_samba.shareFolder('a');
    const QString serverFolder = shareFolder + u'/' + QString(folder).replace(u'\\', u'/');
    QVERIFY(QDir().mkpath(serverFolder));
    QVERIFY(SlotBytes::writeFile(serverFolder + "/marker.txt", "inside"));
    QProcess::execute(QStringLiteral("chown"), {"-R", "60001:60000", shareFolder});
    const QString remoteName = ShareA + (folder.isEmpty() ? QString() : u'\\' + folder);

    NETRESOURCE resource;
    resource.lpLocalName = QStringLiteral("O:");
    resource.lpRemoteName = remoteName;
    const QString user = domain.isEmpty() ? m_samba.user('a') : domain + u'\\' + m_samba.user('a');
    QCOMPARE(m_wnet->WNetAddConnection2A(resource, m_samba.password('a'), user, 0), NO_ERROR);
    QCOMPARE(SlotBytes::readFile(letterFolder('O') + "/marker.txt"), QByteArray("inside"));
    // The check helper takes its request on a channel of its own, and rclone has the share's path after its
    // remote's name and as the mount's name, each a whole argument: nothing else of the names is on a command line.
    QString path = QStringLiteral("sharea");
    if (!folder.isEmpty())
        path += u'/' + QString(folder).replace(u'\\', u'/');
    QCOMPARE(SlotBytes::readFile(QStringLiteral("/proc/%1/cmdline").arg(childProcesses(SMBPROBE_PATH).value(0))),
             QByteArray(SMBPROBE_PATH) + '\0');
    const QList<QByteArray> arguments
        = SlotBytes::readFile(QStringLiteral("/proc/%1/cmdline").arg(rclonesServing(letterFolder('O')).value(0)))
              .split('\0');
    QVERIFY(arguments.size() > 5);
    QVERIFY2(arguments[2].endsWith(':' + path.toUtf8()), arguments[2].constData());
    QCOMPARE(arguments[5], "//127.0.0.1/" + path.toUtf8());
    for (const QByteArray& argument : arguments.mid(6))
        QVERIFY2(!(argument.contains("sharea") || (!domain.isEmpty() && argument.contains(domain.toUtf8()))),
                 argument.constData());
    // Windows reserves ":" and "?": the server takes such a file under full-width look-alikes of them.
    const QStringList saved {"saved.txt", "draft.", "a:b?.txt"};
    for (const QString& name : saved)
        QVERIFY(SlotBytes::writeFile(letterFolder('O') + u'/' + name, "written through the drive"));
    QCOMPARE(remoteOf(*m_wnet, "O:"), remoteName);
    QCOMPARE(cancel(*m_wnet, "O:"), NO_ERROR);

    // The files are where the user saved them, and no look-alike of a period or a space has appeared.
    for (const QString& file : {saved[0], saved[1], QStringLiteral("a\uFF1Ab\uFF1F.txt")})
        QCOMPARE(SlotBytes::readFile(serverFolder + u'/' + file), QByteArray("written through the drive"));
    QDirIterator entries(shareFolder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QString entry = entries.next();
        QVERIFY2(!entry.contains(u'\uFF0E') && !entry.contains(u'\u2420'), qPrintable(entry));
    }
}

void TestLinuxWnet::sendsEverySavedFileBeforeTheDriveGoes()
{
    // An earlier run's messages stay in the drive's log, within its bound.
    const QString log = letterCache('S') + ".log";
    QVERIFY(SlotBytes::writeFile(log, QByteArray(3 << 20, '.') + "\nthe last line of an earlier run\n"));
    QCOMPARE(connectAs(*m_wnet, m_samba, "S:", ShareA), NO_ERROR);
    // Big enough that its upload is still under way when the unmount is done.
    QByteArray contents(64 << 20, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(contents.data()), contents.size() / 4);
    QVERIFY(SlotBytes::writeFile(letterFolder('S') + "/large.bin", contents));

    // A slow link: the server answers a fifth of the time, and the upload takes longer than the layer's limit,
    // which bounds only a wait in which nothing moves.
    std::atomic<bool> slow {true};
    std::thread throttle([&] {
        while (slow) {
            m_samba.signal(SIGSTOP);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            m_samba.signal(SIGCONT);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    const auto fast = qScopeGuard([&] {
        slow = false;
        throttle.join();
    });
    LinuxWnet impatient(settings(m_samba.port(), std::chrono::milliseconds(1000)));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(cancel(impatient, "S:"), NO_ERROR);
    QVERIFY2(clock.elapsed() > 1000, qPrintable(QStringLiteral("the upload took only %1 ms").arg(clock.elapsed())));
    // The answer came once the server had the file whole: its size at once, before a slow read could race the
    // upload, then its contents.
    const QString onServer = m_samba.shareFolder('a') + "/large.bin";
    QCOMPARE(QFileInfo(onServer).size(), contents.size());
    QVERIFY(SlotBytes::readFile(onServer) == contents);

    // Nothing of a file the server has stays in the cache.
    QDirIterator cached(letterCache('S'), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QVERIFY2(!cached.hasNext(), qPrintable(cached.hasNext() ? cached.next() : QString()));
    const QByteArray logged = SlotBytes::readFile(log);
    QVERIFY(logged.size() < 1 << 20);
    QVERIFY(logged.contains("the last line of an earlier run\n"));
    QVERIFY(logged.contains("ShareMount: mounting //127.0.0.1/sharea on"));
}

void TestLinuxWnet::keepsWhatAServerThatStoppedDidNotGet()
{
    PrivateSamba ownServer;
    QVERIFY(ownServer.start());
    const SambaTestbed& server = ownServer.server();
    LinuxWnet wnet(settings(server.port()));
    // The disconnects give up on a server that has stopped answering sooner than the layer would.
    LinuxWnet impatient(settings(server.port(), std::chrono::milliseconds(2000)));
    // A file saved once the server has stopped answering: its upload cannot get through.
    const auto saveWhileStopped = [&](const QString& name, const QByteArray& contents) {
        QFile saved(letterFolder('P') + u'/' + name);
        const bool written = saved.open(QIODevice::WriteOnly) && saved.write(contents) == contents.size();
        server.signal(SIGSTOP);
        saved.close();
        return written;
    };
    // The disconnect cannot say the file is safe: it says which file is not.
    const auto expectUnsent = [](const QString& name) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("sent nothing for 2000 ms")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("1 file saved on the drive did not")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^ +") + name + u'$'));
    };

    QCOMPARE(connectAs(wnet, server, "P:", ShareA), NO_ERROR);
    const QByteArray report(1 << 20, 'r');
    QVERIFY(saveWhileStopped(QStringLiteral("report.txt"), report));
    // And the mount's own process stops answering: anything that looked into the mount would hang now. Only once it
    // has the file's release, which the kernel sends after the close has returned: else it would never send the file.
    const pid_t rclone = rclonesServing(letterFolder('P')).value(0);
    QVERIFY(rclone > 0);
    RcloneMount::awaitReleases(*RcloneMount::findServer(letterFolder('P')), letterFolder('P'),
                               std::chrono::seconds(10));
    const UniqueFd stopped = Subprocess::openProcess(rclone);
    QCOMPARE(kill(rclone, SIGSTOP), 0);
    const auto endRclone
        = qScopeGuard([&stopped] { syscall(SYS_pidfd_send_signal, stopped.get(), SIGKILL, nullptr, 0); });
    // Hanging would be the fault here, so each answer gets a generous bound, not a speed target.
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(wnet.GetDriveTypeA("P:\\"), DRIVE_REMOTE);
    QCOMPARE(remoteOf(wnet, "P:"), ShareA);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QStringLiteral("listing took %1 ms").arg(clock.elapsed())));
    expectUnsent(QStringLiteral("report.txt"));
    clock.start();
    QCOMPARE(cancel(impatient, "P:"), ERROR_EXTENDED_ERROR);
    QVERIFY2(clock.elapsed() < 6000, qPrintable(QStringLiteral("cancel took %1 ms").arg(clock.elapsed())));
    QCOMPARE(wnet.GetDriveTypeA("P:\\"), DRIVE_NO_ROOT_DIR);

    // Back again, the server gets the file whole from the next mount of its share on the letter.
    QVERIFY(server.signal(SIGCONT));
    QCOMPARE(connectAs(wnet, server, "P:", ShareA), NO_ERROR);
    // rclone sends it as it starts, before the mount is made; the bound only guards against a hang.
    QTRY_COMPARE_WITH_TIMEOUT(SlotBytes::readFile(server.shareFolder('a') + "/report.txt"), report, 90000);

    // Dropped by force, the drive goes at once, well within the layer's limit, and its rclone goes on trying.
    // Another share can still have the letter: the rclone is ended once it has sent nothing for the layer's limit.
    const QByteArray notes(1 << 20, 'n');
    QVERIFY(saveWhileStopped(QStringLiteral("notes.txt"), notes));
    clock.start();
    QCOMPARE(cancel(wnet, "P:", true), NO_ERROR);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QStringLiteral("forced cancel took %1 ms").arg(clock.elapsed())));
    expectUnsent(QStringLiteral("notes.txt"));
    LinuxWnet other(settings(m_samba.port(), std::chrono::milliseconds(2000)));
    QCOMPARE(connectAs(other, m_samba, "P:", ShareB, 'b'), NO_ERROR);
    // Two rclones on one cache could spoil it.
    QCOMPARE(rclonesServing(letterFolder('P')).size(), 1);
    QCOMPARE(cancel(wnet, "P:"), NO_ERROR);
    // What it could not send waited for its share.
    QVERIFY(server.signal(SIGCONT));
    QCOMPARE(connectAs(wnet, server, "P:", ShareA), NO_ERROR);
    QTRY_COMPARE_WITH_TIMEOUT(SlotBytes::readFile(server.shareFolder('a') + "/notes.txt"), notes, 30000);
    QCOMPARE(cancel(wnet, "P:"), NO_ERROR);

    // Each mount added its messages to the log; none emptied it.
    QCOMPARE(SlotBytes::readFile(letterCache('P') + ".log").count("ShareMount: mounting"), 4);
}

void TestLinuxWnet::letsGoOfDrivesWhoseServerWasKilled()
{
    PrivateSamba ownServer;
    QVERIFY(ownServer.start());
    LinuxWnet wnet(settings(ownServer.server().port(), std::chrono::milliseconds(2000)));
    QCOMPARE(connectAs(wnet, ownServer.server(), "X:", ShareA), NO_ERROR);
    QCOMPARE(connectAs(wnet, ownServer.server(), "Y:", ShareA), NO_ERROR);
    QVERIFY(ownServer.server().signal(SIGKILL));

    // The window's scan still lists both drives, and the disconnects detach them, each within a bound that only
    // a hang would pass.
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(DriveLetters::networkLetters(wnet), QList<QChar>({u'X', u'Y'}));
    QCOMPARE(DriveLetters::connectionName(wnet, "Y:"), ShareA);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QStringLiteral("listing took %1 ms").arg(clock.elapsed())));
    clock.start();
    QCOMPARE(cancel(wnet, "X:"), NO_ERROR);
    QCOMPARE(cancel(wnet, "Y:", true), NO_ERROR);
    QVERIFY2(clock.elapsed() < 8000, qPrintable(QStringLiteral("disconnects took %1 ms").arg(clock.elapsed())));
    QCOMPARE(DriveLetters::networkLetters(wnet), QList<QChar>());
    QTRY_COMPARE(rclonesServing(letterFolder('X')) + rclonesServing(letterFolder('Y')), QList<pid_t>());

    // Started again, the server takes a new connect to the same letter.
    QVERIFY(ownServer.start());
    LinuxWnet restarted(settings(ownServer.server().port()));
    QCOMPARE(connectAs(restarted, ownServer.server(), "X:", ShareA), NO_ERROR);
    QVERIFY(SlotBytes::writeFile(letterFolder('X') + "/after.txt", "saved after the restart"));
    QCOMPARE(cancel(restarted, "X:"), NO_ERROR);
    QCOMPARE(SlotBytes::readFile(ownServer.server().shareFolder('a') + "/after.txt"),
             QByteArray("saved after the restart"));
}

void TestLinuxWnet::givesALetterToOneConnectAtATime()
{
    // Two programs connect their shares to the same letter at the same moment, a few times over.
    for (int round = 0; round < 3; ++round) {
        LinuxWnet first(settings(m_samba.port()));
        LinuxWnet second(settings(m_samba.port()));
        qint32 other = -1;
        std::thread racing([&] { other = connectAs(second, m_samba, "T:", ShareB, 'b'); });
        const qint32 one = connectAs(first, m_samba, "T:", ShareA);
        racing.join();
        QCOMPARE(QSet<qint32>({one, other}), QSet<qint32>({NO_ERROR, ERROR_ALREADY_ASSIGNED}));
        // The drive is the share of the connect that was told it had it.
        QCOMPARE(remoteOf(first, "T:"), one == NO_ERROR ? ShareA : ShareB);
        QCOMPARE(cancel(first, "T:"), NO_ERROR);
    }
}

void TestLinuxWnet::collectsTheProgramsItStarts()
{
    {
        // Under a parent that ignores SIGCHLD the kernel collects the children: their ends are still seen.
        std::signal(SIGCHLD, SIG_IGN);
        const auto restore = qScopeGuard([] { std::signal(SIGCHLD, SIG_DFL); });
        QCOMPARE(connectAs(*m_wnet, m_samba, "U:", ShareA), NO_ERROR);
        QVERIFY(SlotBytes::writeFile(letterFolder('U') + "/kept.txt", "kept"));
        QCOMPARE(cancel(*m_wnet, "U:"), NO_ERROR);
        QVERIFY(!QFileInfo::exists(letterFolder('U')));
    }

    // A mount taken down from outside ends its rclone, which is collected then, not at the next call.
    QCOMPARE(connectAs(*m_wnet, m_samba, "U:", ShareA), NO_ERROR);
    QCOMPARE(QProcess::execute(QStringLiteral("fusermount3"), {"-u", letterFolder('U')}), 0);
    QTRY_COMPARE(rclonesServing(letterFolder('U')), QList<pid_t>());
    QTRY_COMPARE(childProcesses({}, true), QList<pid_t>());

    // A check helper that has been killed is replaced by the next connect.
    const QList<pid_t> helpers = childProcesses(QStringLiteral(SMBPROBE_PATH));
    QVERIFY(!helpers.isEmpty());
    for (const pid_t helper : helpers)
        QCOMPARE(kill(helper, SIGKILL), 0);
    QCOMPARE(connectAs(*m_wnet, m_samba, "U:", ShareA), NO_ERROR);
}

void TestLinuxWnet::boundsTheWaitForAnAbsentServer()
{
    // No server on the port.
    LinuxWnet closed(settings(1));
    QCOMPARE(connectAs(closed, m_samba, "R:", ShareA), ERROR_BAD_NETPATH);

    // A server that takes the connection and never says a word.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    LinuxWnet wnet(settings(silent.serverPort(), std::chrono::milliseconds(1500)));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(connectAs(wnet, m_samba, "R:", ShareA), ERROR_BAD_NETPATH);
    QVERIFY2(clock.elapsed() < 6000, qPrintable(QStringLiteral("gave up after %1 ms").arg(clock.elapsed())));

    // The check that gave up is not in the way of the next one.
    SmbChecker checker(QStringLiteral(SMBPROBE_PATH));
    const SmbShare share = *SmbShare::fromRemoteName(ShareA);
    const SmbLogon logon {QString(), m_samba.user('a'), m_samba.password('a')};
    QCOMPARE(checker.check(share, logon, silent.serverPort(), std::chrono::milliseconds(1500)), ERROR_BAD_NETPATH);
    QCOMPARE(checker.check(share, logon, m_samba.port(), std::chrono::seconds(10)), NO_ERROR);
}

void TestLinuxWnet::refusesAProviderThatFails()
{
    QTemporaryDir programs;
    LinuxWnet::Settings faulty = settings(m_samba.port(), std::chrono::milliseconds(3000));
    faulty.environment.insert(QStringLiteral("PATH"), programs.path());
    LinuxWnet withoutRclone(faulty);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("rclone is missing")));
    QCOMPARE(connectAs(withoutRclone, m_samba, "Q:", ShareA), ERROR_BAD_PROVIDER);

    // An rclone that mounts another share than the one asked for: its mount is not the drive, and goes.
    const QString fake = programs.filePath(QStringLiteral("rclone"));
    const QString rclone = Subprocess::findProgram(QStringLiteral("rclone"), QProcessEnvironment::systemEnvironment());
    QVERIFY(
        SlotBytes::writeFile(fake, "#!/bin/sh\nexec " + rclone.toUtf8() + " \"$@\" --devname //127.0.0.1/elsewhere\n"));
    QVERIFY(QFile::setPermissions(fake, QFile::ReadOwner | QFile::ExeOwner));
    faulty.environment.insert(QStringLiteral("PATH"), programs.path() + u':' + qEnvironmentVariable("PATH"));
    LinuxWnet elsewhere(faulty);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no mount after 3000 ms")));
    QCOMPARE(connectAs(elsewhere, m_samba, "Q:", ShareA), ERROR_EXTENDED_ERROR);
    QCOMPARE(m_wnet->GetDriveTypeA("Q:\\"), DRIVE_NO_ROOT_DIR);
    QVERIFY(!QFileInfo::exists(letterFolder('Q')));
}

QTEST_GUILESS_MAIN(TestLinuxWnet)
#include "tst_linuxwnet.moc"
