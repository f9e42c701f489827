// The Linux networking layer against a real Samba server on loopback, through real FUSE mounts.
#include "net/GetError.h"
#include "platform/LinuxWnet.h"
#include "platform/MountTable.h"
#include "platform/RcloneMount.h"
#include "platform/SmbProbe.h"
#include "platform/Subprocess.h"
#include "support/SambaTestbed.h"
#include "support/SlotBytes.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSet>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <memory>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

NETRESOURCE resource(const QString& localName, const QString& remoteName)
{
    NETRESOURCE net;
    net.lpLocalName = localName;
    net.lpRemoteName = remoteName;
    return net;
}

QString remote(const QString& share)
{
    return QStringLiteral("\\\\127.0.0.1\\") + share;
}

// Every process's command line and every file under folder that others may read, searched for text.
QStringList placesHolding(const QByteArray& text, const QString& folder)
{
    QStringList found;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (pid.toInt() > 0 && SlotBytes::readFile(QStringLiteral("/proc/%1/cmdline").arg(pid)).contains(text))
            found << QStringLiteral("/proc/%1/cmdline").arg(pid);
    }
    QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        struct stat status;
        if (lstat(QFile::encodeName(path).constData(), &status) == 0 && (status.st_mode & S_IROTH)
            && SlotBytes::readFile(path).contains(text))
            found << path;
    }
    return found;
}

// The rclone processes that serve, or served, the mount on mountPoint.
QList<pid_t> rclonesServing(const QString& mountPoint)
{
    QList<pid_t> found;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QList<QByteArray> arguments
            = SlotBytes::readFile(QStringLiteral("/proc/%1/cmdline").arg(pid)).split('\0');
        if (arguments.size() > 3 && arguments[0].endsWith("rclone")
            && arguments.contains(QFile::encodeName(mountPoint)))
            found << pid_t(pid.toInt());
    }
    return found;
}

// Children of this process: those that run program, or those that have ended and wait to be collected.
QList<pid_t> childProcesses(const QString& program, bool ended = false)
{
    QList<pid_t> found;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        // pid (name) state ppid ...: the name may hold spaces, the fields after its ")" do not.
        const QByteArray stat = SlotBytes::readFile(QStringLiteral("/proc/%1/stat").arg(pid));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 2 || fields[1].toInt() != getpid())
            continue;
        if (ended ? fields[0] == "Z" : QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() == program)
            found << pid_t(pid.toInt());
    }
    return found;
}

QByteArray sha256(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
}

QString reveal(const QByteArray& obscured)
{
    QProcess rclone;
    rclone.start(QStringLiteral("rclone"),
                 {QStringLiteral("reveal"), QStringLiteral("--"), QString::fromLatin1(obscured)});
    rclone.waitForFinished();
    return QString::fromUtf8(rclone.readAllStandardOutput()).chopped(1);
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
    void asksBeforeDroppingABusyDrive();
    void namesAndDropsMountsMadeElsewhere();
    void takesTheRemoteNameLiterally_data();
    void takesTheRemoteNameLiterally();
    void sendsEverySavedFileBeforeTheDriveGoes();
    void keepsWhatAServerThatStoppedDidNotGet();
    void givesALetterToOneConnectAtATime();
    void collectsTheProgramsItStarts();
    void boundsTheWaitForASilentServer();
    void refusesAProviderThatFails();

private:
    LinuxWnet::Settings settings(quint16 port) const;
    QString letterFolder(char letter) const { return m_drives.filePath(QString(QLatin1Char(letter))); }
    QString letterCache(char letter) const { return m_cache.filePath(QStringLiteral("rclone-") + QLatin1Char(letter)); }

    SambaTestbed m_samba;
    QTemporaryDir m_drives;
    QTemporaryDir m_cache;
    std::unique_ptr<LinuxWnet> m_wnet;
};

LinuxWnet::Settings TestLinuxWnet::settings(quint16 port) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SHAREMOUNT_DRIVES"), m_drives.path());
    environment.insert(QStringLiteral("SHAREMOUNT_SMB_PORT"), QString::number(port));
    LinuxWnet::Settings settings = LinuxWnet::settingsFrom(environment);
    settings.probeProgram = QStringLiteral(SMBPROBE_PATH);
    // A run's own, so that no earlier run's unsent files reach this run's servers.
    settings.cacheFolder = m_cache.path();
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
        m_wnet->WNetCancelConnection2A(QStringLiteral("%1:").arg(QLatin1Char(letter)), Wnet::CONNECT_UPDATE_PROFILE,
                                       true);
}

