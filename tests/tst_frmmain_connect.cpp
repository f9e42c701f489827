// The main window's connection engine through the fake layer: connect with its dialogs, the Connected Drives
// pane, disconnect, and the auto-connect batch, driven through the real widgets.
#include "records/Crypt.h"
#include "support/MainWindowTest.h"
#include "ui/editor/frmEdit.h"
#include "ui/main/frmLogin.h"
#include "ui/main/frmNewLocalDrive.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTreeWidget>

using Answer = MessageBoxes::Answer;
using Drive = FakeWnet::Drive;

namespace {

// A record as the file holds it; the password is given plain.
QByteArray record(qint16 number, const QByteArray& remote, const QByteArray& drive, char autoMap = 'F',
                  char autoConnect = 'F', char prompt = 'F', const QByteArray& user = "joe",
                  const QString& password = QStringLiteral("pw"))
{
    return SlotBytes::saved("Rec", remote, number, autoConnect, autoMap, drive, user,
                            Crypt::EncryptPassword(password).toLatin1(), prompt);
}

QString light(const frmMain& w)
{
    if (!w.picGreen->isHidden() && w.picRed->isHidden() && w.picRedGrey->isVisibleTo(&w))
        return QStringLiteral("Green");
    if (!w.picRed->isHidden() && w.picGreen->isHidden() && w.picGreenGrey->isVisibleTo(&w))
        return QStringLiteral("Red");
    return w.picRed->isHidden() && w.picGreen->isHidden() ? QString() : QStringLiteral("both");
}

} // namespace

class TestFrmMainConnect : public MainWindowTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void connectsTheCurrentRecord_data();
    void connectsTheCurrentRecord();
    void connectsTheSelectedRecordsInListOrder();
    void keepsItsRecordAndTakesNoInputWhileTheLayerWorks();
    void disconnectsDrives_data();
    void disconnectsDrives();
    void runsTheBatchFromTheWindow();
    void runsUnattendedOnADisplay();

private:
    frmMain& startOn(const QByteArray& records, const QStringList& arguments = {})
    {
        SlotBytes::writeFile(dataFile(), records);
        return start(arguments);
    }
    // The adds and cancels so far: "add F:|\\s\share|password|user", "cancel F:" ("cancel F:!" when forced).
    QStringList changes() const;
    // The light, the status line and the beeps.
    QString outcome(const frmMain& w) const;

    // Answers the modal windows as they open, one step each: "password:<text>", "cancel", "close",
    // "drive:<text>", "automap" or "ok" (OK with nothing chosen).
    QStringList m_steps;
    QStringList m_offered; // each prompt's title; each drive-in-use dialog's letters and notice
    QStringList m_unexpected; // dialogs that opened with no step left for them
    std::function<void()> m_duringDialog;
    QTimer m_answerer;
};

void TestFrmMainConnect::init()
{
    setUp();
    m_steps.clear();
    m_offered.clear();
    m_unexpected.clear();
    m_duringDialog = nullptr;
    m_answerer.setInterval(5);
    connect(&m_answerer, &QTimer::timeout, this, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (m_steps.isEmpty()) {
            m_unexpected << modal->windowTitle();
            modal->close();
            return;
        }
        if (m_duringDialog)
            std::exchange(m_duringDialog, nullptr)();
        const QString step = m_steps.takeFirst();
        if (auto* login = qobject_cast<frmLogin*>(modal)) {
            m_offered << login->windowTitle();
            if (step.startsWith(u"password:")) {
                login->txtPassword->setText(step.mid(9));
                QTest::mouseClick(login->cmdOK, Qt::LeftButton);
            } else if (step == u"cancel") {
                QTest::keyClick(login, Qt::Key_Escape);
            }
        } else if (auto* dialog = qobject_cast<frmNewLocalDrive*>(modal)) {
            QStringList offered;
            for (int i = 0; i < dialog->cmbDrive->count(); ++i)
                offered << dialog->cmbDrive->itemText(i);
            m_offered << offered.join(u' ') + u'|' + dialog->lblNotice->text();
            if (step.startsWith(u"drive:"))
                dialog->cmbDrive->setEditText(step.mid(6));
            dialog->chkAutoMap->setChecked(step == u"automap");
            if (step != u"close")
                QTest::mouseClick(step == u"cancel" ? dialog->cmdCancel : dialog->cmdOk, Qt::LeftButton);
        }
        if (step == u"close")
            modal->close();
    });
    m_answerer.start();
}

