// Drive letters read from a mount table the test writes, remote names taken apart, passwords obscured for rclone,
// the uploads left in a drive's cache, and the codes that have no text.
#include "net/GetError.h"
#include "platform/LinuxWnet.h"
#include "platform/MountTable.h"
#include "platform/RcloneCache.h"
#include "platform/RcloneMount.h"
#include "platform/SmbShare.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// One mountinfo line: a mount of type with source at mountPoint, written as the kernel writes it.
QByteArray mountLine(int id, const QByteArray& mountPoint, const QByteArray& type, const QByteArray& source,
                     const QByteArray& optionalFields = "shared:1")
{
    return QByteArray::number(id) + " 1 0:" + QByteArray::number(id) + " / " + mountPoint + " rw,nosuid,nodev,relatime "
        + optionalFields + " - " + type + ' ' + source + " rw\n";
}

} // namespace

class TestMountTable : public QObject
{
    Q_OBJECT

private slots:
    void parsesTheKernelsFormat();
    void classifiesLettersFromTheTable();
    void takesRemoteNamesApart();
    void obscuresAsRcloneReveals();
    void tellsTheUploadsLeftInTheCache();
    void namesCodesWithoutATextByNumber();
};

void TestMountTable::parsesTheKernelsFormat()
{
    // The fuzz target checks escaping and reading within a folder; these are the fields of lines with no optional
    // field and with two, beside lines that are no mount.
    const QByteArray table = mountLine(21, "/home/ann/Drives/F", "cifs", "//fs/share", "") + "garbage line\n"
        + "23 1 0:23 / /short rw - \n"
        + mountLine(22, "/home/ann/My\\040Drives/G\\134x", "fuse.rclone", "//fs/a\\040b", "shared:3 master:1")
        + mountLine(25, "/home/ann/Drives2/F", "cifs", "//fs/x");
    const QList<Mount> mounts = MountTable::parse(table);
    QCOMPARE(mounts.size(), 3);
    QCOMPARE(mounts[0].mountPoint, QStringLiteral("/home/ann/Drives/F"));
    QCOMPARE(mounts[0].fileSystemType, QStringLiteral("cifs"));
    QCOMPARE(mounts[0].source, QStringLiteral("//fs/share"));
    QCOMPARE(mounts[1].mountPoint, QStringLiteral("/home/ann/My Drives/G\\x"));
    QCOMPARE(mounts[1].source, QStringLiteral("//fs/a b"));
    QVERIFY(MountTable::read(QStringLiteral("/nonexistent/mountinfo")).isEmpty());
    // A folder's namesake is not below it.
    QCOMPARE(MountTable::parse(table, QStringLiteral("/home/ann/Drives")).size(), 1);

    // The last mount on a point is the one in sight.
    const QList<Mount> stacked
        = MountTable::parse(mountLine(30, "/d/F", "ext4", "/dev/sdb1") + mountLine(31, "/d/F", "cifs", "//fs/top"));
    QCOMPARE(MountTable::find(stacked, QStringLiteral("/d/F"))->source, QStringLiteral("//fs/top"));
    QCOMPARE(MountTable::find(stacked, QStringLiteral("/d")), nullptr);

    // Network file systems are known by their whole type (the letters below show some that are).
    for (const char* type : {"ext4", "tmpfs", "fuse", "fuse.rclone2", "vfat", ""})
        QVERIFY2(!MountTable::isNetworkFileSystem(QString::fromLatin1(type)), type);
}

