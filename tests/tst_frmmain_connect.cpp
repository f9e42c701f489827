// The main window's connection engine through the fake layer: connect with its dialogs, the Connected Drives
// pane, disconnect, and the auto-connect batch, driven through the real widgets.
#include "records/Crypt.h"
#include "support/FakeWnet.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/SlotBytes.h"
#include "ui/editor/frmEdit.h"
#include "ui/main/frmLogin.h"
#include "ui/main/frmMain.h"
#include "ui/main/frmNewLocalDrive.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

#include <cstdio>

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

QStringList rows(const QTreeWidget* pane)
{
    QStringList list;
    for (int row = 0; row < pane->topLevelItemCount(); ++row)
        list << pane->topLevelItem(row)->text(0) + u'=' + pane->topLevelItem(row)->text(1);
    return list;
}

void click(QToolBar* toolbar, const char* key)
{
    QAction* action = toolbar->findChild<QAction*>(QLatin1String(key));
    QTest::mouseClick(toolbar->widgetForAction(action), Qt::LeftButton);
}

} // namespace

class TestFrmMainConnect : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void connectsTheCurrentRecord_data();
    void connectsTheCurrentRecord();
    void connectsTheSelectedRecordsInListOrder();
    void keepsItsRecordAndTakesNoInputWhileTheLayerWorks();
    void listsAndDisconnectsDrives();
    void runsTheBatchFromTheWindow();
    void runsUnattended();

private:
    frmMain& start(const QByteArray& records, const QStringList& arguments = {}, std::FILE* headless = nullptr);
    // Answers the modal windows as they open, one step each: "password:<text>", "cancel", "close",
    // "drive:<text>", "automap" or "ok" (OK with nothing chosen).
    void answerDialogs(const QStringList& steps);
    QStringList adds() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedMessageBoxes m_messages;
    std::unique_ptr<FakeWnet> m_wnet;
    std::unique_ptr<frmMain> m_window;
    QStringList m_steps;
    QStringList m_offered; // what each drive-in-use dialog offered, and its notice
    QStringList m_unexpected; // dialogs that opened with no step left for them
    std::function<void()> m_duringDialog;
    QTimer m_answerer;
};

void TestFrmMainConnect::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_wnet = std::make_unique<FakeWnet>();
    m_messages.reset();
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
            else if (step == u"automap")
                dialog->chkAutoMap->setChecked(true);
            if (step == u"cancel")
                QTest::mouseClick(dialog->cmdCancel, Qt::LeftButton);
            else if (step != u"close")
                QTest::mouseClick(dialog->cmdOk, Qt::LeftButton);
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
    m_window.reset();
    QVERIFY2(m_steps.isEmpty(), qPrintable(m_steps.join(u", ")));
    QVERIFY2(m_unexpected.isEmpty(), qPrintable(m_unexpected.join(u", ")));
    QCOMPARE(m_messages.unexpected, 0);
}

frmMain& TestFrmMainConnect::start(const QByteArray& records, const QStringList& arguments, std::FILE* headless)
{
    const QString folder = m_dir->filePath(QStringLiteral("data"));
    QDir().mkpath(folder);
    SlotBytes::writeFile(folder + QStringLiteral("/drvmap.dat"), records);
    m_window = std::make_unique<frmMain>(frmMain::Services {m_messages, *m_wnet, folder, headless}, arguments);
    m_window->Form_Load();
    // The tests tick the batch themselves.
    m_window->Timer->stop();
    return *m_window;
}

void TestFrmMainConnect::answerDialogs(const QStringList& steps)
{
    m_steps = steps;
}

// Each add as drive|remote name|password|user.
QStringList TestFrmMainConnect::adds() const
{
    QStringList list;
    for (const FakeWnet::Call& call : std::as_const(m_wnet->calls)) {
        if (call.operation == u"add")
            list << QStringList {call.localName, call.remoteName, call.password, call.userName}.join(u'|');
    }
    return list;
}

