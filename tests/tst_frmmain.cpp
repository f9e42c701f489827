// The main window: start-up on the record file, the command line, the layout and the Records pane.
#include "support/MainWindowTest.h"
#include "ui/main/RecordsModel.h"

#include <QMenu>
#include <QMenuBar>

#include <sys/stat.h>

using Answer = MessageBoxes::Answer;

class TestFrmMain : public MainWindowTest
{
    Q_OBJECT

private slots:
    // In a folder not made yet.
    void init()
    {
        setUp();
        m_folder = m_dir->filePath(QStringLiteral("data/ShareMount"));
    }
    void cleanup() { tearDown(); }
    void startsOnTheRecordFile_data();
    void startsOnTheRecordFile();
    void retriesOrGivesUpOnFileErrors();
    void startsUnattendedOnlyForExactlyAuto_data();
    void startsUnattendedOnlyForExactlyAuto();
    void hasTheLayout();
    void listsTheRecords();
};

void TestFrmMain::startsOnTheRecordFile_data()
{
    QTest::addColumn<QString>("existing"); // a file of one record in the folder before the start
    QTest::addColumn<QList<Answer>>("answers"); // to the question about the missing record file
    QTest::addColumn<frmMain::Startup>("startup");
    QTest::addColumn<int>("rows");
    const QList<Answer> yes {Answer::Yes};
    QTest::newRow("exact name") << "drvmap.dat" << QList<Answer>() << frmMain::Startup::Running << 1;
    QTest::newRow("missing, Yes") << QString() << yes << frmMain::Startup::Running << 0;
    QTest::newRow("missing, No") << QString() << QList<Answer> {Answer::No} << frmMain::Startup::Declined << 0;
    QTest::newRow("capitals") << "DRVMAP.DAT" << yes << frmMain::Startup::Running << 0;
    QTest::newRow("hidden") << ".drvmap.dat" << yes << frmMain::Startup::Running << 0;
}

void TestFrmMain::startsOnTheRecordFile()
{
    QFETCH(QString, existing);
    QFETCH(QList<Answer>, answers);
    QFETCH(frmMain::Startup, startup);
    QFETCH(int, rows);
    const QByteArray records = SlotBytes::saved("Office", "\\\\server\\share", 1);
    if (!existing.isEmpty())
        QVERIFY(QDir().mkpath(m_folder) && SlotBytes::writeFile(m_folder + u'/' + existing, records));
    m_messages.setNextAnswers(answers);
    frmMain& w = create();
    QCOMPARE(w.Form_Load(), startup);
    QCOMPARE(m_messages.asked.size(), answers.size());
    for (const MessageBoxes::Message& asked : std::as_const(m_messages.asked)) {
        QCOMPARE(asked.title + u'|' + asked.text,
                 QStringLiteral("drvmap.dat is Missing!|        Create New .dat File?"));
        QVERIFY(asked.buttons == MessageBoxes::Buttons::YesNo && asked.icon == MessageBoxes::Icon::None);
    }
    // A file found under another name is never changed; Yes makes the record file anew beside it, No nothing.
    if (!existing.isEmpty())
        QCOMPARE(SlotBytes::readFile(m_folder + u'/' + existing), records);
    QCOMPARE(w.isVisible(), startup == frmMain::Startup::Running);
    if (startup != frmMain::Startup::Running) {
        QVERIFY(!QFileInfo::exists(m_folder));
        return;
    }
    QVERIFY(QFileInfo(dataFile()).isFile());
    QCOMPARE(QFileInfo(dataFile()).size(), rows * 212);
    QCOMPARE(w.lsvRecords->model()->rowCount(), rows);
    // A folder made for the file is closed to other users: the file holds passwords.
    struct stat folder
    { };
    QCOMPARE(::stat(QFile::encodeName(m_folder).constData(), &folder), 0);
    QVERIFY(!existing.isEmpty() || (folder.st_mode & 0777) == 0700);
}

