// The main window on the desktop, through the fake layer: drags between the panes, the notification-area icon, and
// a second start's request for the auto-connect batch.
#include "support/MainWindowTest.h"
#include "ui/about/frmHelp.h"
#include "ui/editor/frmEdit.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QThread>
#include <QTreeWidget>

#include <atomic>

using Answer = MessageBoxes::Answer;

namespace {

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

class TestFrmMainDesktop : public MainWindowTest
{
    Q_OBJECT

private slots:
    void init() { setUpRecords(); }
    void cleanup() { tearDown(); }
    void dropsBetweenPanes_data();
    void dropsBetweenPanes();
    void dropsOneDriveForANewRecord();
    void restoresFromTheTray();
    void startsAnAskedBatchWhenFree();
    void endsFromTheIconWhileBusy();
};

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
    QCOMPARE(m_messages.asked[0].title + u'|' + m_messages.asked[0].text,
             QStringLiteral("Drag Error|Please only drag one item at a time."));
    QCOMPARE(m_messages.asked[0].icon, MessageBoxes::Icon::None);

    // One drive: the editor opens on the first free slot with its remote name, asking nothing about record 1.
    select(w.lsvConnections, {1});
    const QString opened = whileModal([&] { dropOn(w.lsvRecords); },
                                      [](QWidget* window) {
                                          auto* editor = qobject_cast<frmEdit*>(window);
                                          return QString::number(editor->CurrentRec) + u'|'
                                              + editor->txtRemoteName->text() + u'|' + editor->txtRecordName->text()
                                              + editor->cmbDrive->currentText();
                                      },
                                      true);
    QCOMPARE(opened, QStringLiteral("frmEdit|4|\\\\srv\\b|"));
    QCOMPARE(m_messages.asked.size(), 1);
    QCOMPARE(SlotBytes::readFile(dataFile()), before);
}

// The icon's clicks for real are the tray's own test.
void TestFrmMainDesktop::restoresFromTheTray()
{
    // Minimising hides the window; each click that restores brings it back in its normal state.
    frmMain& w = start();
    for (const auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick}) {
        w.showMinimized();
        QTRY_VERIFY(!w.isVisible());
        w.trayIcon_Activated(QSystemTrayIcon::MiddleClick);
        QVERIFY(!w.isVisible());
        w.trayIcon_Activated(reason);
        QVERIFY(w.isVisible());
        QVERIFY(!w.isMinimized());
    }
    // The icon's menu restores it too.
    w.hide();
    w.mPopRestore->trigger();
    QVERIFY(w.isVisible());

    // Where the desktop has no tray, a minimised window stays in the task bar.
    frmMain& trayless = start({}, nullptr, false);
    trayless.showMinimized();
    QTest::qWait(20);
    QVERIFY(trayless.isVisible());
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

void TestFrmMainDesktop::endsFromTheIconWhileBusy()
{
    // A batch started from the window holds the window, not the icon's menu nor the help window beside it.
    frmMain& w = start();
    w.mnuHelp->trigger();
    const QPointer<frmHelp> help = w.findChild<frmHelp*>();
    w.mnuAutoConnect->trigger();
    QTest::mouseClick(help->cmdDone, Qt::LeftButton);
    QTRY_VERIFY(!help);
    QSignalSpy endings(&w, &frmMain::ended);
    w.mPopupSys->popup(QPoint(200, 200));
    QTest::mouseClick(w.mPopupSys, Qt::LeftButton, {}, w.mPopupSys->actionGeometry(w.mPopExit).center());
    QCOMPARE(endings.size(), 1);

    // Exit during a connect ends the program once the connect is done.
    frmMain& busy = start();
    QSignalSpy busyEndings(&busy, &frmMain::ended);
    std::atomic<bool> asked = false;
    m_wnet.onAdd = [&] {
        QMetaObject::invokeMethod(
            &busy,
            [&] {
                busy.mPopExit->trigger();
                asked = true;
            },
            Qt::QueuedConnection);
        for (int wait = 0; wait < 500 && !asked; ++wait)
            QThread::msleep(10);
    };
    select(busy.lsvRecords, {0});
    busy.mnuConnectDrv->trigger();
    QVERIFY(asked);
    QCOMPARE(adds(), QStringList {QStringLiteral("G:")});
    QCOMPARE(busyEndings.size(), 1);
}

QTEST_MAIN(TestFrmMainDesktop)
#include "tst_frmmain_desktop.moc"
