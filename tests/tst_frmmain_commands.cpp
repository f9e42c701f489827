// The main window's commands through the fake layer: the toolbar keys, menus and shortcuts with the windows they
// open and the ways out, the context menus, Explore, the editor's openings, the panes' columns, and a record file
// that may only be read.
#include "platform/DesktopFileManager.h"
#include "support/MainWindowTest.h"
#include "ui/about/frmHelp.h"
#include "ui/editor/frmEdit.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

using Answer = MessageBoxes::Answer;
using Drive = FakeWnet::Drive;
using Command = std::function<void(frmMain&)>;

namespace {

QPoint cellCentre(QTreeView* pane, int row, int column)
{
    return pane->visualRect(pane->model()->index(row, column)).center();
}

// An editor is told by its record and status line.
QString editorState(QWidget* window)
{
    auto* editor = qobject_cast<frmEdit*>(window);
    return editor ? QString::number(editor->CurrentRec) + u'|' + editor->lblStatus->text() : QString();
}

} // namespace

class TestFrmMainCommands : public MainWindowTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void runsEveryCommand_data();
    void runsEveryCommand();
    void exploresOneDrive();
    void bringsTheEditorBackOnItsRecord();
    void popsUpContextMenus();
    void fitsAndKeepsColumns();
    void worksOnAReadOnlyRecordFile();

private:
    std::function<void()> m_undo; // puts back what a test changed outside its folder
};

void TestFrmMainCommands::init()
{
    setUpRecords();
    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::ConfigLocation)
                  + QStringLiteral("/ShareMount/drvmap.conf"));
}

void TestFrmMainCommands::cleanup()
{
    m_window.reset();
    if (m_undo)
        std::exchange(m_undo, nullptr)();
    tearDown();
}

void TestFrmMainCommands::runsEveryCommand_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("effect");

    const auto key = [](const char* name) { return Command([name](frmMain& w) { click(w.tlbMain, name); }); };
    const auto item
        = [](QAction* frmMain::*action) { return Command([action](frmMain& w) { (w.*action)->trigger(); }); };
    const auto twice = [](const Command& command) {
        return Command([command](frmMain& w) {
            command(w);
            command(w);
        });
    };
    const auto keys = [](QKeyCombination combination) {
        return Command(
            [combination](frmMain& w) { QTest::keyClick(&w, combination.key(), combination.keyboardModifiers()); });
    };
    const QString connected = QStringLiteral("add M:|pane F: H: J: M:|Connected to Share.");
    const QString disconnected = QStringLiteral("cancel F:|pane H: J:|Net Disconnection Successful!");
    const QString batch = QStringLiteral("batch|pane F: H:|Connecting Auto Connect Drives......");
    const QString refreshed = QStringLiteral("pane F: H: J:|before");
    const QString ended = QStringLiteral("ended 0|pane F: H:|before");
    const QString autoStart = QStringLiteral("frmAutoStart||pane F: H:|before");
    const QString about = QStringLiteral("frmAbout||pane F: H:|before");
    // The help window is not modal: it stays beside the main window, one however often it is opened.
    const QString help = QStringLiteral("help 1|pane F: H:|before");

    QTest::newRow("Connect") << key("Connect") << connected;
    QTest::newRow("mnuConnectDrv") << item(&frmMain::mnuConnectDrv) << connected;
    QTest::newRow("mnuConnect") << item(&frmMain::mnuConnect) << connected;
    QTest::newRow("Disconnect") << key("Disconnect") << disconnected;
    QTest::newRow("mnuDisconnectDrv") << item(&frmMain::mnuDisconnectDrv) << disconnected;
    QTest::newRow("mnuDeleteNow") << item(&frmMain::mnuDeleteNow) << disconnected;
    QTest::newRow("DisconnectAll") << key("DisconnectAll")
                                   << "cancel F:|cancel H:|pane J:|Net Disconnection Successful!";
    QTest::newRow("mnuDisconnectAll") << item(&frmMain::mnuDisconnectAll)
                                      << "cancel F:|cancel H:|pane J:|Net Disconnection Successful!";
    QTest::newRow("AutoConnect") << key("AutoConnect") << batch;
    QTest::newRow("mnuAutoConnect") << item(&frmMain::mnuAutoConnect) << batch;
    // The editor at record 1 empties its status line; at the selected record it keeps it.
    QTest::newRow("Edit") << key("Edit") << "frmEdit|1||pane F: H:|before";
    QTest::newRow("mnuEditRecords") << item(&frmMain::mnuEditRecords) << "frmEdit|1||pane F: H:|before";
    QTest::newRow("mnuEdit") << item(&frmMain::mnuEdit) << "frmEdit|2|kept|pane F: H:|before";
    QTest::newRow("mnuRefresh") << item(&frmMain::mnuRefresh) << refreshed;
    QTest::newRow("F5") << keys(Qt::Key_F5) << refreshed;
    QTest::newRow("AutoStart") << key("AutoStart") << autoStart;
    QTest::newRow("mnuAutoStartSetup") << item(&frmMain::mnuAutoStartSetup) << autoStart;
    QTest::newRow("mnuAbout") << item(&frmMain::mnuAbout) << about;
    QTest::newRow("Command1") << Command([](frmMain& w) { QTest::mouseClick(w.Command1, Qt::LeftButton); }) << about;
    QTest::newRow("Help twice") << twice(key("Help")) << help;
    QTest::newRow("mnuHelp twice") << twice(item(&frmMain::mnuHelp)) << help;
    QTest::newRow("F1") << keys(Qt::Key_F1) << help;
    QTest::newRow("Exit") << key("Exit") << ended;
    QTest::newRow("mnuExit") << item(&frmMain::mnuExit) << ended;
    QTest::newRow("Ctrl+Q") << keys(Qt::CTRL | Qt::Key_Q) << ended;
    QTest::newRow("close box") << Command([](frmMain& w) { w.close(); }) << ended;
    QTest::newRow("mPopExit") << item(&frmMain::mPopExit) << ended;
    QTest::newRow("unknown key") << Command([](frmMain& w) {
        QAction* odd = w.tlbMain->addAction(QStringLiteral("?"));
        odd->setObjectName(QStringLiteral("connect"));
        odd->setData(QStringLiteral("connect"));
        click(w.tlbMain, "connect");
    }) << "pane F: H:|before";
}