void TestFrmMainConnect::connectsTheCurrentRecord_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QString>("localLetters");
    QTest::addColumn<QList<qint32>>("addResults");
    QTest::addColumn<QStringList>("dialogs");
    QTest::addColumn<QStringList>("expectedAdds");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("lightColour");
    QTest::addColumn<int>("beeps");

    const QByteArray share = "\\\\srv\\docs";
    const QString docs = QStringLiteral("\\\\srv\\docs");
    const QString connected = QStringLiteral("Connected to Share.");
    QTest::newRow("no drive, no Auto Map") << record(1, share, "") << QString() << QList<qint32>() << QStringList()
                                           << QStringList() << QString() << QString() << 1;
    QTest::newRow("Auto Map from E") << record(1, share, "", 'T') << QStringLiteral("EF") << QList<qint32>()
                                     << QStringList() << QStringList {"G:|" + docs + "|pw|joe"} << connected << "Green"
                                     << 0;
    QTest::newRow("E to Z taken") << record(1, share, "", 'T') << QStringLiteral("EFGHIJKLMNOPQRSTUVWXYZ")
                                  << QList<qint32>() << QStringList() << QStringList {"[:|" + docs + "|pw|joe"}
                                  << QStringLiteral("ERROR: Bad Device - Connect Failed!") << "Red" << 1;
    // The in-use check keeps case, so a lower-case letter reaches the layer, which finds it taken.
    QTest::newRow("lower-case letter in use")
        << record(1, share, "g:") << QStringLiteral("G") << QList<qint32>() << QStringList()
        << QStringList {"g:|" + docs + "|pw|joe"}
        << QStringLiteral("ERROR: Local Drive Already Assigned! - Connect Failed!") << "Red" << 1;
    QTest::newRow("wrong password") << record(1, share, "F:") << QString() << QList<qint32>({86}) << QStringList()
                                    << QStringList {"F:|" + docs + "|pw|joe"}
                                    << QStringLiteral("ERROR: Invalid Password! - Connect Failed!") << "Red" << 1;
    QTest::newRow("prompt cancelled") << record(1, share, "F:", 'F', 'F', 'T') << QString() << QList<qint32>()
                                      << QStringList {"cancel"} << QStringList() << QStringLiteral("Connect Cancelled")
                                      << "Green" << 0;
    QTest::newRow("prompt closed") << record(1, share, "F:", 'F', 'F', 'T') << QString() << QList<qint32>()
                                   << QStringList {"close"} << QStringList() << QStringLiteral("Connect Cancelled")
                                   << "Green" << 0;
    QTest::newRow("prompt confirmed empty")
        << record(1, share, "F:", 'F', 'F', 'T') << QString() << QList<qint32>() << QStringList {"password:"}
        << QStringList {"F:|" + docs + "||joe"} << connected << "Green" << 0;
    QTest::newRow("drive in use, another chosen")
        << record(1, share, "G:", 'F', 'F', 'T') << QStringLiteral("G") << QList<qint32>()
        << QStringList {"ok", "drive:h:", "password:typed"} << QStringList {"h:|" + docs + "|typed|joe"} << connected
        << "Green" << 1;
    QTest::newRow("drive in use twice, then Auto Map")
        << record(1, share, "G:") << QStringLiteral("GH") << QList<qint32>() << QStringList {"drive:H:", "automap"}
        << QStringList {"E:|" + docs + "|pw|joe"} << connected << "Green" << 0;
    QTest::newRow("drive in use, cancelled")
        << record(1, share, "G:") << QStringLiteral("G") << QList<qint32>() << QStringList {"cancel"} << QStringList()
        << QStringLiteral("Connect Cancelled!") << "Red" << 0;
    QTest::newRow("drive in use, closed")
        << record(1, share, "G:") << QStringLiteral("G") << QList<qint32>() << QStringList {"close"} << QStringList()
        << QStringLiteral("Connection in progress......") << "Red" << 0;
}