void TestMountTable::classifiesLettersFromTheTable()
{
    QTemporaryDir root;
    // The layer matches the table against the drives folder with its links resolved.
    const QString drives = root.filePath(QStringLiteral("real"));
    QVERIFY(QDir().mkpath(drives));
    QVERIFY(QFile::link(drives, root.filePath(QStringLiteral("link"))));
    for (const char* letter : {"F", "G", "H", "K"})
        QVERIFY(QDir().mkpath(drives + u'/' + QLatin1String(letter)));

    const QByteArray folder = QFile::encodeName(drives);
    QFile table(root.filePath(QStringLiteral("mountinfo")));
    QVERIFY(table.open(QIODevice::WriteOnly));
    table.write(mountLine(20, "/", "ext4", "/dev/sda1") + mountLine(21, folder + "/F", "cifs", "//fs/share")
                + mountLine(22, folder + "/G", "ext4", "/dev/sdb1")
                + mountLine(23, folder + "/H", "nfs4", "server:/export")
                + mountLine(24, folder + "/K", "fuse.sshfs", QByteArray(300, 'x')));
    table.close();

    QProcessEnvironment environment;
    environment.insert(QStringLiteral("SHAREMOUNT_DRIVES"), root.filePath(QStringLiteral("link")));
    LinuxWnet::Settings settings = LinuxWnet::settingsFrom(environment);
    settings.mountInfoPath = table.fileName();
    LinuxWnet wnet(settings);

    QCOMPARE(wnet.GetDriveTypeA(QStringLiteral("F:\\")), DRIVE_REMOTE);
    QCOMPARE(wnet.GetDriveTypeA(QStringLiteral("f:")), DRIVE_REMOTE);
    QCOMPARE(wnet.GetDriveTypeA(QStringLiteral("G:\\")), DRIVE_FIXED);
    QCOMPARE(wnet.GetDriveTypeA(QStringLiteral("H:\\")), DRIVE_REMOTE);
    // Only a letter, a colon and a backslash name a root; the Kelvin sign is no K, though it lower-cases to k.
    for (const char16_t* name : {u"H", u"HH:\\", u"H:/", u"\u212A:\\"})
        QVERIFY2(wnet.GetDriveTypeA(QString::fromUtf16(name)) == DRIVE_NO_ROOT_DIR,
                 qPrintable(QString::fromUtf16(name)));

    QString name;
    quint32 length = Wnet::RemoteNameBufferLength;
    QCOMPARE(wnet.WNetGetConnectionA(QStringLiteral("F:"), name, length), NO_ERROR);
    QCOMPARE(name, QStringLiteral("\\\\fs\\share"));
    QCOMPARE(wnet.WNetGetConnectionA(QStringLiteral("h:"), name, length), NO_ERROR);
    QCOMPARE(name, QStringLiteral("server:/export"));
    QCOMPARE(wnet.WNetGetConnectionA(QStringLiteral("G:"), name, length), ERROR_NOT_CONNECTED);
    QCOMPARE(wnet.WNetGetConnectionA(QStringLiteral("F"), name, length), ERROR_BAD_DEVICE);
    // A name longer than the buffer: the length it needs, and the buffer untouched.
    name = QStringLiteral("unchanged");
    QCOMPARE(wnet.WNetGetConnectionA(QStringLiteral("K:"), name, length), ERROR_MORE_DATA);
    QCOMPARE(length, 301u);
    QCOMPARE(name, QStringLiteral("unchanged"));

    // A local mount is not a connection to drop.
    QCOMPARE(wnet.WNetCancelConnection2A(QStringLiteral("G:"), Wnet::CONNECT_UPDATE_PROFILE, true),
             ERROR_NOT_CONNECTED);

    // Without a drives folder every letter is free.
    environment.insert(QStringLiteral("SHAREMOUNT_DRIVES"), root.filePath(QStringLiteral("missing")));
    settings = LinuxWnet::settingsFrom(environment);
    settings.mountInfoPath = table.fileName();
    LinuxWnet nowhere(settings);
    QCOMPARE(nowhere.GetDriveTypeA(QStringLiteral("F:\\")), DRIVE_NO_ROOT_DIR);
}

