// The main window on the desktop, through the fake layer: drags between the panes, the notification-area icon,
// the secondary windows, and a second start's request for the auto-connect batch.
#include "support/FakeWnet.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/SlotBytes.h"
#include "ui/about/frmHelp.h"
#include "ui/editor/frmEdit.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

using Answer = MessageBoxes::Answer;
using Drive = FakeWnet::Drive;
using Command = std::function<void(frmMain&)>;

namespace {

void select(QAbstractItemView* pane, QList<int> rows)
{
    pane->selectionModel()->clear();
    for (const int row : rows)
        pane->selectionModel()->setCurrentIndex(pane->model()->index(row, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// A mouse button pressed over a pane and never released there, as when a drag starts from it.
void pressIn(QAbstractItemView* pane)
{
    QTest::mousePress(pane->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
}

// Drops on the pane what a drag brings; whether the pane took it.
bool dropOn(QAbstractItemView* pane)
{
    QMimeData data;
    data.setText(QStringLiteral("from anywhere"));
    const QPoint at = pane->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(pane->viewport(), &enter);
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(pane->viewport(), &drop);
    return enter.isAccepted() && drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

} // namespace

class TestFrmMainDesktop : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void dropsBetweenPanes_data();
    void dropsBetweenPanes();
    void dropsOneDriveForANewRecord();
    void restoresFromTheTray();
    void removesTheIconAtEveryEnd_data();
    void removesTheIconAtEveryEnd();
    void opensTheSecondaryWindows_data();
    void opensTheSecondaryWindows();
    void startsAnAskedBatchWhenFree();

private:
    frmMain& start(QStringList arguments = {}, bool tray = true);
    // Runs command and waits for the modal window it opens; its name, then "|" and what describe reads from it. The
    // window is closed, whatever the checks find.
    QString whileModal(const std::function<void()>& command, const std::function<QString(QWidget*)>& describe = {});
    QString dataFile() const { return m_dir->filePath(QStringLiteral("drvmap.dat")); }
    QStringList adds() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedMessageBoxes m_messages;
    FakeWnet m_wnet;
    std::unique_ptr<frmMain> m_window;
};

void TestFrmMainDesktop::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(SlotBytes::writeFile(dataFile(),
                                 SlotBytes::saved("Office", "\\\\server\\share", 1, 'T', 'F', "G:")
                                     + SlotBytes::saved("Home", "\\\\nas\\media", 2, 'F', 'F', "M:")
                                     + SlotBytes::saved("Projects", "\\\\fileserver\\projects", 3, 'F', 'F', "P:")));
    m_messages.reset();
    m_wnet = FakeWnet();
    m_wnet.setLetter(u'F', {Drive::Network, QStringLiteral("\\\\srv\\a")});
    m_wnet.setLetter(u'H', {Drive::Network, QStringLiteral("\\\\srv\\b")});
}

void TestFrmMainDesktop::cleanup()
{
    m_window.reset();
    QCOMPARE(m_messages.unexpected, 0);
}

frmMain& TestFrmMainDesktop::start(QStringList arguments, bool tray)
{
    frmMain::Services services {m_messages, m_wnet, m_dir->path()};
    services.trayAvailable = tray ? [] { return true; } : [] { return false; };
    m_window = std::make_unique<frmMain>(services, std::move(arguments));
    m_window->Form_Load();
    m_window->Timer->stop();
    return *m_window;
}

QString TestFrmMainDesktop::whileModal(const std::function<void()>& command,
                                       const std::function<QString(QWidget*)>& describe)
{
    QString seen;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || !seen.isEmpty())
            return;
        seen = modal->objectName() + u'|' + (describe ? describe(modal) : QString());
        modal->close();
    });
    watcher.start(5);
    command();
    [[maybe_unused]] const bool opened = QTest::qWaitFor([&seen] { return !seen.isEmpty(); }, 2000);
    QTest::qWait(20);
    return seen;
}

QStringList TestFrmMainDesktop::adds() const
{
    QStringList drives;
    for (const FakeWnet::Call& call : m_wnet.calls) {
        if (call.operation == u"add")
            drives << call.localName;
    }
    return drives;
}

void TestFrmMainDesktop::dropsBetweenPanes_data()
{
    QTest::addColumn<QString>("pressed"); // the pane a button went down in and never came up: the drag's source
    QTest::addColumn<bool>("releasedLater"); // and then a click there, which reports the release
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QStringList>("connected");

    const QStringList all {QStringLiteral("G:"), QStringLiteral("M:"), QStringLiteral("P:")};
    QTest::newRow("records on drives") << "records" << false << "drives" << true << all;
    QTest::newRow("from outside") << "" << false << "drives" << false << QStringList();
    QTest::newRow("records on records") << "records" << false << "records" << false << QStringList();
    QTest::newRow("drives on drives") << "drives" << false << "drives" << false << QStringList();
    QTest::newRow("released, then from outside") << "records" << true << "drives" << false << QStringList();
}