void TestLinuxWnet::connectsAndCarriesFiles()
{
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("F:\\")), DRIVE_NO_ROOT_DIR);
    QCOMPARE(m_wnet->WNetAddConnection2A(resource(QStringLiteral("F:"), remote(QStringLiteral("sharea"))),
                                         m_samba.password('a'), m_samba.user('a'), 0),
             NO_ERROR);

    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("F:\\")), DRIVE_REMOTE);
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("f:\\")), DRIVE_REMOTE);
    QString name;
    quint32 length = Wnet::RemoteNameBufferLength;
    QCOMPARE(m_wnet->WNetGetConnectionA(QStringLiteral("F:"), name, length), NO_ERROR);
    QCOMPARE(name, remote(QStringLiteral("sharea")));

    // Written on the server, a file shows on the drive (the other way is for the tests of uploads and names).
    QVERIFY(SlotBytes::writeFile(m_samba.shareFolder('a') + QStringLiteral("/notes.txt"), "written on the server"));
    QTRY_COMPARE(SlotBytes::readFile(letterFolder('F') + QStringLiteral("/notes.txt")),
                 QByteArray("written on the server"));

    // The password is in no command line and in no file that others may read. rclone has it, obscured, from a
    // configuration in memory that only it holds and only its owner can open.
    const QByteArray password = m_samba.password('a').toUtf8();
    QCOMPARE(placesHolding(password, QDir::homePath()), QStringList());
    QCOMPARE(placesHolding(password, m_drives.path()), QStringList());
    QCOMPARE(placesHolding(password, m_cache.path()), QStringList());
    const pid_t rclone = rclonesServing(QDir(letterFolder('F')).canonicalPath()).value(0);
    QVERIFY(rclone > 0);
    const QByteArray commandLine = SlotBytes::readFile(QStringLiteral("/proc/%1/cmdline").arg(rclone));
    QVERIFY2(!commandLine.contains("pass") && !commandLine.contains("PASS"), commandLine.constData());
    QVERIFY(!SlotBytes::readFile(QStringLiteral("/proc/%1/environ").arg(rclone)).contains("RCLONE_"));
    const QByteArray configuration = SlotBytes::readFile(QStringLiteral("/proc/%1/fd/3").arg(rclone));
    const qsizetype pass = configuration.indexOf("\npass = ") + 8;
    QVERIFY(pass > 8);
    QCOMPARE(reveal(configuration.mid(pass, configuration.indexOf('\n', pass) - pass)), m_samba.password('a'));

    QCOMPARE(m_wnet->WNetCancelConnection2A(QStringLiteral("F:"), Wnet::CONNECT_UPDATE_PROFILE, false), NO_ERROR);
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("F:\\")), DRIVE_NO_ROOT_DIR);
    QVERIFY(!QFileInfo::exists(letterFolder('F')));
    QCOMPARE(m_wnet->WNetCancelConnection2A(QStringLiteral("F:"), Wnet::CONNECT_UPDATE_PROFILE, false),
             ERROR_NOT_CONNECTED);
    QCOMPARE(m_wnet->WNetGetConnectionA(QStringLiteral("F:"), name, length), ERROR_NOT_CONNECTED);
}

