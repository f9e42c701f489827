// The Linux networking layer against a real Samba server on loopback, through real FUSE mounts.
#include "net/GetError.h"
#include "platform/LinuxWnet.h"
#include "platform/MountTable.h"
#include "platform/SmbProbe.h"
#include "platform/Subprocess.h"
#include "support/SambaTestbed.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/stat.h>
#include <sys/syscall.h>
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

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every process's command line and every file under folder that others may read, searched for text.
QStringList placesHolding(const QByteArray& text, const QString& folder)
{
    QStringList found;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (pid.toInt() > 0 && readAll(QStringLiteral("/proc/%1/cmdline").arg(pid)).contains(text))
            found << QStringLiteral("/proc/%1/cmdline").arg(pid);
    }
    QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        struct stat status;
        if (lstat(QFile::encodeName(path).constData(), &status) == 0 && (status.st_mode & S_IROTH)
            && readAll(path).contains(text))
            found << path;
    }
    return found;
}

// The rclone process that serves the mount on mountPoint.
pid_t rcloneServing(const QString& mountPoint)
{
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QList<QByteArray> arguments = readAll(QStringLiteral("/proc/%1/cmdline").arg(pid)).split('\0');
        if (arguments.size() > 3 && arguments[0].endsWith("rclone")
            && arguments.contains(QFile::encodeName(mountPoint)))
            return pid_t(pid.toInt());
    }
    return 0;
}

// Children of this process: those that run program, or those that have ended and wait to be collected.
QList<pid_t> childProcesses(const QString& program, bool ended = false)
{
    QList<pid_t> found;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        // pid (name) state ppid ...: the name may hold spaces, the fields after its ")" do not.
        const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 2 || fields[1].toInt() != getpid())
            continue;
        if (ended ? fields[0] == "Z" : QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() == program)
            found << pid_t(pid.toInt());
    }
    return found;
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
    void takesTheRemoteNameLiterally();
    void answersPromptlyWhenTheServerDies();
    void collectsTheProgramsItStarts();
    void boundsTheWaitForASilentServer();
    void reportsAMissingProvider();

private:
    LinuxWnet::Settings settings(quint16 port) const;
    QString letterFolder(char letter) const { return m_drives.filePath(QString(QLatin1Char(letter))); }

    SambaTestbed m_samba;
    QTemporaryDir m_drives;
    std::unique_ptr<LinuxWnet> m_wnet;
};

LinuxWnet::Settings TestLinuxWnet::settings(quint16 port) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SHAREMOUNT_DRIVES"), m_drives.path());
    environment.insert(QStringLiteral("SHAREMOUNT_SMB_PORT"), QString::number(port));
    LinuxWnet::Settings settings = LinuxWnet::settingsFrom(environment);
    settings.probeProgram = QStringLiteral(SMBPROBE_PATH);
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

    // Written through the drive, the file lands on the server; written on the server, it shows on the drive.
    QVERIFY(writeAll(letterFolder('F') + QStringLiteral("/report.txt"), "written through the drive"));
    QTRY_COMPARE(readAll(m_samba.shareFolder('a') + QStringLiteral("/report.txt")),
                 QByteArray("written through the drive"));
    QVERIFY(writeAll(m_samba.shareFolder('a') + QStringLiteral("/notes.txt"), "written on the server"));
    QTRY_COMPARE(readAll(letterFolder('F') + QStringLiteral("/notes.txt")), QByteArray("written on the server"));

    // The password is in no command line and in no file that others may read; rclone has it from its
    // environment, which only its owner can read, and in no form on its command line.
    const QByteArray password = m_samba.password('a').toUtf8();
    QCOMPARE(placesHolding(password, QDir::homePath()), QStringList());
    QCOMPARE(placesHolding(password, m_drives.path()), QStringList());
    const pid_t rclone = rcloneServing(QDir(letterFolder('F')).canonicalPath());
    QVERIFY(rclone > 0);
    const QByteArray commandLine = readAll(QStringLiteral("/proc/%1/cmdline").arg(rclone));
    QVERIFY2(!commandLine.contains("pass") && !commandLine.contains("PASS"), commandLine.constData());
    const QByteArray variable = "RCLONE_SMB_PASS=";
    for (const QByteArray& entry : readAll(QStringLiteral("/proc/%1/environ").arg(rclone)).split('\0')) {
        if (entry.startsWith(variable))
            QCOMPARE(reveal(entry.mid(variable.size())), m_samba.password('a'));
    }

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
    QVERIFY(writeAll(letterFolder('I'), "a file where a folder would be"));
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("I:\\")), DRIVE_FIXED);
    QVERIFY(QDir().mkpath(letterFolder('J')));
    QVERIFY(writeAll(letterFolder('J') + QStringLiteral("/keep.txt"), "local files"));
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("J:\\")), DRIVE_FIXED);
    QVERIFY(QFile::link(QDir::tempPath(), letterFolder('K')));
    QCOMPARE(m_wnet->GetDriveTypeA(QStringLiteral("K:\\")), DRIVE_FIXED);
    for (const char* name : {"J:", "j:", "K:", "I:"}) {
        QCOMPARE(m_wnet->WNetAddConnection2A(resource(QString::fromLatin1(name), remote(QStringLiteral("sharea"))),
                                             m_samba.password('a'), m_samba.user('a'), 0),
                 ERROR_ALREADY_ASSIGNED);
    }
    QCOMPARE(readAll(letterFolder('J') + QStringLiteral("/keep.txt")), QByteArray("local files"));

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
    QProcess obscure;
    obscure.start(QStringLiteral("rclone"), {QStringLiteral("obscure"), QStringLiteral("-")});
    obscure.write(m_samba.password('b').toUtf8());
    obscure.closeWriteChannel();
    QVERIFY(obscure.waitForFinished());
    environment.insert(QStringLiteral("RCLONE_SMB_PASS"), QString::fromUtf8(obscure.readAllStandardOutput().trimmed()));
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