void TestFrmMainConnect::connectsTheCurrentRecord()
{
    QFETCH(QByteArray, slot);
    QFETCH(QString, localLetters);
    QFETCH(QList<qint32>, addResults);
    QFETCH(QStringList, dialogs);
    QFETCH(QStringList, expectedAdds);
    QFETCH(QString, status);
    QFETCH(QString, lightColour);
    QFETCH(int, beeps);
    for (const QChar letter : localLetters)
        m_wnet->setLetter(letter, {Drive::Local, {}});
    m_wnet->setNextAddResults(addResults);
    frmMain& w = start(slot);
    answerDialogs(dialogs);

    w.Connect_Click();
    QCOMPARE(adds(), expectedAdds);
    QCOMPARE(w.lblStatus->text(), status);
    QCOMPARE(light(w), lightColour);
    QCOMPARE(m_messages.beeps, beeps);
    QVERIFY(!w.PassCanceled || status == u"Connect Cancelled");
    if (slot.contains('T') && dialogs.value(0).startsWith(u"password"))
        QCOMPARE(m_offered.value(0), QStringLiteral("Login: \\\\srv\\docs"));
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
    frmMain& w = start(record(1, "\\\\a\\one", "F:") + SlotBytes::deleted() + record(3, "\\\\a\\three", "G:")
                       + record(4, "\\\\a\\four", "H:", 'F', 'F', 'F', "ann", QStringLiteral("x")));
    QItemSelectionModel* selection = w.lsvRecords->selectionModel();
    const auto select = [&](int row, QItemSelectionModel::SelectionFlags flags) {
        selection->setCurrentIndex(w.lsvRecords->model()->index(row, 0), flags | QItemSelectionModel::Rows);
    };
    select(2, QItemSelectionModel::ClearAndSelect);
    select(0, QItemSelectionModel::Select);
    click(w.tlbMain, "Connect");
    QCOMPARE(adds(), QStringList({"F:|\\\\a\\one|pw|joe", "H:|\\\\a\\four|x|ann"}));
    // Loaded to be connected, not made current.
    QCOMPARE(w.editor().CurrentRec, qint16(1));
    QCOMPARE(w.editor().txtRemoteName->text(), QStringLiteral("\\\\a\\four"));

    // The pane's current row must be selected; no current row at all counts the same.
    for (const bool withCurrent : {true, false}) {
        m_messages.beeps = 0;
        w.lblStatus->clear();
        select(0, QItemSelectionModel::ClearAndSelect);
        selection->setCurrentIndex(withCurrent ? w.lsvRecords->model()->index(1, 0) : QModelIndex(),
                                   QItemSelectionModel::NoUpdate);
        w.mnuConnectDrv->trigger();
        QCOMPARE(w.lblStatus->text(), QStringLiteral("Can't Connect! No record selected."));
        QCOMPARE(light(w), QStringLiteral("Red"));
        QCOMPARE(m_messages.beeps, 1);
    }
    QCOMPARE(adds().size(), 2);
}