void TestLinuxWnet::refusesWithTheCodeThatSaysWhy_data()
{
    QTest::addColumn<QString>("localName");
    QTest::addColumn<QString>("remoteName");
    QTest::addColumn<char>("user");
    QTest::addColumn<bool>("rightPassword");
    QTest::addColumn<int>("expected");

    const QString sharea = remote(QStringLiteral("sharea"));
    QTest::newRow("wrong password") << "G:" << sharea << 'a' << false << int(ERROR_INVALID_PASSWORD);
    QTest::newRow("another user's share")
        << "G:" << remote(QStringLiteral("shareb")) << 'a' << true << int(ERROR_ACCESS_DENIED);
    QTest::newRow("disabled account") << "G:" << sharea << 'c' << true << int(ERROR_ACCOUNT_DISABLED);
    QTest::newRow("no such share") << "G:" << remote(QStringLiteral("nosuch")) << 'a' << true
                                   << int(ERROR_BAD_NET_NAME);
    QTest::newRow("no such folder") << "G:" << sharea + QStringLiteral("\\missing") << 'a' << true
                                    << int(ERROR_BAD_NET_NAME);
    QTest::newRow("no such host") << "G:" << QStringLiteral("\\\\no-such-host.invalid\\sharea") << 'a' << true
                                  << int(ERROR_BAD_NETPATH);
    QTest::newRow("forward slashes") << "G:" << QStringLiteral("//127.0.0.1/sharea") << 'a' << true
                                     << int(ERROR_BAD_NET_NAME);
    QTest::newRow("no share") << "G:" << QStringLiteral("\\\\127.0.0.1") << 'a' << true << int(ERROR_BAD_NET_NAME);
    QTest::newRow("out of the share") << "G:" << sharea + QStringLiteral("\\..\\..\\shareb") << 'a' << true
                                      << int(ERROR_BAD_NET_NAME);
    QTest::newRow("option as server") << "G:" << QStringLiteral("\\\\-o\\sharea") << 'a' << true
                                      << int(ERROR_BAD_NET_NAME);
    // Colons and double quotes cannot stand in SMB names: no such folder, whatever follows them.
    QTest::newRow("colon") << "G:" << sharea + QStringLiteral("\\x:y") << 'a' << true << int(ERROR_BAD_NET_NAME);
    QTest::newRow("quotes") << "G:" << sharea + QStringLiteral("\\say \"hi\"") << 'a' << true
                            << int(ERROR_BAD_NET_NAME);
    QTest::newRow("no colon") << "G" << sharea << 'a' << true << int(ERROR_BAD_DEVICE);
    QTest::newRow("root path") << "G:\\" << sharea << 'a' << true << int(ERROR_BAD_DEVICE);
    QTest::newRow("after Z") << "[:" << sharea << 'a' << true << int(ERROR_BAD_DEVICE);
    QTest::newRow("empty") << "" << sharea << 'a' << true << int(ERROR_BAD_DEVICE);
}

void TestLinuxWnet::refusesWithTheCodeThatSaysWhy()
{
    QFETCH(QString, localName);
    QFETCH(QString, remoteName);
    QFETCH(char, user);
    QFETCH(bool, rightPassword);
    QFETCH(int, expected);

    const QString password = rightPassword ? m_samba.password(user) : QStringLiteral("not the password");
    QCOMPARE(m_wnet->WNetAddConnection2A(resource(localName, remoteName), password, m_samba.user(user), 0), expected);
    // Nothing is left behind: the letter is still free and has no folder.
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("G:\\")), DRIVE_NO_ROOT_DIR);
    QVERIFY(!QFileInfo::exists(letterFolder('G')));
}

void TestLinuxWnet::tellsFreeLettersFromTakenOnes()
{
    // A refused port, then the letters by what sits in their folders.
    LinuxWnet closed(settings(1));
    QCOMPARE(closed.WNetAddConnection2A(resource(QStringLiteral("H:"), remote(QStringLiteral("sharea"))),
                                        m_samba.password('a'), m_samba.user('a'), 0),
             ERROR_BAD_NETPATH);

    QVERIFY(QDir().mkpath(letterFolder('H')));
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("H:\\")), DRIVE_NO_ROOT_DIR);
    QVERIFY(SlotBytes::writeFile(letterFolder('I'), "a file where a folder would be"));
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("I:\\")), DRIVE_FIXED);
    QVERIFY(QDir().mkpath(letterFolder('J')));
    QVERIFY(SlotBytes::writeFile(letterFolder('J') + QStringLiteral("/keep.txt"), "local files"));
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("J:\\")), DRIVE_FIXED);
    QVERIFY(QFile::link(QDir::tempPath(), letterFolder('K')));
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("K:\\")), DRIVE_FIXED);
    for (const char* name : {"J:", "j:", "K:", "I:"}) {
        QCOMPARE(m_wnet->WNetAddConnection2A(resource(QString::fromLatin1(name), remote(QStringLiteral("sharea"))),
                                             m_samba.password('a'), m_samba.user('a'), 0),
                 ERROR_ALREADY_ASSIGNED);
    }
    QCOMPARE(SlotBytes::readFile(letterFolder('J') + QStringLiteral("/keep.txt")), QByteArray("local files"));

    // A local file system mounted on a letter is a local drive, and is not the layer's to drop.
    QVERIFY(QDir().mkpath(letterFolder('L')));
    QCOMPARE(QProcess::execute(
                 QStringLiteral("mount"),
                 {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("sharemount-test"), letterFolder('L')}),
             0);
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("L:\\")), DRIVE_FIXED);
    QCOMPARE(m_wnet->WNetCancelConnection2A(QStringLiteral("L:"), Wnet::CONNECT_UPDATE_PROFILE, true),
             ERROR_NOT_CONNECTED);
    QCOMPARE(QProcess::execute(QStringLiteral("umount"), {letterFolder('L')}), 0);

    // The letter an empty folder stands for connects.
    QCOMPARE(m_wnet->WNetAddConnection2A(resource(QStringLiteral("h:"), remote(QStringLiteral("sharea"))),
                                         m_samba.password('a'), m_samba.user('a'), 0),
             NO_ERROR);
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("H:\\")), DRIVE_REMOTE);
    for (const char* name : {"", "H", "H:/", "[:\\", "@:\\", "HH:\\", "1:\\"})
        QCOMPARE(m_wnet->GetDriveTypeA(QString::fromLatin1(name)), DRIVE_NO_ROOT_DIR);
}