void TestFrmMainCommands::runsEveryCommand()
{
    QFETCH(Command, command);
    QFETCH(QString, effect);
    frmMain& w = start();
    select(w.lsvRecords, {1});
    select(w.lsvConnections, {0});
    w.lblStatus->setText(QStringLiteral("before"));
    w.editor().lblStatus->setText(QStringLiteral("kept"));
    // A drive connected behind the window's back shows after a refresh.
    m_wnet.setLetter(u'J', {Drive::Network, QStringLiteral("\\\\srv\\c")});
    m_wnet.calls.clear();
    QSignalSpy endings(&w, &frmMain::ended);

    QStringList seen;
    if (const QString modal = whileModal([&] { command(w); }, editorState); !modal.isEmpty())
        seen << modal;
    for (const FakeWnet::Call& call : std::as_const(m_wnet.calls)) {
        if (call.operation == u"add" || call.operation == u"cancel")
            seen << call.operation + u' ' + call.localName;
    }
    if (const QList<frmHelp*> helps = w.findChildren<frmHelp*>(); !helps.isEmpty() && helps[0]->isVisible())
        seen << QStringLiteral("help %1").arg(helps.size())
                + (helps[0]->isModal() ? QStringLiteral(", modal") : QString());
    // Every end takes the icon away.
    for (const QList<QVariant>& ending : std::as_const(endings))
        seen << QStringLiteral("ended %1").arg(ending[0].toInt())
                + (w.findChild<QSystemTrayIcon*>()->isVisible() ? QStringLiteral(", icon left") : QString());
    if (w.StartAutoConnect)
        seen << QStringLiteral("batch");
    QStringList pane;
    for (int row = 0; row < w.lsvConnections->topLevelItemCount(); ++row)
        pane << w.lsvConnections->topLevelItem(row)->text(0).trimmed();
    seen << QStringLiteral("pane ") + pane.join(u' ') << w.lblStatus->text();
    QCOMPARE(seen.join(u'|'), effect);
}