void TestFrmMainConnect::cleanup()
{
    m_answerer.stop();
    m_answerer.disconnect();
    tearDown();
    QVERIFY2(m_steps.isEmpty(), qPrintable(m_steps.join(u", ")));
    QVERIFY2(m_unexpected.isEmpty(), qPrintable(m_unexpected.join(u", ")));
}

QStringList TestFrmMainConnect::changes() const
{
    QStringList list;
    for (const FakeWnet::Call& call : std::as_const(m_wnet.calls)) {
        if (call.operation == u"add")
            list << QStringList {QStringLiteral("add ") + call.localName, call.remoteName, call.password, call.userName}
                        .join(u'|');
        else
            list << QStringLiteral("cancel ") + call.localName + (call.force ? QStringLiteral("!") : QString());
    }
    return list;
}

QString TestFrmMainConnect::outcome(const frmMain& w) const
{
    return QStringList {light(w), w.lblStatus->text(), QStringLiteral("beeps %1").arg(m_messages.beeps)}.join(u"; ");
}

void TestFrmMainConnect::connectsTheCurrentRecord_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QString>("localLetters");
    QTest::addColumn<QList<qint32>>("addResults");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("effect"); // the adds, then the outcome

    const QByteArray share = "\\\\srv\\docs";
    const QString docs = QStringLiteral("|\\\\srv\\docs|");
    const QString connected = QStringLiteral("; Green; Connected to Share.; beeps 0");
    const auto row = [](const char* name, const QByteArray& slot, const QStringList& steps, const QString& effect,
                        const QString& localLetters = {}, const QList<qint32>& addResults = {}) {
        QTest::newRow(name) << slot << localLetters << addResults << steps << effect;
    };
    const QByteArray prompted = record(1, share, "F:", 'F', 'F', 'T');
    const QByteArray onG = record(1, share, "G:");
    row("no drive, no Auto Map", record(1, share, ""), {}, "; ; beeps 1");
    row("Auto Map from E", record(1, share, "", 'T'), {}, "add G:" + docs + "pw|joe" + connected, "EF");
    row("E to Z taken", record(1, share, "", 'T'), {},
        "add [:" + docs + "pw|joe; Red; ERROR: Bad Device - Connect Failed!; beeps 1", "EFGHIJKLMNOPQRSTUVWXYZ");
    // The in-use check keeps case, so a lower-case letter reaches the layer, which finds it taken.
    row("lower-case letter in use", record(1, share, "g:"), {},
        "add g:" + docs + "pw|joe; Red; ERROR: Local Drive Already Assigned! - Connect Failed!; beeps 1", "G");
    row("wrong password", record(1, share, "F:"), {},
        "add F:" + docs + "pw|joe; Red; ERROR: Invalid Password! - Connect Failed!; beeps 1", {}, {86});
    row("prompt cancelled", prompted, {"cancel"}, "Green; Connect Cancelled; beeps 0");
    row("prompt closed", prompted, {"close"}, "Green; Connect Cancelled; beeps 0");
    row("prompt confirmed empty", prompted, {"password:"}, "add F:" + docs + "|joe" + connected);
    // OK with no drive chosen beeps and leaves the dialog open.
    row("drive in use, another chosen", record(1, share, "G:", 'F', 'F', 'T'), {"ok", "drive:h:", "password:typed"},
        "add h:" + docs + "typed|joe; Green; Connected to Share.; beeps 1", "G");
    row("drive in use twice, then Auto Map", onG, {"drive:H:", "automap"}, "add E:" + docs + "pw|joe" + connected,
        "GH");
    row("drive in use, cancelled", onG, {"cancel"}, "Red; Connect Cancelled!; beeps 0", "G");
    row("drive in use, closed", onG, {"close"}, "Red; Connection in progress......; beeps 0", "G");
}