void TestLinuxWnet::asksBeforeDroppingABusyDrive()
{
    QCOMPARE(m_wnet->WNetAddConnection2A(resource(QStringLiteral("M:"), remote(QStringLiteral("shareb"))),
                                         m_samba.password('b'), m_samba.user('b'), 0),
             NO_ERROR);
    QFile open(letterFolder('M') + QStringLiteral("/open.txt"));
    QVERIFY(open.open(QIODevice::WriteOnly));
    QCOMPARE(m_wnet->WNetCancelConnection2A(QStringLiteral("M:"), Wnet::CONNECT_UPDATE_PROFILE, false),
             ERROR_DEVICE_IN_USE);
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("M:\\")), DRIVE_REMOTE);
    QCOMPARE(m_wnet->WNetCancelConnection2A(QStringLiteral("M:"), Wnet::CONNECT_UPDATE_PROFILE, true), NO_ERROR);
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("M:\\")), DRIVE_NO_ROOT_DIR);
    QVERIFY(!QFileInfo::exists(letterFolder('M')));
    open.close();
}

void TestLinuxWnet::namesAndDropsMountsMadeElsewhere()
{
    // Mounted by hand, as a user might: the layer lists, names and drops it like its own.
    QVERIFY(QDir().mkpath(letterFolder('N')));
    QProcess rclone;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("RCLONE_SMB_HOST"), QStringLiteral("127.0.0.1"));
    environment.insert(QStringLiteral("RCLONE_SMB_PORT"), QString::number(m_samba.port()));
    environment.insert(QStringLiteral("RCLONE_SMB_USER"), m_samba.user('b'));
    environment.insert(QStringLiteral("RCLONE_SMB_PASS"),
                       QString::fromLatin1(RcloneMount::obscure(m_samba.password('b'))));
    rclone.setProcessEnvironment(environment);
    rclone.start(QStringLiteral("rclone"),
                 {QStringLiteral("mount"), QStringLiteral(":smb:shareb"), letterFolder('N'),
                  QStringLiteral("--devname"), QStringLiteral("//127.0.0.1/shareb"), QStringLiteral("--daemon")});
    QVERIFY(rclone.waitForFinished(20000));
    QCOMPARE(rclone.exitCode(), 0);

    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("N:\\")), DRIVE_REMOTE);
    QString name;
    quint32 length = Wnet::RemoteNameBufferLength;
    QCOMPARE(m_wnet->WNetGetConnectionA(QStringLiteral("n:"), name, length), NO_ERROR);
    QCOMPARE(name, remote(QStringLiteral("shareb")));
    // A buffer too small for the name is told the length it needs.
    quint32 small = 5;
    QCOMPARE(m_wnet->WNetGetConnectionA(QStringLiteral("N:"), name, small), ERROR_MORE_DATA);
    QCOMPARE(small, quint32(remote(QStringLiteral("shareb")).size() + 1));
    QCOMPARE(m_wnet->WNetCancelConnection2A(QStringLiteral("N:"), Wnet::CONNECT_UPDATE_PROFILE, false), NO_ERROR);
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("N:\\")), DRIVE_NO_ROOT_DIR);
}

void TestLinuxWnet::takesTheRemoteNameLiterally_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("share root") << QString();
    // Commas, quotes, equals signs and spaces become no option of rclone or of the mount (",ro" would make the
    // drive read-only).
    QTest::newRow("option text") << QStringLiteral("odd, name 'y'=x,ro");
    // rclone's default encoding would mount full-width look-alikes of these: another, empty folder.
    QTest::newRow("trailing period") << QStringLiteral("Acme Inc.");
    QTest::newRow("trailing space") << QStringLiteral("Old Files \\2024");
}