void TestLinuxWnet::takesTheRemoteNameLiterally()
{
    // Commas, quotes, equals signs and spaces in a folder's name reach the server as they stand: none of them
    // becomes an option of rclone or of the mount (",ro" would make the drive read-only).
    const QString odd = QStringLiteral("odd, name 'y'=x,ro");
    QVERIFY(QDir().mkpath(m_samba.shareFolder('a') + u'/' + odd));
    QVERIFY(writeAll(m_samba.shareFolder('a') + u'/' + odd + QStringLiteral("/marker.txt"), "inside"));
    QProcess::execute(QStringLiteral("chown"),
                      {QStringLiteral("-R"), QStringLiteral("60001:60000"), m_samba.shareFolder('a')});
    const QString remoteName = remote(QStringLiteral("sharea\\")) + odd;

    QCOMPARE(m_wnet->WNetAddConnection2A(resource(QStringLiteral("O:"), remoteName), m_samba.password('a'),
                                         m_samba.user('a'), 0),
             NO_ERROR);
    QCOMPARE(readAll(letterFolder('O') + QStringLiteral("/marker.txt")), QByteArray("inside"));
    QVERIFY(writeAll(letterFolder('O') + QStringLiteral("/saved.txt"), "writable"));
    QString name;
    quint32 length = Wnet::RemoteNameBufferLength;
    QCOMPARE(m_wnet->WNetGetConnectionA(QStringLiteral("O:"), name, length), NO_ERROR);
    QCOMPARE(name, remoteName);

    // Colons and double quotes cannot stand in SMB names: no such folder, whatever follows them.
    for (const char* folder : {"\\x:y", "\\say \"hi\""}) {
        QCOMPARE(
            m_wnet->WNetAddConnection2A(
                resource(QStringLiteral("P:"), remote(QStringLiteral("sharea")) + QString::fromLatin1(folder).mid(1)),
                m_samba.password('a'), m_samba.user('a'), 0),
            ERROR_BAD_NET_NAME);
    }
}