void TestFrmMainDesktop::dropsBetweenPanes()
{
    QFETCH(QString, pressed);
    QFETCH(bool, releasedLater);
    QFETCH(QString, target);
    QFETCH(bool, taken);
    QFETCH(QStringList, connected);
    frmMain& w = start();
    QAbstractItemView* records = w.lsvRecords;
    QAbstractItemView* drives = w.lsvConnections;
    if (!pressed.isEmpty())
        pressIn(pressed == u"records" ? records : drives);
    if (releasedLater)
        QTest::mouseClick(records->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    // Rows are chosen after the press, which would change the selection; a drag does not.
    select(records, {2, 0, 1});
    select(drives, {0});
    m_wnet.calls.clear();

    QCOMPARE(dropOn(target == u"records" ? records : drives), taken);
    QTest::qWait(20);
    QCOMPARE(adds(), connected);
    // Whatever was connected, the editor holds its current record again, record 1.
    QCOMPARE(w.editor().txtRecordName->text(), QStringLiteral("Office"));
    QVERIFY(!w.findChild<frmEdit*>()->isVisible());

    // A flag left set by a drag that ended elsewhere makes any later drop connect the rows then selected.
    if (pressed == u"records" && !releasedLater) {
        m_wnet = FakeWnet();
        select(records, {1});
        m_wnet.calls.clear();
        QVERIFY(dropOn(drives));
        QTRY_COMPARE(adds(), QStringList {QStringLiteral("M:")});
    }
}

void TestFrmMainDesktop::dropsOneDriveForANewRecord()
{
    frmMain& w = start();
    const QByteArray before = SlotBytes::readFile(dataFile());
    // Record 3 is connected from its pane first: that loads it into the editor's controls.
    select(w.lsvRecords, {2});
    w.mnuConnectDrv->trigger();
    QCOMPARE(adds(), QStringList {QStringLiteral("P:")});

    // Two drives dragged: the message, and nothing else.
    pressIn(w.lsvConnections);
    select(w.lsvConnections, {0, 1});
    m_messages.setNextAnswers({Answer::Ok});
    QVERIFY(dropOn(w.lsvRecords));
    QTRY_COMPARE(m_messages.asked.size(), 1);
    QCOMPARE(m_messages.asked.last().title, QStringLiteral("Drag Error"));
    QCOMPARE(m_messages.asked.last().text, QStringLiteral("Please only drag one item at a time."));
    QCOMPARE(m_messages.asked.last().icon, MessageBoxes::Icon::None);

    // One drive: the editor opens on the first free slot with its remote name, asking nothing about record 1.
    select(w.lsvConnections, {1});
    const QString opened = whileModal([&] { dropOn(w.lsvRecords); },
                                      [](QWidget* window) {
                                          auto* editor = qobject_cast<frmEdit*>(window);
                                          return QString::number(editor->CurrentRec) + u'|'
                                              + editor->txtRemoteName->text() + u'|' + editor->txtRecordName->text()
                                              + editor->cmbDrive->currentText();
                                      });
    QCOMPARE(opened, QStringLiteral("frmEdit|4|\\\\srv\\b|"));
    QCOMPARE(m_messages.asked.size(), 1);
    QCOMPARE(SlotBytes::readFile(dataFile()), before);
}

void TestFrmMainDesktop::restoresFromTheTray()
{
    // Started unattended, the window stays hidden and the icon is there; a left click shows the window.
    frmMain& w = start({QStringLiteral("-auto")});
    auto* icon = w.findChild<QSystemTrayIcon*>();
    QVERIFY(icon->isVisible());
    QCOMPARE(icon->toolTip(), QStringLiteral("sharemount"));
    QVERIFY(!w.isVisible());
    w.trayIcon_Activated(QSystemTrayIcon::Trigger);
    QVERIFY(w.isVisible());

    // Minimising hides the window; each click that restores brings it back in its normal state.
    for (const auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick}) {
        w.showMinimized();
        QTRY_VERIFY(!w.isVisible());
        w.trayIcon_Activated(QSystemTrayIcon::MiddleClick);
        QVERIFY(!w.isVisible());
        w.trayIcon_Activated(reason);
        QVERIFY(w.isVisible());
        QVERIFY(!w.isMinimized());
    }
    // The right button opens the icon's menu, also while the window is hidden; its Restore shows the window.
    w.hide();
    w.trayIcon_Activated(QSystemTrayIcon::Context);
    QVERIFY(w.mPopupSys->isVisible());
    w.mPopRestore->trigger();
    w.mPopupSys->hide();
    QVERIFY(w.isVisible());

    // Where the desktop has no tray, a minimised window stays in the task bar.
    frmMain& trayless = start({}, false);
    trayless.showMinimized();
    QTest::qWait(20);
    QVERIFY(trayless.isVisible());
}