void TestLinuxWnet::takesTheRemoteNameLiterally()
{
    QFETCH(QString, folder);
    const QString shareFolder = m_samba.shareFolder('a');
    const QString serverFolder = shareFolder + u'/' + QString(folder).replace(u'\\', u'/');
    QVERIFY(QDir().mkpath(serverFolder));
    QVERIFY(SlotBytes::writeFile(serverFolder + QStringLiteral("/marker.txt"), "inside"));
    QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("60001:60000"), shareFolder});
    const QString remoteName = remote(QStringLiteral("sharea")) + (folder.isEmpty() ? QString() : u'\\' + folder);

    QCOMPARE(m_wnet->WNetAddConnection2A(resource(QStringLiteral("O:"), remoteName), m_samba.password('a'),
                                         m_samba.user('a'), 0),
             NO_ERROR);
    QCOMPARE(SlotBytes::readFile(letterFolder('O') + QStringLiteral("/marker.txt")), QByteArray("inside"));
    // Windows reserves ":" and "?": the server takes such a file under full-width look-alikes of them.
    const QStringList saved {QStringLiteral("saved.txt"), QStringLiteral("draft."), QStringLiteral("a:b?.txt")};
    for (const QString& name : saved)
        QVERIFY(SlotBytes::writeFile(letterFolder('O') + u'/' + name, "written through the drive"));
    QString name;
    quint32 length = Wnet::RemoteNameBufferLength;
    QCOMPARE(m_wnet->WNetGetConnectionA(QStringLiteral("O:"), name, length), NO_ERROR);
    QCOMPARE(name, remoteName);
    QCOMPARE(m_wnet->WNetCancelConnection2A(QStringLiteral("O:"), Wnet::CONNECT_UPDATE_PROFILE, false), NO_ERROR);

    // The files are where the user saved them, and no look-alike of a period or a space has appeared.
    for (const QString& file : {saved[0], saved[1], QStringLiteral("a\uFF1Ab\uFF1F.txt")})
        QCOMPARE(SlotBytes::readFile(serverFolder + u'/' + file), QByteArray("written through the drive"));
    QDirIterator entries(shareFolder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QString entry = entries.next();
        QVERIFY2(!entry.contains(u'\uFF0E') && !entry.contains(u'\u2420'), qPrintable(entry));
    }

    // A folder whose name holds such a look-alike would be mounted as another folder: it is refused.
    QVERIFY(QDir().mkpath(shareFolder + QStringLiteral("/x\uFF1Ay")));
    QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("60001:60000"), shareFolder});
    QCOMPARE(m_wnet->WNetAddConnection2A(resource(QStringLiteral("O:"), remote(QStringLiteral("sharea\\x\uFF1Ay"))),
                                         m_samba.password('a'), m_samba.user('a'), 0),
             ERROR_BAD_NET_NAME);
}