void TestFrmMainConnect::connectsTheCurrentRecord()
{
    QFETCH(QByteArray, slot);
    QFETCH(QString, localLetters);
    QFETCH(QList<qint32>, addResults);
    QFETCH(QStringList, steps);
    QFETCH(QString, effect);
    for (const QChar letter : localLetters)
        m_wnet.setLetter(letter, {Drive::Local, {}});
    m_wnet.setNextAddResults(addResults);
    frmMain& w = startOn(slot);
    m_steps = steps;
    w.Connect_Click();
    QCOMPARE((changes() << outcome(w)).join(u"; "), effect);
    if (QTest::currentDataTag() == QByteArrayView("drive in use twice, then Auto Map")) {
        // E is never offered; each dialog lists the letters free when it opened, and names the drive in use.
        QCOMPARE(m_offered.size(), 2);
        QVERIFY(m_offered[0].startsWith(u"F: I: J:"));
        QCOMPARE(m_offered[0].section(u'|', 1),
                 QStringLiteral("You have attempted to map:\n\\\\srv\\docs\nTo local drive G: which is already in "
                                "use.\nPlease select a new local drive."));
        QVERIFY(m_offered[1].contains(u"To local drive H: which"));
    }
}

void TestFrmMainConnect::connectsTheSelectedRecordsInListOrder()
{
    frmMain& w = startOn(record(1, "\\\\a\\one", "F:") + SlotBytes::deleted() + record(3, "\\\\a\\three", "G:")
                         + record(4, "\\\\a\\four", "H:", 'F', 'F', 'F', "ann", QStringLiteral("x")));
    select(w.lsvRecords, {2, 0});
    w.mnuConnectDrv->trigger();
    QCOMPARE(changes(), QStringList({"add F:|\\\\a\\one|pw|joe", "add H:|\\\\a\\four|x|ann"}));
    // Loaded to be connected, not made current: afterwards the editor holds its current record again.
    QCOMPARE(w.editor().CurrentRec, qint16(1));
    QCOMPARE(w.editor().txtRemoteName->text(), QStringLiteral("\\\\a\\one"));

    // The pane's current row must be selected; no current row at all counts the same.
    for (const bool withCurrent : {true, false}) {
        m_messages.beeps = 0;
        w.lblStatus->clear();
        select(w.lsvRecords, {0});
        w.lsvRecords->selectionModel()->setCurrentIndex(
            withCurrent ? w.lsvRecords->model()->index(1, 0) : QModelIndex(), QItemSelectionModel::NoUpdate);
        w.mnuConnectDrv->trigger();
        QCOMPARE(outcome(w), QStringLiteral("Red; Can't Connect! No record selected.; beeps 1"));
    }
    QCOMPARE(changes().size(), 2);
}