void TestMountTable::takesRemoteNamesApart()
{
    const std::optional<SmbShare> deep
        = SmbShare::fromRemoteName(QStringLiteral("\\\\fs-1.example.org\\Team Data\\a, b\\c"));
    QVERIFY(deep);
    QCOMPARE(deep->server, QStringLiteral("fs-1.example.org"));
    QCOMPARE(deep->share, QStringLiteral("Team Data"));
    QCOMPARE(deep->folders, QStringList({QStringLiteral("a, b"), QStringLiteral("c")}));
    QCOMPARE(deep->deviceName(), QStringLiteral("//fs-1.example.org/Team Data/a, b/c"));
    QCOMPARE(SmbShare::fromRemoteName(QStringLiteral("\\\\fs\\share\\"))->deviceName(), QStringLiteral("//fs/share"));

    // Refused for their characters, which the fuzz target does not judge; and one name that climbs out of the share.
    for (const char* bad :
         {"", "fs\\share", "\\\\fs", "//fs/share", "\\\\fs\\sh:are", "\\\\fs\\a,b", "\\\\fs\\share\\..\\other",
          "\\\\-oallow_other\\share", "\\\\fs x\\share", "\\\\fs@evil\\share"})
        QVERIFY2(!SmbShare::fromRemoteName(QString::fromLatin1(bad)), bad);
    // Full-width look-alikes, control pictures and the quote mark are rclone's own encoding of other names.
    for (const char16_t* bad :
         {u"\\\\fs\\share\\a\uFF1Ab", u"\\\\fs\\sh\uFF0Aare", u"\\\\fs\\share\\\u2400", u"\\\\fs\\share\\\u201Bq"})
        QVERIFY2(!SmbShare::fromRemoteName(QString::fromUtf16(bad)), qPrintable(QString::fromUtf16(bad)));
    QVERIFY(SmbShare::fromRemoteName(QStringLiteral("\\\\fs\\share\\Ergebnisse \u00FC\u20AC")));

    const std::optional<SmbUser> user = SmbUser::fromUserName(QStringLiteral("OFFICE\\ann"));
    QCOMPARE(user->domain, QStringLiteral("OFFICE"));
    QCOMPARE(user->user, QStringLiteral("ann"));
    QCOMPARE(SmbUser::fromUserName(QStringLiteral("ann"))->domain, QString());
    // "%(host)s" would read as another setting of rclone's configuration; a lone "%" is only a character.
    QVERIFY(!SmbUser::fromUserName(QStringLiteral("OFFICE\\%(host)s")));
    QCOMPARE(SmbUser::fromUserName(QStringLiteral("100%"))->user, QStringLiteral("100%"));
}

void TestMountTable::obscuresAsRcloneReveals()
{
    // rclone turns the obscured text back into the password, whatever the password holds.
    for (const QString& password : {QString(), QStringLiteral("p"), QStringLiteral("Pass A, \"quoted\": it's 1"),
                                    QStringLiteral("Grüße €"), QString(70, u'x')}) {
        const QByteArray obscured = RcloneMount::obscure(password);
        QProcess reveal;
        reveal.start(QStringLiteral("rclone"),
                     {QStringLiteral("reveal"), QStringLiteral("--"), QString::fromLatin1(obscured)});
        QVERIFY(reveal.waitForFinished());
        QCOMPARE(reveal.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(reveal.readAllStandardOutput()).chopped(1), password);
    }
}

void TestMountTable::tellsTheUploadsLeftInTheCache()
{
    QTemporaryDir cache;
    const auto put = [&](const QString& path, const QByteArray& content) {
        QDir().mkpath(QFileInfo(cache.filePath(path)).path());
        QFile file(cache.filePath(path));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    };
    const QString uploads = QStringLiteral("drive/share");
    // Sent, still to send, a note that cannot be read, and a copy whose note rclone never wrote; in folders too.
    put(QStringLiteral("vfs/drive/share/sent.txt"), "a");
    put(QStringLiteral("vfsMeta/drive/share/sent.txt"), R"({"Dirty":false})");
    put(QStringLiteral("vfs/drive/share/sub/.due"), "b");
    put(QStringLiteral("vfsMeta/drive/share/sub/.due"), R"({"Dirty":true})");
    put(QStringLiteral("vfs/drive/share/torn.txt"), "c");
    put(QStringLiteral("vfsMeta/drive/share/torn.txt"), R"({"Dir)");
    put(QStringLiteral("vfs/drive/share/sub/cut off.txt"), "d");

    QCOMPARE(RcloneCache::pending(cache.path(), uploads), QStringList({"sub/.due", "torn.txt"}));
    QCOMPARE(RcloneCache::unnoted(cache.path(), uploads), QStringList {"sub/cut off.txt"});

    // Only the copy of what was sent goes; what may still be the only copy stays.
    RcloneCache::removeFinished(cache.path());
    QVERIFY(!QFile::exists(cache.filePath(QStringLiteral("vfs/drive/share/sent.txt"))));
    QVERIFY(!QFile::exists(cache.filePath(QStringLiteral("vfsMeta/drive/share/sent.txt"))));
    QCOMPARE(RcloneCache::pending(cache.path(), uploads), QStringList({"sub/.due", "torn.txt"}));
    QCOMPARE(RcloneCache::unnoted(cache.path(), uploads), QStringList {"sub/cut off.txt"});
}

void TestMountTable::namesCodesWithoutATextByNumber()
{
    // A busy drive's among them: such a code is told by its number, never by an empty text.
    for (const qint32 code : {0, 87, 1222, 2404, -5})
        QCOMPARE(GetErrorText(code), QString::number(code));
}

QTEST_GUILESS_MAIN(TestMountTable)
#include "tst_mounttable.moc"