void TestLinuxWnet::sendsEverySavedFileBeforeTheDriveGoes()
{
    // An earlier run's messages stay in the drive's log, within its bound.
    const QString log = letterCache('S') + QStringLiteral(".log");
    QVERIFY(SlotBytes::writeFile(log, QByteArray(3 << 20, '.') + "\nthe last line of an earlier run\n"));
    QCOMPARE(m_wnet->WNetAddConnection2A(resource(QStringLiteral("S:"), remote(QStringLiteral("sharea"))),
                                         m_samba.password('a'), m_samba.user('a'), 0),
             NO_ERROR);
    // Big enough that its upload is still under way when the unmount is done.
    QByteArray contents(64 << 20, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(contents.data()), contents.size() / 4);
    QVERIFY(SlotBytes::writeFile(letterFolder('S') + QStringLiteral("/large.bin"), contents));

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
    const auto stopThrottling = [&] {
        slow = false;
        if (throttle.joinable())
            throttle.join();
    };
    const auto fast = qScopeGuard(stopThrottling);
    LinuxWnet::Settings shortWait = settings(m_samba.port());
    shortWait.limit = std::chrono::milliseconds(1000);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(LinuxWnet(shortWait).WNetCancelConnection2A(QStringLiteral("S:"), Wnet::CONNECT_UPDATE_PROFILE, false),
             NO_ERROR);
    QVERIFY2(clock.elapsed() > 1000, qPrintable(QStringLiteral("the upload took only %1 ms").arg(clock.elapsed())));
    stopThrottling();
    // The answer came once the server had the file whole: its size at once, before a slow read could race the
    // upload, then its contents.
    const QString onServer = m_samba.shareFolder('a') + QStringLiteral("/large.bin");
    QCOMPARE(QFileInfo(onServer).size(), contents.size());
    QCOMPARE(sha256(onServer), QCryptographicHash::hash(contents, QCryptographicHash::Sha256));

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
    QTemporaryDir dir;
    // smbd serves the shares as their users, who must be able to reach them.
    QVERIFY(QFile::setPermissions(
        dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    const QString testbedDir = dir.filePath(QStringLiteral("samba"));
    QVERIFY(SambaTestbed::run(QStringLiteral("start"), testbedDir));
    const SambaTestbed server = SambaTestbed::at(testbedDir);
    const auto stopServer = qScopeGuard([&] {
        server.signal(SIGCONT);
        SambaTestbed::run(QStringLiteral("stop"), testbedDir);
    });
    LinuxWnet wnet(settings(server.port()));
    // The disconnects give up on a server that has stopped answering sooner than the layer would.
    LinuxWnet::Settings shortWait = settings(server.port());
    shortWait.limit = std::chrono::milliseconds(2000);
    LinuxWnet impatient(shortWait);
    const NETRESOURCE drive = resource(QStringLiteral("P:"), remote(QStringLiteral("sharea")));
    // A file saved once the server has stopped answering: its upload cannot get through.
    const auto saveWhileStopped = [&](const QString& name, const QByteArray& contents) {
        QFile saved(letterFolder('P') + u'/' + name);
        const bool written = saved.open(QIODevice::WriteOnly) && saved.write(contents) == contents.size();
        server.signal(SIGSTOP);
        saved.close();
        return written;
    };

    QCOMPARE(wnet.WNetAddConnection2A(drive, server.password('a'), server.user('a'), 0), NO_ERROR);
    const QByteArray report(1 << 20, 'r');
    QVERIFY(saveWhileStopped(QStringLiteral("report.txt"), report));
    // And the mount's own process stops answering: anything that looked into the mount would hang now.
    const pid_t rclone = rclonesServing(QDir(letterFolder('P')).canonicalPath()).value(0);
    QVERIFY(rclone > 0);
    const UniqueFd stopped = Subprocess::openProcess(rclone);
    QCOMPARE(kill(rclone, SIGSTOP), 0);
    const auto endRclone
        = qScopeGuard([&stopped] { syscall(SYS_pidfd_send_signal, stopped.get(), SIGKILL, nullptr, 0); });
    // Hanging would be the fault here, so each answer gets a generous bound, not a speed target.
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(wnet.GetDriveTypeA(QStringLiteral("P:\\")), DRIVE_REMOTE);
    QString name;
    quint32 length = Wnet::RemoteNameBufferLength;
    QCOMPARE(wnet.WNetGetConnectionA(QStringLiteral("P:"), name, length), NO_ERROR);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QStringLiteral("listing took %1 ms").arg(clock.elapsed())));
    // The disconnect cannot say the file is safe: it says which file is not, within its bound.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("sent nothing for 2000 ms")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("1 file saved on the drive did not")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^ +report.txt$")));
    clock.start();
    QCOMPARE(impatient.WNetCancelConnection2A(QStringLiteral("P:"), Wnet::CONNECT_UPDATE_PROFILE, false),
             ERROR_EXTENDED_ERROR);
    QVERIFY2(clock.elapsed() < 6000, qPrintable(QStringLiteral("cancel took %1 ms").arg(clock.elapsed())));
    QCOMPARE(wnet.GetDriveTypeA(QStringLiteral("P:\\")), DRIVE_NO_ROOT_DIR);

    // Back again, the server gets the file whole from the next mount of its share on the letter.
    QVERIFY(server.signal(SIGCONT));
    QCOMPARE(wnet.WNetAddConnection2A(drive, server.password('a'), server.user('a'), 0), NO_ERROR);
    // A retry of rclone's own may wait for the stopped server's earlier session to let go of the file.
    QTRY_COMPARE_WITH_TIMEOUT(SlotBytes::readFile(server.shareFolder('a') + QStringLiteral("/report.txt")), report,
                              30000);

    // Dropped by force, the drive goes at once, and its rclone goes on trying. Another share can still have the
    // letter: the rclone is ended once it has sent nothing for the layer's limit.
    const QByteArray notes(1 << 20, 'n');
    QVERIFY(saveWhileStopped(QStringLiteral("notes.txt"), notes));
    QCOMPARE(impatient.WNetCancelConnection2A(QStringLiteral("P:"), Wnet::CONNECT_UPDATE_PROFILE, true), NO_ERROR);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("sent nothing for 2000 ms")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("1 file saved on the drive did not")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^ +notes.txt$")));
    LinuxWnet::Settings otherServer = settings(m_samba.port());
    otherServer.limit = shortWait.limit;
    LinuxWnet other(otherServer);
    QCOMPARE(other.WNetAddConnection2A(resource(QStringLiteral("P:"), remote(QStringLiteral("shareb"))),
                                       m_samba.password('b'), m_samba.user('b'), 0),
             NO_ERROR);
    // Two rclones on one cache could spoil it.
    QCOMPARE(rclonesServing(QDir(letterFolder('P')).canonicalPath()).size(), 1);
    QCOMPARE(wnet.WNetCancelConnection2A(QStringLiteral("P:"), Wnet::CONNECT_UPDATE_PROFILE, false), NO_ERROR);
    // What it could not send waited for its share.
    QVERIFY(server.signal(SIGCONT));
    QCOMPARE(wnet.WNetAddConnection2A(drive, server.password('a'), server.user('a'), 0), NO_ERROR);
    QTRY_COMPARE_WITH_TIMEOUT(SlotBytes::readFile(server.shareFolder('a') + QStringLiteral("/notes.txt")), notes,
                              30000);
    QCOMPARE(wnet.WNetCancelConnection2A(QStringLiteral("P:"), Wnet::CONNECT_UPDATE_PROFILE, false), NO_ERROR);

    // Each mount added its messages to the log; none emptied it.
    QCOMPARE(SlotBytes::readFile(letterCache('P') + QStringLiteral(".log")).count("ShareMount: mounting"), 4);
}

