// Where the record file is looked for, and the directory search for its exact name.
#include "platform/DataFolder.h"
#include "records/RecordFile.h"
#include "support/SlotBytes.h"

#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QProcessEnvironment environment(std::initializer_list<std::pair<const char*, QString>> values)
{
    QProcessEnvironment env;
    for (const auto& [name, value] : values)
        env.insert(QLatin1String(name), value);
    return env;
}

} // namespace

class TestDataFolder : public QObject
{
    Q_OBJECT

private slots:
    void choosesTheFolder();
    void findsOnlyTheExactName();
    void createsPrivateFolders();

private:
    QString makeFolder(const QString& name, const QStringList& files = {});

    QTemporaryDir m_dir;
};

QString TestDataFolder::makeFolder(const QString& name, const QStringList& files)
{
    const QString folder = m_dir.filePath(name);
    QDir().mkpath(folder);
    for (const QString& file : files)
        SlotBytes::writeFile(folder + u'/' + file, "x");
    return folder;
}

void TestDataFolder::choosesTheFolder()
{
    const QString portable = makeFolder(QStringLiteral("portable"), {QStringLiteral("drvmap.dat")});
    const QString installed = makeFolder(QStringLiteral("usr-bin"));
    const QString upper = makeFolder(QStringLiteral("upper"), {QStringLiteral("DRVMAP.DAT")});
    const QString home = QStringLiteral("/home/someone");

    QCOMPARE(DataFolder::choose(environment({{"SHAREMOUNT_DATA_DIR", QStringLiteral("/srv/data")},
                                             {"XDG_DATA_HOME", QStringLiteral("/x")}}),
                                portable),
             QStringLiteral("/srv/data"));
    QCOMPARE(DataFolder::choose(environment({{"HOME", home}, {"SHAREMOUNT_DATA_DIR", QString()}}), portable), portable);
    QCOMPARE(
        DataFolder::choose(environment({{"HOME", home}, {"XDG_DATA_HOME", QStringLiteral("/data/xdg")}}), installed),
        QStringLiteral("/data/xdg/ShareMount"));
    QCOMPARE(DataFolder::choose(environment({{"HOME", home}}), installed),
             QStringLiteral("/home/someone/.local/share/ShareMount"));
    // A relative XDG_DATA_HOME is ignored; a differently-cased file does not make an install portable.
    QCOMPARE(DataFolder::choose(environment({{"HOME", home}, {"XDG_DATA_HOME", QStringLiteral("rel")}}), upper),
             QStringLiteral("/home/someone/.local/share/ShareMount"));
}

void TestDataFolder::findsOnlyTheExactName()
{
    QCOMPARE(findRecordFileName(makeFolder(QStringLiteral("exact"), {QStringLiteral("drvmap.dat")})),
             QStringLiteral("drvmap.dat"));
    QCOMPARE(findRecordFileName(makeFolder(QStringLiteral("caps"), {QStringLiteral("DRVMAP.DAT")})),
             QStringLiteral("DRVMAP.DAT"));
    QCOMPARE(findRecordFileName(
                 makeFolder(QStringLiteral("both"), {QStringLiteral("Drvmap.dat"), QStringLiteral("drvmap.dat")})),
             QStringLiteral("drvmap.dat"));
    QCOMPARE(findRecordFileName(makeFolder(QStringLiteral("hidden"), {QStringLiteral(".drvmap.dat")})), QString());
    QCOMPARE(findRecordFileName(makeFolder(QStringLiteral("none"))), QString());
    QCOMPARE(findRecordFileName(m_dir.filePath(QStringLiteral("missing"))), QString());

    const QString special = makeFolder(QStringLiteral("special"));
    QVERIFY(QDir(special).mkdir(QStringLiteral("drvmap.dat")));
    QCOMPARE(findRecordFileName(special), QString());
    const QString fifo = makeFolder(QStringLiteral("fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo + QStringLiteral("/drvmap.dat")).constData(), 0600), 0);
    QCOMPARE(findRecordFileName(fifo), QString());
}

void TestDataFolder::createsPrivateFolders()
{
    const QString folder = m_dir.filePath(QStringLiteral("a/b/ShareMount"));
    QString error;
    QVERIFY2(DataFolder::create(folder, &error), qPrintable(error));
    QVERIFY(QFileInfo(folder).isDir());
    for (const QString& created : {m_dir.filePath(QStringLiteral("a")), folder}) {
        struct stat st
        { };
        QCOMPARE(::stat(QFile::encodeName(created).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0700));
    }
    QVERIFY(DataFolder::create(folder, &error)); // already there

    const QString blocked = makeFolder(QStringLiteral("blocked"), {QStringLiteral("file")});
    QVERIFY(!DataFolder::create(blocked + QStringLiteral("/file/sub"), &error));
    QVERIFY(error.contains(QStringLiteral("file")));
}

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_datafolder.moc"