void TestFrmMainDesktop::removesTheIconAtEveryEnd_data()
{
    QTest::addColumn<Command>("end");
    QTest::newRow("mnuExit") << Command([](frmMain& w) { w.mnuExit->trigger(); });
    QTest::newRow("Exit key") << Command([](frmMain& w) {
        QAction* exit = w.tlbMain->findChild<QAction*>(QStringLiteral("Exit"));
        QTest::mouseClick(w.tlbMain->widgetForAction(exit), Qt::LeftButton);
    });
    QTest::newRow("close box") << Command([](frmMain& w) { w.close(); });
    QTest::newRow("mPopExit") << Command([](frmMain& w) { w.mPopExit->trigger(); });
}

void TestFrmMainDesktop::removesTheIconAtEveryEnd()
{
    QFETCH(Command, end);
    frmMain& w = start();
    QSignalSpy endings(&w, &frmMain::ended);
    end(w);
    QCOMPARE(endings.size(), 1);
    QVERIFY(!w.findChild<QSystemTrayIcon*>()->isVisible());
}

void TestFrmMainDesktop::opensTheSecondaryWindows_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("window");
    const auto key = [](const char* name) {
        return Command([name](frmMain& w) {
            QAction* action = w.tlbMain->findChild<QAction*>(QLatin1String(name));
            QTest::mouseClick(w.tlbMain->widgetForAction(action), Qt::LeftButton);
        });
    };
    const auto item
        = [](QAction* frmMain::*action) { return Command([action](frmMain& w) { (w.*action)->trigger(); }); };
    QTest::newRow("AutoStart") << key("AutoStart") << "frmAutoStart|";
    QTest::newRow("mnuAutoStartSetup") << item(&frmMain::mnuAutoStartSetup) << "frmAutoStart|";
    QTest::newRow("mnuAbout") << item(&frmMain::mnuAbout) << "frmAbout|";
    QTest::newRow("Command1") << Command([](frmMain& w) { QTest::mouseClick(w.Command1, Qt::LeftButton); })
                              << "frmAbout|";
    // The help window is not modal: it stays beside the main window, one however often it is opened.
    QTest::newRow("Help") << key("Help") << "help";
    QTest::newRow("mnuHelp") << item(&frmMain::mnuHelp) << "help";
    QTest::newRow("F1") << Command([](frmMain& w) { QTest::keyClick(&w, Qt::Key_F1); }) << "help";
}

void TestFrmMainDesktop::opensTheSecondaryWindows()
{
    QFETCH(Command, command);
    QFETCH(QString, window);
    frmMain& w = start();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    if (window != u"help") {
        QCOMPARE(whileModal([&] { command(w); }), window);
        return;
    }
    command(w);
    command(w);
    QCOMPARE(w.findChildren<frmHelp*>().size(), 1);
    QVERIFY(w.findChild<frmHelp*>()->isVisible());
    QVERIFY(!QApplication::activeModalWidget());
}

void TestFrmMainDesktop::startsAnAskedBatchWhenFree()
{
    frmMain& w = start();
    // While the user works in the editor, the batch would load records into it: it waits.
    w.requestAutoConnect();
    const QString waited = whileModal([&] { w.mnuEditRecords->trigger(); },
                                      [&w](QWidget*) {
                                          w.Timer_Timer();
                                          return QString::number(w.StartAutoConnect);
                                      });
    QCOMPARE(waited, QStringLiteral("frmEdit|0"));
    w.Timer_Timer();
    QVERIFY(w.StartAutoConnect);

    // Asked for again while that batch runs, no second one starts over it.
    w.requestAutoConnect();
    w.Timer_Timer();
    QVERIFY(w.AutoConnectRunning);
    for (int tick = 0; tick < 20 && w.AutoConnectRunning; ++tick)
        w.Timer_Timer();
    QCOMPARE(adds(), QStringList {QStringLiteral("G:")});
    w.Timer_Timer();
    QVERIFY(!w.StartAutoConnect);
}

QTEST_MAIN(TestFrmMainDesktop)
#include "tst_frmmain_desktop.moc"
