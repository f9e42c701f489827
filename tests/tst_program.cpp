// The real program started from outside: the unattended start without a display, and its near misses.
#include "support/SlotBytes.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

class TestProgram : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void unattendedStartAnswersNoWithoutADisplay();
    void nearMissesNeedADisplay_data();
    void nearMissesNeedADisplay();
    void unreachableDisplay();
    void unattendedStartGivesUpOnAFileError();

private:
    void start(const QStringList& arguments, const QString& display = {});
    QString dataFile() const { return m_dir->filePath(QStringLiteral("drvmap.dat")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_program;
};

void TestProgram::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestProgram::cleanup()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.kill();
        m_program.waitForFinished();
    }
}

// As from a log-on script or a terminal over ssh: no display of any kind.
void TestProgram::start(const QStringList& arguments, const QString& display)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QT_LOGGING_RULES"})
        env.remove(QLatin1String(name));
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("SHAREMOUNT_DATA_DIR"), m_dir->path());
    env.insert(QStringLiteral("SHAREMOUNT_DRIVES"), m_dir->filePath(QStringLiteral("drives")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir->filePath(QStringLiteral("cache")));
    QDir(m_dir->path()).mkdir(QStringLiteral("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir->filePath(QStringLiteral("run")));
    m_program.setProcessEnvironment(env);
    m_program.start(QStringLiteral(DRVMAP_PATH), arguments);
    QVERIFY(m_program.waitForStarted());
}

void TestProgram::unattendedStartAnswersNoWithoutADisplay()
{
    start({QStringLiteral("-auto")});
    QVERIFY(m_program.waitForFinished(30000));
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    // Nothing was connected, and the log-on script learns why.
    QCOMPARE(m_program.exitCode(), 1);
    const QString errors = QString::fromLocal8Bit(m_program.readAllStandardError());
    QVERIFY2(errors.contains(QStringLiteral("drvmap.dat is Missing!")), qPrintable(errors));
    QVERIFY2(errors.contains(QStringLiteral("Create New .dat File?")), qPrintable(errors));
    QVERIFY2(errors.contains(QStringLiteral("answered No")), qPrintable(errors));
    QVERIFY2(errors.contains(QStringLiteral("drvmap.dat was not found in ") + m_dir->path()), qPrintable(errors));
    QVERIFY(!QFileInfo::exists(dataFile()));
}

void TestProgram::nearMissesNeedADisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("none") << QStringList {};
    QTest::newRow("capitals") << QStringList {QStringLiteral("-AUTO")};
    QTest::newRow("trailing space") << QStringList {QStringLiteral("-auto ")};
    QTest::newRow("further argument") << QStringList {QStringLiteral("-auto"), QStringLiteral("now")};
    QTest::newRow("empty argument") << QStringList {QStringLiteral("-auto"), QString()};
    // Qt's own options count as arguments too: they are not taken out before the comparison.
    QTest::newRow("qt option") << QStringList {QStringLiteral("-auto"), QStringLiteral("-platform"),
                                               QStringLiteral("offscreen")};
}

void TestProgram::nearMissesNeedADisplay()
{
    QFETCH(QStringList, arguments);
    start(arguments);
    QVERIFY(m_program.waitForFinished(30000));
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QVERIFY(m_program.exitCode() != 0);
    const QByteArray errors = m_program.readAllStandardError();
    QCOMPARE(errors.count('\n'), 1);
    QVERIFY2(errors.contains("drvmap: cannot open a window"), errors.constData());
    QVERIFY(!QFileInfo::exists(dataFile()));
}

void TestProgram::unreachableDisplay()
{
    // A display that is named but not there, as over ssh without X forwarding.
    const QString gone = QStringLiteral(":97");
    start({QStringLiteral("-auto")}, gone);
    QVERIFY(m_program.waitForFinished(30000));
    QCOMPARE(m_program.exitCode(), 1);
    QVERIFY(m_program.readAllStandardError().contains("answered No"));

    start({}, gone);
    QVERIFY(m_program.waitForFinished(30000));
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program.exitCode(), 2);
    QVERIFY(m_program.readAllStandardError().contains("drvmap: cannot open a window"));
}

void TestProgram::unattendedStartGivesUpOnAFileError()
{
    // The record file is the program's own running executable, which no one may open for writing (even
    // root): the error cannot be retried away, and nobody can answer.
    if (const int fd = ::open("/proc/self/exe", O_RDWR); fd >= 0) {
        ::close(fd);
        QSKIP("this kernel lets a running program's file be opened for writing");
    }
    QVERIFY(QFile::link(QStringLiteral(DRVMAP_PATH), dataFile()));
    start({QStringLiteral("-auto")});
    QVERIFY(m_program.waitForFinished(30000));
    QCOMPARE(m_program.exitCode(), 1);
    const QString errors = QString::fromLocal8Bit(m_program.readAllStandardError());
    QVERIFY2(errors.contains(QStringLiteral("File I/O Error")), qPrintable(errors));
    QVERIFY2(errors.contains(QStringLiteral("answered Cancel")), qPrintable(errors));
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