void TestFrmMainConnect::keepsItsRecordAndTakesNoInputWhileTheLayerWorks()
{
    frmMain& w
        = startOn(record(1, "\\\\a\\one", "F:", 'F', 'F', 'T') + record(2, "\\\\b\\two", "G:", 'F', 'F', 'F', "eve"));
    w.Timer->start();
    QSemaphore proceed;
    bool checked = false;
    // Runs on the window's thread while the add is held on the layer's.
    const auto whileHeld = [&] {
        // Whatever happens, the add goes on, so that the test cannot hang.
        const auto release = qScopeGuard([&] { proceed.release(); });
        QCOMPARE(outcome(w), QStringLiteral("Red; Connection in progress......; beeps 0"));
        const qint32 ticks = w.TickCount;
        QTRY_VERIFY_WITH_TIMEOUT(w.TickCount > ticks, 3000);
        // Neither a click, the close box nor Ctrl+Q reaches the window, and no second connect starts.
        QSignalSpy ended(&w, &frmMain::ended);
        const QModelIndex current = w.lsvRecords->currentIndex();
        const QRect secondRow = w.lsvRecords->visualRect(w.lsvRecords->model()->index(1, 0));
        QTest::mouseClick(w.lsvRecords->viewport(), Qt::LeftButton, {}, secondRow.center());
        QCOMPARE(w.lsvRecords->currentIndex(), current);
        w.close();
        // The prompt has gone: the window is the active one again, where shortcuts work.
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(w.windowHandle(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(w.isVisible() && ended.isEmpty());
        w.Connect_Click();
        QCOMPARE(w.lblStatus->text(), QStringLiteral("Connection in progress......"));
        checked = true;
    };
    m_wnet.onAdd = [&] {
        QMetaObject::invokeMethod(this, whileHeld, Qt::QueuedConnection);
        proceed.acquire();
    };
    // While the prompt is open another record is loaded, as a click handled meanwhile would.
    m_duringDialog = [&w] { w.editor().GetRecord(2, true); };
    m_steps = {QStringLiteral("password:secret")};
    w.Connect_Click();
    QVERIFY(checked);
    QCOMPARE(m_offered, QStringList({"Login: \\\\a\\one"}));
    QCOMPARE((changes() << outcome(w)).join(u"; "),
             QStringLiteral("add F:|\\\\a\\one|secret|joe; Green; Connected to Share.; beeps 0"));
}

void TestFrmMainConnect::disconnectsDrives_data()
{
    QTest::addColumn<QString>("drives"); // "listed"; "gone" behind the window's back once listed; "none"
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<bool>("all"); // Disconnect All rather than Disconnect
    QTest::addColumn<QString>("effect"); // the cancels, the questions, the pane, then the outcome

    const auto row = [](const char* name, const char* drives, const QList<int>& selected, const QList<Answer>& answers,
                        bool all, const QString& effect) {
        QTest::newRow(name) << QString::fromLatin1(drives) << selected << answers << all << effect;
    };
    const QString full = QStringLiteral("pane F:=\\\\s\\f G:=\\\\s\\g H:=\\\\s\\h K:=");
    const QString inUse = QStringLiteral("Drive G: is in use. Click Ok to disconnect anyway.");
    // Taken in list order; the busy drive is asked about, and OK forces it.
    row("busy drive, OK", "listed", {1, 0}, {Answer::Ok}, false,
        "cancel F:; cancel G:; cancel G:!; " + inUse
            + "; pane H:=\\\\s\\h K:=; Green; Net Disconnection Successful!; beeps 0");
    // Cancel keeps the drive and the status line.
    row("busy drive, Cancel", "listed", {1}, {Answer::Cancel}, false,
        "cancel G:; " + inUse + "; " + full + "; Green; ; beeps 0");
    row("drives gone", "gone", {2}, {}, false,
        "cancel H:; pane ; Red; ERROR: Device Is Not Connected! -Disconnect Failed!; beeps 1");
    row("nothing selected", "listed", {}, {}, false,
        full + "; Red; Can't Disconnect! No connected drive selected.; beeps 1");
    row("Disconnect All", "listed", {}, {Answer::Ok}, true,
        "cancel F:; cancel G:; cancel G:!; cancel H:; cancel K:; " + inUse
            + "; pane ; Green; Net Disconnection Successful!; beeps 0");
    // On an empty pane Disconnect All does nothing at all, while Disconnect complains.
    row("Disconnect All, empty pane", "none", {}, {}, true, "pane ; ; ; beeps 0");
    row("Disconnect, empty pane", "none", {}, {}, false, "pane ; Red; Can't Disconnect! No connected drives.; beeps 1");
}

void TestFrmMainConnect::disconnectsDrives()
{
    QFETCH(QString, drives);
    QFETCH(QList<int>, selected);
    QFETCH(QList<Answer>, answers);
    QFETCH(bool, all);
    QFETCH(QString, effect);
    if (drives != u"none") {
        m_wnet.setLetter(u'F', {Drive::Network, QStringLiteral("\\\\s\\f")});
        m_wnet.setLetter(u'G', {Drive::Busy, QStringLiteral("\\\\s\\g")});
        m_wnet.setLetter(u'H', {Drive::Network, QStringLiteral("\\\\s\\h")});
        m_wnet.setLetter(u'J', {Drive::Local, {}});
        m_wnet.setLetter(u'K', {Drive::Network, {}}); // the layer cannot name it
    }
    frmMain& w = startOn({});
    for (const int row : selected)
        w.lsvConnections->topLevelItem(row)->setSelected(true);
    if (drives == u"gone")
        m_wnet = FakeWnet();
    m_messages.setNextAnswers(answers);
    (all ? w.mnuDisconnectAll : w.mnuDeleteNow)->trigger();

    QStringList seen = changes();
    for (const MessageBoxes::Message& asked : std::as_const(m_messages.asked)) {
        QCOMPARE(asked.buttons, MessageBoxes::Buttons::OkCancel);
        seen << asked.text;
    }
    QStringList pane;
    for (int row = 0; row < w.lsvConnections->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = w.lsvConnections->topLevelItem(row);
        pane << item->text(0).trimmed() + u'=' + item->text(1);
    }
    seen << QStringLiteral("pane ") + pane.join(u' ') << outcome(w);
    QCOMPARE(seen.join(u"; "), effect);
}

void TestFrmMainConnect::runsTheBatchFromTheWindow()
{
    frmMain& w = startOn(record(1, "\\\\a\\one", "", 'T', 'T') + record(2, "\\\\a\\two", "G:", 'F', 'T', 'T')
                         + record(3, "\\\\a\\three", "H:") + record(4, "\\\\a\\four", "I:", 'F', 'T'));
    m_wnet.setNextAddResults({0, 86});
    w.editor().CurrentRec = 3;
    w.mnuAutoConnect->trigger();
    QVERIFY(!w.centralWidget()->isEnabled());

    // The prompt of record 2 stays usable with the window disabled, and ticks meanwhile start nothing.
    m_duringDialog = [&w] {
        w.Timer_Timer();
        w.Timer_Timer();
    };
    m_steps = {QStringLiteral("cancel")};
    QList<int> addsPerTick;
    const qint32 first = w.TickCount + 1;
    while (w.AutoConnectRunning || w.StartAutoConnect) {
        QVERIFY(w.TickCount < first + 10);
        w.Timer_Timer();
        addsPerTick << int(changes().size());
    }
    // A tick starts the batch; then one due record a tick from record 1, up to the fourth empty slot. The two ticks
    // under the prompt only count.
    QCOMPARE(w.TickCount, first + 7);
    QCOMPARE(addsPerTick, QList<int>({0, 1, 1, 1, 2, 2}));
    QCOMPARE(changes(), QStringList({"add E:|\\\\a\\one|pw|joe", "add I:|\\\\a\\four|pw|joe"}));
    QVERIFY(w.centralWidget()->isEnabled());
    QCOMPARE(w.editor().CurrentRec, qint16(1));
    QCOMPARE(w.editor().txtRemoteName->text(), QStringLiteral("\\\\a\\one"));
    // The failure is not hidden behind the end of the batch.
    QCOMPARE(outcome(w), QStringLiteral("Red; Auto Connect Done. ERROR: Invalid Password! - Connect Failed!; beeps 1"));

    // The next batch has no failure; a cancelled prompt is none.
    m_steps = {QStringLiteral("cancel")};
    w.mnuAutoConnect->trigger();
    while (w.AutoConnectRunning || w.StartAutoConnect)
        w.Timer_Timer();
    QCOMPARE(outcome(w), QStringLiteral("Green; Auto Connect Done.; beeps 1"));
}

// The prompt waits for its answer, and a failure shows the window, which takes no input until the batch is done; a
// record without a drive is reported at the end but shows nothing by itself. Without a display, drvmap -auto is run
// for real by its own test.
void TestFrmMainConnect::runsUnattendedOnADisplay()
{
    frmMain& w = startOn(record(1, "\\\\a\\one", "F:", 'F', 'T') + record(2, "\\\\a\\two", "G:", 'F', 'T', 'T')
                             + record(3, "\\\\a\\three", "", 'F', 'T') + record(4, "\\\\a\\four", "H:", 'F', 'T'),
                         {QStringLiteral("-auto")});
    m_wnet.setNextAddResults({0, 0, 86});
    QSignalSpy ended(&w, &frmMain::ended);
    m_steps = {QStringLiteral("password:pw")};
    while (w.AutoConnectRunning || w.StartAutoConnect) {
        QVERIFY(w.TickCount < 20);
        w.Timer_Timer();
        QCOMPARE(w.isVisible(), changes().size() == 3);
        if (w.isVisible() && w.AutoConnectRunning) {
            click(w.tlbMain, "Disconnect");
            QVERIFY(!w.lblStatus->text().startsWith(u"Can't"));
        }
    }
    QVERIFY(!w.AutoMode);
    QCOMPARE(ended.size(), 0);
    QCOMPARE(w.lblStatus->text(), QStringLiteral("Auto Connect Done. ERROR: Invalid Password! - Connect Failed!"));
}

QTEST_MAIN(TestFrmMainConnect)
#include "tst_frmmain_connect.moc"
