// The real program started from outside: the unattended start without a display, and its near misses.
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

class TestProgram : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void cleanup();
    void endsWithoutAWindow_data();
    void endsWithoutAWindow();
    void printsHelpAndVersion();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_program;
};

void TestProgram::cleanup()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.kill();
        m_program.waitForFinished();
    }
}

void TestProgram::endsWithoutAWindow_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("display"); // none at all, as from a log-on script or a terminal over ssh, if empty
    QTest::addColumn<bool>("fileError"); // the record file cannot be opened for writing
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("errors"); // what stderr shows, in parts

    const QStringList autoStart {QStringLiteral("-auto")};
    const QString gone = QStringLiteral(":97"); // named but not there, as over ssh without X forwarding
    const QStringList noWindow {QStringLiteral("drvmap: cannot open a window")};
    // Nothing was connected, and the log-on script learns why.
    QTest::newRow("-auto") << autoStart << QString() << false << 1
                           << QStringList({"drvmap.dat is Missing!", "Create New .dat File?", "answered No",
                                           "drvmap.dat was not found in <folder>"});
    QTest::newRow("-auto, display gone") << autoStart << gone << false << 1 << QStringList({"answered No"});
    // The error cannot be retried away, and nobody can answer.
    QTest::newRow("-auto, file error") << autoStart << QString() << true << 1
                                       << QStringList({"File I/O Error", "answered Cancel"});
    QTest::newRow("display gone") << QStringList() << gone << false << 2 << noWindow;
    QTest::newRow("none") << QStringList() << QString() << false << 2 << noWindow;
    // An option the program does not know is named, so that a log-on script learns why no batch ran.
    QTest::newRow("capitals") << QStringList({"-AUTO"}) << QString() << false << 2
                              << QStringList({"drvmap: unknown option -AUTO", "drvmap: cannot open a window"});
    QTest::newRow("trailing space") << QStringList({"-auto "}) << QString() << false << 2
                                    << QStringList({"drvmap: unknown option -auto ", "drvmap: cannot open a window"});
    QTest::newRow("two dashes") << QStringList({"--auto"}) << QString() << false << 2
                                << QStringList({"drvmap: unknown option --auto", "see drvmap --help",
                                                "drvmap: cannot open a window"});
    QTest::newRow("empty argument") << QStringList({"-auto", ""}) << QString() << false << 2 << noWindow;
    // Qt's own options count as arguments too: they are not taken out before the comparison.
    QTest::newRow("qt option") << QStringList({"-auto", "-platform", "offscreen"}) << QString() << false << 2
                               << noWindow;
}

void TestProgram::endsWithoutAWindow()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, display);
    QFETCH(bool, fileError);
    QFETCH(int, exitCode);
    QFETCH(QStringList, errors);
    const QString dataFile = m_dir->filePath(QStringLiteral("drvmap.dat"));
    if (fileError) {
        // The record file is the program's own running executable, which no one may open for writing (even root).
        if (const int fd = ::open("/proc/self/exe", O_RDWR); fd >= 0) {
            ::close(fd);
            QSKIP("this kernel lets a running program's file be opened for writing");
        }
        QVERIFY(QFile::link(QStringLiteral(DRVMAP_PATH), dataFile));
    }
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
    QVERIFY(m_program.waitForFinished(30000));
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program.exitCode(), exitCode);
    const QString written = QString::fromLocal8Bit(m_program.readAllStandardError());
    for (QString error : std::as_const(errors))
        QVERIFY2(written.contains(error.replace(QStringLiteral("<folder>"), m_dir->path())), qPrintable(written));
    // Without any display, an interactive start ends with its one line, after one for each unknown option.
    if (display.isEmpty() && exitCode == 2)
        QCOMPARE(written.count(u'\n'), errors.filter(QRegularExpression(QStringLiteral("^drvmap: "))).size());
    // No record file was made for a start that could not ask.
    QCOMPARE(QFileInfo::exists(dataFile), fileError);
}

void TestProgram::printsHelpAndVersion()
{
    // Neither needs a display, nor looks for the record file, and both end at once.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("SHAREMOUNT_DATA_DIR"), m_dir->path());
    env.insert(QStringLiteral("SHAREMOUNT_DRIVES"), m_dir->filePath(QStringLiteral("drives")));
    m_program.setProcessEnvironment(env);
    const auto run = [this](const QString& argument) {
        m_program.start(QStringLiteral(DRVMAP_PATH), {argument});
        return m_program.waitForFinished(30000) && m_program.exitCode() == 0
                && m_program.readAllStandardError().isEmpty()
            ? QString::fromLocal8Bit(m_program.readAllStandardOutput())
            : QString();
    };
    QCOMPARE(run(QStringLiteral("--version")), QStringLiteral("drvmap 1.0.0\n"));
    const QString usage = run(QStringLiteral("--help"));
    for (const QString& part : {QStringLiteral("Usage: drvmap [-auto]"), QStringLiteral("SHAREMOUNT_SMB_PORT"),
                                QStringLiteral("Records: ") + m_dir->filePath(QStringLiteral("drvmap.dat")),
                                QStringLiteral("Drives:  ") + m_dir->filePath(QStringLiteral("drives"))})
        QVERIFY2(usage.contains(part), qPrintable(usage));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("drvmap.dat"))));
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