void TestFrmMain::retriesOrGivesUpOnFileErrors()
{
    // A folder in the record file's place is no missing file to create, but a file that cannot be opened.
    QVERIFY(QDir().mkpath(dataFile()));
    m_messages.setNextAnswers({Answer::Ok, Answer::Cancel});
    QCOMPARE(create().Form_Load(), frmMain::Startup::Abandoned);
    QCOMPARE(m_messages.asked.size(), 2);
    for (const MessageBoxes::Message& asked : std::as_const(m_messages.asked)) {
        QVERIFY2(asked.title == u"File I/O Error" && asked.text.contains(dataFile())
                     && asked.text.contains(QStringLiteral("Is a directory"))
                     && asked.icon == MessageBoxes::Icon::Critical,
                 qPrintable(asked.text));
        QCOMPARE(asked.buttons, MessageBoxes::Buttons::OkCancel);
    }
    QVERIFY(!m_window->isVisible());

    // OK after the cause is gone: the retry opens the file and the start goes on.
    m_messages.reset();
    m_messages.setNextAnswers({Answer::Ok});
    m_messages.onAsk = [this](const MessageBoxes::Message& message) {
        if (message.title == u"File I/O Error")
            QDir(dataFile()).removeRecursively();
    };
    QCOMPARE(create().Form_Load(), frmMain::Startup::Running);
    QCOMPARE(m_messages.asked.size(), 1);
    QVERIFY(QFileInfo(dataFile()).isFile());
}

void TestFrmMain::startsUnattendedOnlyForExactlyAuto_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("unattended");
    QTest::newRow("-auto") << QStringList {QStringLiteral("-auto")} << true;
    QTest::newRow("none") << QStringList {} << false;
    QTest::newRow("capitals") << QStringList {QStringLiteral("-AUTO")} << false;
    QTest::newRow("trailing space") << QStringList {QStringLiteral("-auto ")} << false;
    QTest::newRow("empty second argument") << QStringList {QStringLiteral("-auto"), QString()} << false;
    QTest::newRow("further argument") << QStringList {QStringLiteral("-auto"), QStringLiteral("x")} << false;
}

void TestFrmMain::startsUnattendedOnlyForExactlyAuto()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, unattended);
    QVERIFY(QDir().mkpath(m_folder) && SlotBytes::writeFile(dataFile(), {}));
    frmMain& w = create(arguments);
    QCOMPARE(w.Form_Load(), frmMain::Startup::Running);
    QCOMPARE(w.AutoMode, unattended);
    QCOMPARE(w.StartAutoConnect, unattended);
    QCOMPARE(w.isVisible(), !unattended);
    // The icon is there either way.
    QVERIFY(w.findChild<QSystemTrayIcon*>()->isVisible());
}

void TestFrmMain::hasTheLayout()
{
    frmMain& w = create();
    // A fixed size, which can be minimised but not maximised.
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    // The context menus stay out of the menu bar, and no menu item has a shortcut of its own.
    QCOMPARE(w.menuBar()->actions().size(), 4);
    for (QMenu* hidden : {w.mnuDelete, w.mPopupSys, w.mnuRemoteName})
        QVERIFY(!w.menuBar()->actions().contains(hidden->menuAction()));
    for (QMenu* menu : w.findChildren<QMenu*>())
        for (QAction* action : menu->actions())
            QVERIFY2(action->shortcut().isEmpty() && !action->isCheckable(), qPrintable(action->objectName()));
}

void TestFrmMain::listsTheRecords()
{
    QVERIFY(QDir().mkpath(m_folder));
    QVERIFY(SlotBytes::writeFile(dataFile(),
                                 SlotBytes::saved("Office", "\\\\server\\share", 1, 'T', 'T', "G:")
                                     + SlotBytes::deleted()
                                     + SlotBytes::saved("Home  ", "\\\\nas\\media", 3, 't', ' ', "M:")));
    frmMain& w = create();
    QCOMPARE(w.Form_Load(), frmMain::Startup::Running);

    QAbstractItemModel* model = w.lsvRecords->model();
    const auto row = [model](int r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->index(r, c).data().toString();
        return cells << model->index(r, 0).data(RecordsModel::KeyRole).toString();
    };
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(row(0), QStringList({"Office", "\\\\server\\share", "Auto", "Yes", "Key1"}));
    // Padding is not shown, and flags other than "T" (a "t", a blank) are clear.
    QCOMPARE(row(1), QStringList({"Home", "\\\\nas\\media", "M:", "No", "Key3"}));
    QVERIFY(!model->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());

    // The pane follows the file, without doubling its rows.
    QVERIFY(SlotBytes::writeFile(dataFile(), SlotBytes::saved("Only", "\\\\a\\b", 1)));
    w.UpdateRecords();
    w.UpdateRecords();
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(row(0).last(), QStringLiteral("Key1"));
}

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
