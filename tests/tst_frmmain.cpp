// The main window: start-up on the record file, the command line, the ways out, the layout and the
// Records pane.
#include "support/FakeWnet.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/SlotBytes.h"
#include "ui/editor/frmEdit.h"
#include "ui/main/RecordsModel.h"
#include "ui/main/frmMain.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <sys/stat.h>

using Answer = MessageBoxes::Answer;

class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void createsMissingFileOnYes();
    void endsOnNo();
    void asksWhenOnlyAnotherNameExists_data();
    void asksWhenOnlyAnotherNameExists();
    void retriesOrGivesUpOnFileErrors();
    void startsUnattendedOnlyForExactlyAuto_data();
    void startsUnattendedOnlyForExactlyAuto();
    void endsThroughExitAndClose();
    void hasTheLayout();
    void listsTheRecords();

private:
    frmMain& window(const QStringList& arguments = {});
    QString dataFile() const { return m_folder + QStringLiteral("/drvmap.dat"); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    ScriptedMessageBoxes m_messages;
    FakeWnet m_wnet;
    std::unique_ptr<frmMain> m_window;
};

void TestFrmMain::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_folder = m_dir->filePath(QStringLiteral("data/ShareMount"));
    m_messages.reset();
}

void TestFrmMain::cleanup()
{
    m_window.reset();
    QCOMPARE(m_messages.unexpected, 0);
}

frmMain& TestFrmMain::window(const QStringList& arguments)
{
    m_window = std::make_unique<frmMain>(frmMain::Services {m_messages, m_wnet, m_folder}, arguments);
    return *m_window;
}

void TestFrmMain::createsMissingFileOnYes()
{
    m_messages.setNextAnswers({Answer::Yes});
    frmMain& w = window();
    QCOMPARE(w.Form_Load(), frmMain::Startup::Running);

    QCOMPARE(m_messages.asked.size(), 1);
    QCOMPARE(m_messages.asked[0].title, QStringLiteral("drvmap.dat is Missing!"));
    QCOMPARE(m_messages.asked[0].text, QStringLiteral("        Create New .dat File?"));
    QCOMPARE(m_messages.asked[0].buttons, MessageBoxes::Buttons::YesNo);
    QCOMPARE(m_messages.asked[0].icon, MessageBoxes::Icon::None);

    QVERIFY(QFileInfo::exists(dataFile()));
    QCOMPARE(QFileInfo(dataFile()).size(), 0);
    struct stat file
    {
    }, folder {};
    QCOMPARE(::stat(QFile::encodeName(dataFile()).constData(), &file), 0);
    QCOMPARE(file.st_mode & 0777, mode_t(0600));
    QCOMPARE(::stat(QFile::encodeName(m_folder).constData(), &folder), 0);
    QCOMPARE(folder.st_mode & 0777, mode_t(0700));

    QVERIFY(w.isVisible());
    QCOMPARE(w.lsvRecords->model()->rowCount(), 0);
    QCOMPARE(w.lsvConnections->topLevelItemCount(), 0);
    // Slot 1 is the current record, loaded into the hidden editor.
    QCOMPARE(w.editor().CurrentRec, qint16(1));
    QCOMPARE(w.editor().lblNetResourceNum->text(), QStringLiteral("1"));
    QVERIFY(!w.editor().isVisible());
    QVERIFY(w.Timer->isActive());
    QCOMPARE(w.Timer->interval(), 1000);
    auto* tray = w.findChild<QSystemTrayIcon*>();
    QVERIFY(tray && tray->isVisible());
    QCOMPARE(tray->toolTip(), QStringLiteral("sharemount"));
}

void TestFrmMain::endsOnNo()
{
    m_messages.setNextAnswers({Answer::No});
    frmMain& w = window();
    QCOMPARE(w.Form_Load(), frmMain::Startup::Declined);
    QCOMPARE(m_messages.asked.size(), 1);
    QVERIFY(!QFileInfo::exists(dataFile()));
    QVERIFY(!QFileInfo::exists(m_folder));
    QVERIFY(!w.isVisible());
}

void TestFrmMain::asksWhenOnlyAnotherNameExists_data()
{
    QTest::addColumn<QString>("existing");
    QTest::addColumn<bool>("asks");
    QTest::newRow("exact name") << QStringLiteral("drvmap.dat") << false;
    QTest::newRow("capitals") << QStringLiteral("DRVMAP.DAT") << true;
    QTest::newRow("hidden") << QStringLiteral(".drvmap.dat") << true;
}