void TestFrmMainConnect::keepsItsRecordAndTakesNoInputWhileTheLayerWorks()
{
    frmMain& w
        = start(record(1, "\\\\a\\one", "F:", 'F', 'F', 'T') + record(2, "\\\\b\\two", "G:", 'F', 'F', 'F', "eve"));
    w.Timer->start();
    QSemaphore proceed;
    bool checked = false;
    // Runs on the window's thread while the add is held on the layer's.
    const auto whileHeld = [&] {
        // Whatever happens, the add goes on, so that the test cannot hang.
        const auto release = qScopeGuard([&] { proceed.release(); });
        QCOMPARE(w.lblStatus->text(), QStringLiteral("Connection in progress......"));
        QCOMPARE(light(w), QStringLiteral("Red"));
        const qint32 ticks = w.TickCount;
        QTRY_VERIFY_WITH_TIMEOUT(w.TickCount > ticks, 3000);
        // Neither a click nor a close reaches the window, and no second connect starts.
        QSignalSpy ended(&w, &frmMain::ended);
        const QModelIndex current = w.lsvRecords->currentIndex();
        const QRect secondRow = w.lsvRecords->visualRect(w.lsvRecords->model()->index(1, 0));
        QTest::mouseClick(w.lsvRecords->viewport(), Qt::LeftButton, {}, secondRow.center());
        QCOMPARE(w.lsvRecords->currentIndex(), current);
        w.close();
        QVERIFY(w.isVisible() && ended.isEmpty());
        w.Connect_Click();
        QCOMPARE(w.lblStatus->text(), QStringLiteral("Connection in progress......"));
        checked = true;
    };
    m_wnet->onAdd = [&] {
        QMetaObject::invokeMethod(this, whileHeld, Qt::QueuedConnection);
        proceed.acquire();
    };
    // While the prompt is open another record is loaded, as a click handled meanwhile would.
    m_duringDialog = [&w] { w.editor().GetRecord(2, true); };
    answerDialogs({QStringLiteral("password:secret")});
    w.Connect_Click();
    QVERIFY(checked);
    QCOMPARE(adds(), QStringList({"F:|\\\\a\\one|secret|joe"}));
    QCOMPARE(w.lblStatus->text(), QStringLiteral("Connected to Share."));
}

void TestFrmMainConnect::listsAndDisconnectsDrives()
{
    m_wnet->setLetter(u'F', {Drive::Network, QStringLiteral("\\\\s\\f")});
    m_wnet->setLetter(u'G', {Drive::Busy, QStringLiteral("\\\\s\\g")});
    m_wnet->setLetter(u'H', {Drive::Network, QStringLiteral("\\\\s\\h")});
    m_wnet->setLetter(u'J', {Drive::Local, {}});
    m_wnet->setLetter(u'K', {Drive::Network, {}}); // the layer cannot name it
    frmMain& w = start({});
    QCOMPARE(rows(w.lsvConnections), QStringList({" F:=\\\\s\\f", " G:=\\\\s\\g", " H:=\\\\s\\h", " K:="}));
    QCOMPARE(light(w), QStringLiteral("Green"));
    const auto select = [&w](const QList<int>& selected) {
        w.lsvConnections->clearSelection();
        for (const int row : selected)
            w.lsvConnections->topLevelItem(row)->setSelected(true);
    };
    const auto cancels = [this] {
        QStringList list;
        for (const FakeWnet::Call& call : std::exchange(m_wnet->calls, {})) {
            if (call.operation == u"cancel")
                list << call.localName + (call.force ? QStringLiteral("!") : QString());
        }
        return list;
    };

    // The busy drive is asked about; OK forces it.
    select({1, 0});
    m_wnet->calls.clear();
    m_messages.setNextAnswers({Answer::Ok});
    w.mnuDeleteNow->trigger();
    QCOMPARE(cancels(), QStringList({"F:", "G:", "G:!"}));
    QCOMPARE(m_messages.asked.size(), 1);
    QCOMPARE(m_messages.asked[0].title, QStringLiteral("Disconnect Error 2404"));
    QCOMPARE(m_messages.asked[0].text, QStringLiteral("Drive G: is in use. Click Ok to disconnect anyway."));
    QCOMPARE(m_messages.asked[0].buttons, MessageBoxes::Buttons::OkCancel);
    QCOMPARE(m_messages.asked[0].icon, MessageBoxes::Icon::None);
    QCOMPARE(w.lblStatus->text(), QStringLiteral("Net Disconnection Successful!"));
    QCOMPARE(rows(w.lsvConnections), QStringList({" H:=\\\\s\\h", " K:="}));
    QVERIFY(!w.ForceDisconnect);

    // Cancel keeps the drive and the status line; an error is reported; no selection is reported.
    m_wnet->setLetter(u'G', {Drive::Busy, QStringLiteral("\\\\s\\g")});
    w.mnuRefresh->trigger();
    select({0});
    m_messages.setNextAnswers({Answer::Cancel});
    click(w.tlbMain, "Disconnect");
    QCOMPARE(cancels(), QStringList({"G:"}));
    QCOMPARE(w.lblStatus->text(), QStringLiteral("Net Disconnection Successful!"));
    QCOMPARE(rows(w.lsvConnections).size(), 3);
    m_wnet->setNextCancelResults({2250});
    select({1});
    w.mnuDisconnectDrv->trigger();
    QCOMPARE(w.lblStatus->text(), QStringLiteral("ERROR: Device Is Not Connected! -Disconnect Failed!"));
    QCOMPARE(m_messages.beeps, 1);
    QCOMPARE(cancels(), QStringList({"H:"}));
    select({});
    w.mnuDeleteNow->trigger();
    QCOMPARE(w.lblStatus->text(), QStringLiteral("Can't Disconnect! No connected drive selected."));
    QCOMPARE(light(w), QStringLiteral("Red"));
    QCOMPARE(m_messages.beeps, 2);
    QCOMPARE(cancels(), QStringList());

    // Disconnect All goes down the list; on an empty pane it does nothing at all, while Disconnect complains.
    m_messages.setNextAnswers({Answer::Ok});
    click(w.tlbMain, "DisconnectAll");
    QCOMPARE(cancels(), QStringList({"G:", "G:!", "H:", "K:"}));
    QVERIFY(rows(w.lsvConnections).isEmpty());
    QCOMPARE(light(w), QStringLiteral("Green"));
    w.mnuDisconnectAll->trigger();
    QCOMPARE(m_wnet->calls.size(), 0);
    QCOMPARE(w.lblStatus->text(), QStringLiteral("Net Disconnection Successful!"));
    w.mnuDeleteNow_Click();
    QCOMPARE(w.lblStatus->text(), QStringLiteral("Can't Disconnect! No connected drives."));
    QCOMPARE(light(w), QStringLiteral("Red"));
    QCOMPARE(m_messages.beeps, 3);
}