void TestFrmMainCommands::exploresOneDrive()
{
    // An xdg-open of our own shows what the file manager was asked to open.
    const QString bin = m_dir->filePath(QStringLiteral("bin"));
    const QString opened = m_dir->filePath(QStringLiteral("opened"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(SlotBytes::writeFile(bin + QStringLiteral("/xdg-open"),
                                 "#!/bin/sh\nprintf '%s' \"$*\" > '" + QFile::encodeName(opened) + "'\n"));
    QVERIFY(QFile::setPermissions(bin + QStringLiteral("/xdg-open"), QFile::ReadOwner | QFile::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin));
    const auto restorePath = qScopeGuard([&path] { qputenv("PATH", path); });
    DesktopFileManager files(m_dir->filePath(QStringLiteral("Drives")));
    frmMain& w = start({}, &files);

    // None or two: the message, and nothing is started.
    for (const QList<int>& rows : {QList<int>(), QList<int> {0, 1}}) {
        select(w.lsvConnections, rows);
        m_messages.setNextAnswers({Answer::Ok});
        w.mnuExplorer->trigger();
        QCOMPARE(m_messages.asked.last().text,
                 QStringLiteral("Please only select one item at\r     a time with this option."));
        QVERIFY(m_messages.asked.last().buttons == MessageBoxes::Buttons::Ok
                && m_messages.asked.last().icon == MessageBoxes::Icon::None);
    }

    select(w.lsvConnections, {1});
    w.mnuExplorer->trigger();
    QTRY_COMPARE(SlotBytes::readFile(opened), QFile::encodeName(m_dir->filePath(QStringLiteral("Drives/H"))));
    QCOMPARE(m_messages.asked.size(), 2);

    // No file manager to start, or none to ask: the user is told, not left waiting for a window.
    QFile::remove(bin + QStringLiteral("/xdg-open"));
    const auto exploreFails = [this](frmMain& window) {
        select(window.lsvConnections, {0});
        m_messages.setNextAnswers({Answer::Ok});
        window.mnuExplorer->trigger();
        return m_messages.asked.last().text.contains(QStringLiteral("no file manager"));
    };
    QVERIFY(exploreFails(w));
    QVERIFY(exploreFails(start()));
    QCOMPARE(m_messages.asked.size(), 4);
}

void TestFrmMainCommands::bringsTheEditorBackOnItsRecord()
{
    frmMain& w = start();
    QSignalSpy endings(&w, &frmMain::ended);
    // Closing the editor, even hidden, ends nothing.
    w.editor().close();
    QTRY_VERIFY(!w.findChild<frmEdit*>());
    select(w.lsvRecords, {2});
    // In the editor opened on record 3, the user renames it, saves, and leaves through the close box.
    QTimer::singleShot(0, &w, [] {
        auto* editor = qobject_cast<frmEdit*>(QApplication::activeModalWidget());
        QVERIFY(editor);
        // Whatever a check finds, the editor goes, so that the test cannot hang in it.
        const auto leave = qScopeGuard([editor] { editor->close(); });
        editor->txtRecordName->setText(QStringLiteral("Renamed"));
        click(editor->tlbEdit, "Save");
    });
    w.mnuEdit->trigger();
    // The pane shows the save; the editor is gone, and with it no more than the editor.
    QCOMPARE(w.lsvRecords->model()->index(2, 0).data().toString(), QStringLiteral("Renamed"));
    QTRY_VERIFY(!w.findChild<frmEdit*>());
    QVERIFY(endings.isEmpty());

    // Its next use creates it again, hidden, on record 3, with its drive list filled once: leaving it asks nothing.
    frmEdit& again = w.editor();
    QVERIFY(!again.isVisible());
    QCOMPARE(again.CurrentRec, qint16(3));
    QCOMPARE(again.lblNetResourceNum->text(), QStringLiteral("3"));
    QCOMPARE(again.txtRecordName->text(), QStringLiteral("Renamed"));
    QCOMPARE(again.cmbDrive->count(), 23);
    select(w.lsvRecords, {2});
    QCOMPARE(whileModal([&w] { w.mnuEdit->trigger(); }, editorState), QStringLiteral("frmEdit|3|"));
    QVERIFY(m_messages.asked.isEmpty());

    // With no current row in the pane, Edit does nothing.
    w.lsvRecords->selectionModel()->clear();
    QVERIFY(!w.lsvRecords->currentIndex().isValid());
    QCOMPARE(whileModal([&w] { w.mnuEdit->trigger(); }), QString());
}

void TestFrmMainCommands::popsUpContextMenus()
{
    frmMain& w = start();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QWidget* records = w.lsvRecords->viewport();
    const QPoint row = cellCentre(w.lsvRecords, 1, 0);

    QTest::mouseClick(records, Qt::LeftButton, {}, row);
    QVERIFY(!w.mnuRemoteName->isVisible());

    // The right button selects the row on its press and opens the menu on its release.
    QTest::mousePress(records, Qt::RightButton, {}, cellCentre(w.lsvRecords, 2, 0));
    QTest::mouseRelease(records, Qt::RightButton, {}, cellCentre(w.lsvRecords, 2, 0));
    QVERIFY(w.mnuRemoteName->isVisible());
    w.mnuRemoteName->hide();

    QWidget* drives = w.lsvConnections->viewport();
    QTest::mousePress(drives, Qt::RightButton, {}, cellCentre(w.lsvConnections, 0, 0));
    QVERIFY(w.ConnectionsMouseDown);
    QTest::mouseRelease(drives, Qt::RightButton, {}, cellCentre(w.lsvConnections, 0, 0));
    QVERIFY(!w.ConnectionsMouseDown);
    QVERIFY(w.mnuDelete->isVisible());
    w.mnuDelete->hide();

    // A pane without rows, or without a current row, opens nothing.
    m_wnet = FakeWnet();
    w.mnuRefresh->trigger();
    QTest::mouseClick(drives, Qt::RightButton, {}, QPoint(20, 20));
    QVERIFY(!w.mnuDelete->isVisible());
    w.lsvRecords->setCurrentIndex({});
    QTest::mouseRelease(records, Qt::RightButton, {}, QPoint(5, w.lsvRecords->viewport()->height() - 5));
    QVERIFY(!w.mnuRemoteName->isVisible());
}

void TestFrmMainCommands::fitsAndKeepsColumns()
{
    frmMain& w = start();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QHeaderView* header = w.lsvRecords->header();

    // A cell cut short shows its whole text; a whole one leaves the pane's own tooltip.
    const auto tipAt = [&w](int row, int column) {
        QToolTip::hideText();
        QWidget* viewport = w.lsvRecords->viewport();
        const QPoint position = cellCentre(w.lsvRecords, row, column);
        QHelpEvent event(QEvent::ToolTip, position, viewport->mapToGlobal(position));
        QApplication::sendEvent(viewport, &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    QCOMPARE(tipAt(2, 0), QStringLiteral("Projects 2026"));
    QCOMPARE(tipAt(0, 2), QStringLiteral("G:"));
    header->resizeSection(2, 80);
    QCOMPARE(tipAt(0, 2), QStringLiteral("List of saved records"));

    // A double click on a column's right edge fits it to its longest text.
    const QPoint edge(header->sectionViewportPosition(0) + header->sectionSize(0) - 1, header->height() / 2);
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, edge);
    const int fitted = header->sectionSize(0);
    QVERIFY2(fitted >= w.lsvRecords->fontMetrics().horizontalAdvance(QStringLiteral("Projects 2026")),
             qPrintable(QString::number(fitted)));
    QCOMPARE(tipAt(2, 0), QStringLiteral("List of saved records"));

    // The next start keeps the user's widths.
    m_window.reset();
    frmMain& next = start();
    QCOMPARE(next.lsvRecords->header()->sectionSize(0), fitted);
    QCOMPARE(next.lsvRecords->header()->sectionSize(2), 80);
}

void TestFrmMainCommands::worksOnAReadOnlyRecordFile()
{
    // root writes through file modes, so for root the file's folder becomes a read-only mount of its own.
    if (::geteuid() == 0) {
        if (::unshare(CLONE_NEWNS) != 0)
            QSKIP("root without the right to mount here cannot make the file read-only");
        QCOMPARE(::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
        const QByteArray folder = QFile::encodeName(m_dir->path());
        QCOMPARE(::mount(folder.constData(), folder.constData(), nullptr, MS_BIND, nullptr), 0);
        QCOMPARE(::mount(nullptr, folder.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);
        m_undo = [folder] { ::umount2(folder.constData(), MNT_DETACH); };
    } else {
        QVERIFY(QFile::setPermissions(dataFile(), QFile::ReadOwner));
    }
    const QByteArray before = SlotBytes::readFile(dataFile());
    frmMain& w = start();
    QCOMPARE(w.lsvRecords->model()->rowCount(), 3);
    QCOMPARE(w.lblStatus->text(),
             QStringLiteral("drvmap.dat may only be read: records can be connected, not changed."));

    // Saves and deletes fail and say so; the edits stay.
    QTimer::singleShot(0, &w, [this] {
        auto* editor = qobject_cast<frmEdit*>(QApplication::activeModalWidget());
        QVERIFY(editor);
        const auto leave = qScopeGuard([editor] { QTest::mouseClick(editor->cmdCancel, Qt::LeftButton); });
        editor->txtRecordName->setText(QStringLiteral("Renamed"));
        click(editor->tlbEdit, "Save");
        QCOMPARE(editor->lblStatus->text(), QStringLiteral("Record not saved: the file may only be read"));
        m_messages.setNextAnswers({Answer::Yes});
        click(editor->tlbEdit, "Clear");
        QCOMPARE(editor->lblStatus->text(), QStringLiteral("Record not deleted: the file may only be read"));
        QCOMPARE(editor->txtRecordName->text(), QStringLiteral("Renamed"));
        QCOMPARE(m_messages.beeps, 2);
    });
    click(w.tlbMain, "Edit");
    QCOMPARE(SlotBytes::readFile(dataFile()), before);

    // Connecting reads the record as usual.
    select(w.lsvRecords, {0});
    click(w.tlbMain, "Connect");
    QCOMPARE(m_wnet.letter(u'G').remoteName, QStringLiteral("\\\\server\\share"));
    QCOMPARE(w.lblStatus->text(), QStringLiteral("Connected to Share."));
}

QTEST_MAIN(TestFrmMainCommands)
#include "tst_frmmain_commands.moc"