void TestFrmMain::asksWhenOnlyAnotherNameExists()
{
    QFETCH(QString, existing);
    QFETCH(bool, asks);
    const QByteArray records = SlotBytes::saved("Office", "\\\\server\\share", 1);
    QVERIFY(QDir().mkpath(m_folder));
    const QString existingPath = m_folder + u'/' + existing;
    QVERIFY(SlotBytes::writeFile(existingPath, records));
    if (asks)
        m_messages.setNextAnswers({Answer::Yes});

    frmMain& w = window();
    QCOMPARE(w.Form_Load(), frmMain::Startup::Running);
    QCOMPARE(m_messages.asked.size(), asks ? 1 : 0);
    // The file found under another name is never changed; Yes makes the record file anew beside it.
    QCOMPARE(SlotBytes::readFile(existingPath), records);
    QCOMPARE(w.lsvRecords->model()->rowCount(), asks ? 0 : 1);
    QCOMPARE(QFileInfo(dataFile()).size(), asks ? 0 : 212);
}

void TestFrmMain::retriesOrGivesUpOnFileErrors()
{
    // A folder in the record file's place is no missing file to create, but a file that cannot be opened.
    QVERIFY(QDir().mkpath(dataFile()));
    m_messages.setNextAnswers({Answer::Ok, Answer::Cancel});
    QCOMPARE(window().Form_Load(), frmMain::Startup::Abandoned);
    QCOMPARE(m_messages.asked.size(), 2);
    for (const MessageBoxes::Message& asked : std::as_const(m_messages.asked)) {
        QCOMPARE(asked.title, QStringLiteral("File I/O Error"));
        QVERIFY2(asked.text.contains(dataFile()) && asked.text.contains(QStringLiteral("Is a directory")),
                 qPrintable(asked.text));
        QCOMPARE(asked.icon, MessageBoxes::Icon::Critical);
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
    QCOMPARE(window().Form_Load(), frmMain::Startup::Running);
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
    QTest::newRow("one argument with a space") << QStringList {QStringLiteral("-auto x")} << false;
}

void TestFrmMain::startsUnattendedOnlyForExactlyAuto()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, unattended);
    QVERIFY(QDir().mkpath(m_folder) && SlotBytes::writeFile(dataFile(), {}));
    frmMain& w = window(arguments);
    QCOMPARE(w.Form_Load(), frmMain::Startup::Running);
    QCOMPARE(w.CommandLine, arguments.join(u' '));
    QCOMPARE(w.AutoMode, unattended);
    QCOMPARE(w.StartAutoConnect, unattended);
    QCOMPARE(w.isVisible(), !unattended);
    QVERIFY(w.findChild<QSystemTrayIcon*>()->isVisible());
}

void TestFrmMain::endsThroughExitAndClose()
{
    QVERIFY(QDir().mkpath(m_folder) && SlotBytes::writeFile(dataFile(), {}));
    for (const bool closeBox : {false, true}) {
        frmMain& w = window();
        QCOMPARE(w.Form_Load(), frmMain::Startup::Running);
        QSignalSpy ended(&w, &frmMain::ended);
        // Closing the editor, the last window but one, ends nothing.
        w.editor().close();
        QCOMPARE(ended.size(), 0);
        closeBox ? void(w.close()) : w.ExitProgram();
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended[0][0].toInt(), 0);
        QVERIFY(!w.findChild<QSystemTrayIcon*>()->isVisible());
    }
}

void TestFrmMain::hasTheLayout()
{
    frmMain& w = window();
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(w.centralWidget()->size(), QSize(593, 329));
    // The logo's right edge lines up with the Connected Drives frame, and each lit light lies over its dark twin.
    QCOMPARE(w.Command1->geometry().right(), w.Frame2->geometry().right());
    QCOMPARE(w.picGreen->geometry(), w.picGreenGrey->geometry());
    QCOMPARE(w.picRed->geometry(), w.picRedGrey->geometry());

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
    frmMain& w = window();
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
    // Slot 1 was loaded into the hidden editor at start-up.
    QCOMPARE(w.editor().txtRecordName->text(), QStringLiteral("Office"));
    QCOMPARE(w.editor().txtRemoteName->text(), QStringLiteral("\\\\server\\share"));

    // The pane follows the file, without doubling its rows.
    QVERIFY(SlotBytes::writeFile(dataFile(), SlotBytes::saved("Only", "\\\\a\\b", 1)));
    w.UpdateRecords();
    w.UpdateRecords();
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(row(0).last(), QStringLiteral("Key1"));
}

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