void TestFrmMainConnect::runsTheBatchFromTheWindow()
{
    frmMain& w = start(record(1, "\\\\a\\one", "", 'T', 'T') + record(2, "\\\\a\\two", "G:", 'F', 'T', 'T')
                       + record(3, "\\\\a\\three", "H:") + record(4, "\\\\a\\four", "I:", 'F', 'T'));
    m_wnet->setNextAddResults({0, 86});
    w.editor().CurrentRec = 3;
    click(w.tlbMain, "AutoConnect");
    QVERIFY(!w.isEnabled());
    QCOMPARE(w.editor().CurrentRec, qint16(1));
    QCOMPARE(w.lblStatus->text(), QStringLiteral("Connecting Auto Connect Drives......"));
    QCOMPARE(light(w), QStringLiteral("Red"));
    QVERIFY(w.StartAutoConnect);

    // The prompt of record 2 stays usable with the window disabled, and ticks meanwhile start nothing.
    m_duringDialog = [&w] {
        w.Timer_Timer();
        w.Timer_Timer();
    };
    answerDialogs({QStringLiteral("cancel")});
    QList<int> addsPerTick;
    const qint32 first = w.TickCount + 1;
    while (w.AutoConnectRunning || w.StartAutoConnect) {
        QVERIFY(w.TickCount < first + 10);
        w.Timer_Timer();
        addsPerTick << int(adds().size());
    }
    QCOMPARE(w.StartTick, first);
    QCOMPARE(w.TickCount, first + 7);
    QCOMPARE(addsPerTick, QList<int>({0, 1, 1, 1, 2, 2}));
    QCOMPARE(adds(), QStringList({"E:|\\\\a\\one|pw|joe", "I:|\\\\a\\four|pw|joe"}));
    QCOMPARE(w.EmptyCount, 4);
    QVERIFY(w.isEnabled());
    QCOMPARE(w.editor().CurrentRec, qint16(1));
    QCOMPARE(w.editor().txtRemoteName->text(), QStringLiteral("\\\\a\\one"));
    // The failure is not hidden behind the end of the batch.
    QCOMPARE(w.lblStatus->text(), QStringLiteral("Auto Connect Done. ERROR: Invalid Password! - Connect Failed!"));
    QCOMPARE(light(w), QStringLiteral("Red"));

    answerDialogs({QStringLiteral("cancel")});
    w.mnuAutoConnect->trigger();
    while (w.AutoConnectRunning || w.StartAutoConnect)
        w.Timer_Timer();
    QCOMPARE(w.lblStatus->text(), QStringLiteral("Auto Connect Done."));
    QCOMPARE(light(w), QStringLiteral("Green"));
}