void TestLinuxWnet::answersPromptlyWhenTheServerDies()
{
    QTemporaryDir dir;
    // smbd serves the shares as their users, who must be able to reach them.
    QVERIFY(QFile::setPermissions(
        dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    const QString testbedDir = dir.filePath(QStringLiteral("samba"));
    QVERIFY(SambaTestbed::run(QStringLiteral("start"), testbedDir));
    auto stopServer = qScopeGuard([&] { SambaTestbed::run(QStringLiteral("stop"), testbedDir); });
    const SambaTestbed doomed = SambaTestbed::at(testbedDir);
    LinuxWnet wnet(settings(doomed.port()));
    QCOMPARE(wnet.WNetAddConnection2A(resource(QStringLiteral("P:"), remote(QStringLiteral("sharea"))),
                                      doomed.password('a'), doomed.user('a'), 0),
             NO_ERROR);

    // The server goes, and the mount's own process stops answering: anything that looked into the mount
    // would hang now.
    stopServer.dismiss();
    QVERIFY(SambaTestbed::run(QStringLiteral("stop"), testbedDir));
    const pid_t rclone = rcloneServing(QDir(letterFolder('P')).canonicalPath());
    QVERIFY(rclone > 0);
    const UniqueFd stopped = Subprocess::openProcess(rclone);
    QCOMPARE(kill(rclone, SIGSTOP), 0);
    // Ended before wnet goes, which collects it.
    const auto end = qScopeGuard([&stopped] {
        syscall(SYS_pidfd_send_signal, stopped.get(), SIGKILL, nullptr, 0);
        Subprocess::waitForEnd(stopped.get(), std::chrono::seconds(5));
    });

    // Hanging would be the fault here, so each answer gets a generous bound, not a speed target.
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(wnet.GetDriveTypeA(QStringLiteral("P:\\")), DRIVE_REMOTE);
    QString name;
    quint32 length = Wnet::RemoteNameBufferLength;
    QCOMPARE(wnet.WNetGetConnectionA(QStringLiteral("P:"), name, length), NO_ERROR);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QStringLiteral("listing took %1 ms").arg(clock.elapsed())));
    clock.start();
    QCOMPARE(wnet.WNetCancelConnection2A(QStringLiteral("P:"), Wnet::CONNECT_UPDATE_PROFILE, false), NO_ERROR);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QStringLiteral("cancel took %1 ms").arg(clock.elapsed())));
    QCOMPARE(wnet.GetDriveTypeA(QStringLiteral("P:\\")), DRIVE_NO_ROOT_DIR);
}

void TestLinuxWnet::collectsTheProgramsItStarts()
{
    const NETRESOURCE drive = resource(QStringLiteral("U:"), remote(QStringLiteral("sharea")));
    {
        // Under a parent that ignores SIGCHLD the kernel collects the children: their ends are still seen.
        std::signal(SIGCHLD, SIG_IGN);
        const auto restore = qScopeGuard([] { std::signal(SIGCHLD, SIG_DFL); });
        QCOMPARE(m_wnet->WNetAddConnection2A(drive, m_samba.password('a'), m_samba.user('a'), 0), NO_ERROR);
        QVERIFY(writeAll(letterFolder('U') + QStringLiteral("/kept.txt"), "kept"));
        QCOMPARE(m_wnet->WNetCancelConnection2A(QStringLiteral("U:"), Wnet::CONNECT_UPDATE_PROFILE, false), NO_ERROR);
        QVERIFY(!QFileInfo::exists(letterFolder('U')));
    }

    // A mount taken down from outside ends its rclone, which is collected then, not at the next call.
    QCOMPARE(m_wnet->WNetAddConnection2A(drive, m_samba.password('a'), m_samba.user('a'), 0), NO_ERROR);
    QCOMPARE(QProcess::execute(QStringLiteral("fusermount3"), {QStringLiteral("-u"), letterFolder('U')}), 0);
    QTRY_VERIFY(rcloneServing(QDir(letterFolder('U')).canonicalPath()) == 0);
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

void TestLinuxWnet::reportsAMissingProvider()
{
    LinuxWnet::Settings noRclone = settings(m_samba.port());
    noRclone.environment.insert(QStringLiteral("PATH"), m_drives.path());
    LinuxWnet wnet(noRclone);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("rclone is missing")));
    QCOMPARE(wnet.WNetAddConnection2A(resource(QStringLiteral("Q:"), remote(QStringLiteral("sharea"))),
                                      m_samba.password('a'), m_samba.user('a'), 0),
             ERROR_BAD_PROVIDER);
    QCOMPARE(GetErrorText(ERROR_BAD_PROVIDER), QStringLiteral("Bad Provider"));
}

QTEST_GUILESS_MAIN(TestLinuxWnet)
#include "tst_linuxwnet.moc"