void TestLinuxWnet::givesALetterToOneConnectAtATime()
{
    // Two programs connect their shares to the same letter at the same moment, a few times over.
    for (int round = 0; round < 3; ++round) {
        LinuxWnet first(settings(m_samba.port()));
        LinuxWnet second(settings(m_samba.port()));
        qint32 other = -1;
        std::thread racing([&] {
            other = second.WNetAddConnection2A(resource(QStringLiteral("T:"), remote(QStringLiteral("shareb"))),
                                               m_samba.password('b'), m_samba.user('b'), 0);
        });
        const qint32 one = first.WNetAddConnection2A(resource(QStringLiteral("T:"), remote(QStringLiteral("sharea"))),
                                                     m_samba.password('a'), m_samba.user('a'), 0);
        racing.join();
        QCOMPARE(QSet<qint32>({one, other}), QSet<qint32>({NO_ERROR, ERROR_ALREADY_ASSIGNED}));
        // The drive is the share of the connect that was told it had it.
        QString name;
        quint32 length = Wnet::RemoteNameBufferLength;
        QCOMPARE(first.WNetGetConnectionA(QStringLiteral("T:"), name, length), NO_ERROR);
        QCOMPARE(name, remote(one == NO_ERROR ? QStringLiteral("sharea") : QStringLiteral("shareb")));
        QCOMPARE(first.WNetCancelConnection2A(QStringLiteral("T:"), Wnet::CONNECT_UPDATE_PROFILE, false), NO_ERROR);
    }
}