void TestFrmMainConnect::runsUnattended()
{
    // With a display, the prompt waits for its answer, and a failure shows the window, which takes no input until
    // the batch is done; a record without a drive is reported at the end but shows nothing by itself.
    frmMain& w = start(record(1, "\\\\a\\one", "F:", 'F', 'T') + record(2, "\\\\a\\two", "G:", 'F', 'T', 'T')
                           + record(3, "\\\\a\\three", "", 'F', 'T') + record(4, "\\\\a\\four", "H:", 'F', 'T'),
                       {QStringLiteral("-auto")});
    m_wnet->setNextAddResults({0, 0, 86});
    QSignalSpy ended(&w, &frmMain::ended);
    answerDialogs({QStringLiteral("password:pw")});
    while (w.AutoConnectRunning || w.StartAutoConnect) {
        QVERIFY(w.TickCount < 20);
        w.Timer_Timer();
        QCOMPARE(w.isVisible(), adds().size() == 3);
        if (w.isVisible() && w.AutoConnectRunning) {
            click(w.tlbMain, "Disconnect");
            QVERIFY(!w.lblStatus->text().startsWith(u"Can't"));
        }
    }
    QVERIFY(!w.AutoMode);
    QCOMPARE(ended.size(), 0);
    QCOMPARE(w.lblStatus->text(), QStringLiteral("Auto Connect Done. ERROR: Invalid Password! - Connect Failed!"));

    // Without one, the prompt is cancelled at once, each record left unconnected is reported, and the program
    // ends by itself with what it achieved.
    for (const bool allDue : {true, false}) {
        std::FILE* log = std::tmpfile();
        const auto closeLog = qScopeGuard([log] { std::fclose(log); });
        m_window.reset();
        m_wnet = std::make_unique<FakeWnet>();
        frmMain& u = start(record(1, "\\\\a\\one", "F:", 'F', 'T')
                               + (allDue ? QByteArray() : record(2, "\\\\a\\two", "G:", 'F', 'T', 'T')),
                           {QStringLiteral("-auto")}, log);
        QSignalSpy end(&u, &frmMain::ended);
        while (end.isEmpty() && u.TickCount < 20)
            u.Timer_Timer();
        QCOMPARE(end.value(0).value(0), QVariant(allDue ? 0 : 1));
        QVERIFY(!u.isVisible());
        std::rewind(log);
        QByteArray written(512, '\0');
        written.resize(qsizetype(std::fread(written.data(), 1, written.size(), log)));
        QCOMPARE(written, allDue ? QByteArray() : QByteArray("drvmap: record 2 (\\\\a\\two): Connect Cancelled\n"));
        QCOMPARE(adds().size(), 1);
    }
}

QTEST_MAIN(TestFrmMainConnect)
#include "tst_frmmain_connect.moc"
