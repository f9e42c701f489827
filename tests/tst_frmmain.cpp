// The main window: start-up on the record file, the command line, the layout and the Records pane.
#include "support/MainWindowTest.h"
#include "ui/editor/frmEdit.h"
#include "ui/main/RecordsModel.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>

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
    void worksOnADamagedRecordFile_data();
    void worksOnADamagedRecordFile();
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

void TestFrmMain::worksOnADamagedRecordFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("rows"); // listed; -1 for any number
    const QByteArray three = SlotBytes::saved("One", "\\\\a\\b", 1) + SlotBytes::saved("Two", "\\\\a\\c", 2)
        + SlotBytes::saved("Three", "\\\\a\\d", 3);
    QTest::newRow("cut mid-slot") << three + SlotBytes::saved("Four", "\\\\a\\e", 4).left(100) << 4;
    QByteArray noise(40 * 212 + 17, Qt::Uninitialized);
    QRandomGenerator(11).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    QTest::newRow("random bytes") << noise << -1;
    QByteArray full;
    for (int number = 1; number <= RecordFile::LastSlot; ++number)
        full += SlotBytes::saved("R", "\\\\h\\s", qint16(number));
    QTest::newRow("every slot") << full << int(RecordFile::LastSlot);
}

void TestFrmMain::worksOnADamagedRecordFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, rows);
    QVERIFY(QDir().mkpath(m_folder) && SlotBytes::writeFile(dataFile(), contents));
    frmMain& w = create();
    QCOMPARE(w.Form_Load(), frmMain::Startup::Running);
    QVERIFY(m_messages.asked.isEmpty());
    if (rows >= 0)
        QCOMPARE(w.lsvRecords->model()->rowCount(), rows);

    // In the editor the user pages to slot 3 and back to 2, saves it renamed and deletes slot 3.
    QTimer::singleShot(0, &w, [this] {
        auto* editor = qobject_cast<frmEdit*>(QApplication::activeModalWidget());
        QVERIFY(editor);
        const auto leave = qScopeGuard([editor] { QTest::mouseClick(editor->cmdCancel, Qt::LeftButton); });
        m_messages.setNextAnswers({Answer::No, Answer::No, Answer::No});
        for (const char* key : {"Next", "Next", "Back"})
            click(editor->tlbEdit, key);
        QCOMPARE(editor->CurrentRec, qint16(2));
        editor->txtRecordName->setText(QStringLiteral("Renamed"));
        editor->txtRemoteName->setText(QStringLiteral("\\\\h\\s"));
        editor->cmbDrive->setEditText(QStringLiteral("G:"));
        click(editor->tlbEdit, "Save");
        QCOMPARE(editor->lblStatus->text(), QStringLiteral("Current Record Has Been Saved."));
        click(editor->tlbEdit, "Next");
        m_messages.setNextAnswers({Answer::Yes});
        click(editor->tlbEdit, "Clear");
        QCOMPARE(editor->lblStatus->text(), QString());
    });
    click(w.tlbMain, "Edit");
    QAbstractItemModel* model = w.lsvRecords->model();
    QCOMPARE(model->match(model->index(0, 0), Qt::DisplayRole, QStringLiteral("Renamed")).size(), 1);

    // Only those two slots changed.
    const QByteArray after = SlotBytes::readFile(dataFile());
    QCOMPARE(after.size(), contents.size());
    QCOMPARE(after.left(212), contents.left(212));
    QCOMPARE(DriveRecord::fromSlot(after.mid(212, 212)).RecordName, QStringLiteral("Renamed"));
    QCOMPARE(after.mid(2 * 212, 212), SlotBytes::deleted());
    QVERIFY(after.mid(3 * 212) == contents.mid(3 * 212));
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