void TestLinuxWnet::collectsTheProgramsItStarts()
{
    const NETRESOURCE drive = resource(QStringLiteral("U:"), remote(QStringLiteral("sharea")));
    {
        // Under a parent that ignores SIGCHLD the kernel collects the children: their ends are still seen.
        std::signal(SIGCHLD, SIG_IGN);
        const auto restore = qScopeGuard([] { std::signal(SIGCHLD, SIG_DFL); });
        QCOMPARE(m_wnet->WNetAddConnection2A(drive, m_samba.password('a'), m_samba.user('a'), 0), NO_ERROR);
        QVERIFY(SlotBytes::writeFile(letterFolder('U') + QStringLiteral("/kept.txt"), "kept"));
        QCOMPARE(m_wnet->WNetCancelConnection2A(QStringLiteral("U:"), Wnet::CONNECT_UPDATE_PROFILE, false), NO_ERROR);
        QVERIFY(!QFileInfo::exists(letterFolder('U')));
    }

    // A mount taken down from outside ends its rclone, which is collected then, not at the next call.
    QCOMPARE(m_wnet->WNetAddConnection2A(drive, m_samba.password('a'), m_samba.user('a'), 0), NO_ERROR);
    QCOMPARE(QProcess::execute(QStringLiteral("fusermount3"), {QStringLiteral("-u"), letterFolder('U')}), 0);
    QTRY_COMPARE(rclonesServing(QDir(letterFolder('U')).canonicalPath()), QList<pid_t>());
    QTRY_COMPARE(childProcesses({}, true), QList<pid_t>());

    // A check helper that has been killed is replaced by the next connect.
    const QList<pid_t> helpers = childProcesses(QStringLiteral(SMBPROBE_PATH));
    QVERIFY(!helpers.isEmpty());
    for (const pid_t helper : helpers)
        QCOMPARE(kill(helper, SIGKILL), 0);
    QCOMPARE(m_wnet->WNetAddConnection2A(drive, m_samba.password('a'), m_samba.user('a'), 0), NO_ERROR);
}

void TestLinuxWnet::boundsTheWaitForASilentServer()
{
    // A server that takes the connection and never says a word.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    LinuxWnet::Settings shortWait = settings(silent.serverPort());
    shortWait.limit = std::chrono::milliseconds(1500);
    LinuxWnet wnet(shortWait);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(wnet.WNetAddConnection2A(resource(QStringLiteral("R:"), remote(QStringLiteral("sharea"))),
                                      m_samba.password('a'), m_samba.user('a'), 0),
             ERROR_BAD_NETPATH);
    QVERIFY2(clock.elapsed() < 6000, qPrintable(QStringLiteral("gave up after %1 ms").arg(clock.elapsed())));
    QVERIFY(!QFileInfo::exists(letterFolder('R')));

    // The check that gave up is not in the way of the next one.
    SmbChecker checker(QStringLiteral(SMBPROBE_PATH));
    const SmbShare share = *SmbShare::fromRemoteName(remote(QStringLiteral("sharea")));
    const SmbLogon logon {QString(), m_samba.user('a'), m_samba.password('a')};
    QCOMPARE(checker.check(share, logon, silent.serverPort(), std::chrono::milliseconds(1500)), ERROR_BAD_NETPATH);
    QCOMPARE(checker.check(share, logon, m_samba.port(), std::chrono::seconds(10)), NO_ERROR);
}

void TestLinuxWnet::refusesAProviderThatFails()
{
    QTemporaryDir programs;
    LinuxWnet::Settings faulty = settings(m_samba.port());
    faulty.environment.insert(QStringLiteral("PATH"), programs.path());
    faulty.limit = std::chrono::milliseconds(3000);
    const NETRESOURCE drive = resource(QStringLiteral("Q:"), remote(QStringLiteral("sharea")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("rclone is missing")));
    QCOMPARE(LinuxWnet(faulty).WNetAddConnection2A(drive, m_samba.password('a'), m_samba.user('a'), 0),
             ERROR_BAD_PROVIDER);
    QCOMPARE(GetErrorText(ERROR_BAD_PROVIDER), QStringLiteral("Bad Provider"));

    // An rclone that mounts another share than the one asked for: its mount is not the drive, and goes.
    const QString fake = programs.filePath(QStringLiteral("rclone"));
    const QString rclone = Subprocess::findProgram(QStringLiteral("rclone"), QProcessEnvironment::systemEnvironment());
    QVERIFY(
        SlotBytes::writeFile(fake, "#!/bin/sh\nexec " + rclone.toUtf8() + " \"$@\" --devname //127.0.0.1/elsewhere\n"));
    QVERIFY(QFile::setPermissions(fake, QFile::ReadOwner | QFile::ExeOwner));
    faulty.environment.insert(QStringLiteral("PATH"), programs.path() + u':' + qEnvironmentVariable("PATH"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no mount after 3000 ms")));
    QCOMPARE(LinuxWnet(faulty).WNetAddConnection2A(drive, m_samba.password('a'), m_samba.user('a'), 0),
             ERROR_EXTENDED_ERROR);
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("Q:\\")), DRIVE_NO_ROOT_DIR);
    QVERIFY(!QFileInfo::exists(letterFolder('Q')));
}

QTEST_GUILESS_MAIN(TestLinuxWnet)
#include "tst_linuxwnet.moc"
