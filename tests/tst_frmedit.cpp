// The record editor driven through its widgets: loading slots, paging with the change check and its question,
// saving with its checks, deleting, and the slot for a new record.
#include "records/Crypt.h"
#include "records/RecordFile.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/SlotBytes.h"
#include "ui/editor/frmEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <csignal>
#include <sys/resource.h>

using Answer = MessageBoxes::Answer;
// An edit made in the controls before the editor is left.
using Edit = std::function<void(frmEdit&)>;

namespace {

const QByteArray Password = Crypt::EncryptPassword(QStringLiteral("s3cr€t")).toLatin1();

// What a user types for a new record.
RecordForm typed(const char* name, const char* remote, const char* drive, bool autoMap = false,
                 const char* password = "")
{
    return {QString::fromUtf8(name),
            QString::fromUtf8(remote),
            {},
            QString::fromUtf8(password),
            QString::fromUtf8(drive),
            false,
            autoMap,
            false};
}

// Types form into the editor's controls.
void fill(frmEdit& e, const RecordForm& form)
{
    e.txtRecordName->setText(form.RecordName);
    e.txtRemoteName->setText(form.RemoteName);
    e.cmbDrive->setEditText(form.LocalDrive);
    e.chkAutoMap->setChecked(form.AutoMap);
    e.txtPassword->setText(form.Password);
}

// Slots 1 to 5; slot 4 deleted, slot 5's name begins with "#".
QByteArray sampleFile()
{
    return SlotBytes::saved("Office", "\\\\server\\share", 1, 'T', 'F', "G:", "alice", Password)
        + SlotBytes::saved("Auto", "\\\\nas\\media", 2, 'F', 'T', "H:", "", "", 'F')
        + SlotBytes::saved("Asks", "\\\\nas\\private", 3, 'F', 'F', "J:", "bob", Password, 'T') + SlotBytes::deleted()
        + SlotBytes::saved("#Old", "\\\\nas\\old", 5, 'F', 'F', "K:");
}

} // namespace

class TestFrmEdit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void loadsSlots();
    void fieldRules();
    void pages();
    void asksBeforeLeavingChanges_data();
    void asksBeforeLeavingChanges();
    void saves_data();
    void saves();
    void deletesOnlyOnYes();
    void findsTheSlotForANewRecord();
    void keepsTheEditsWhenTheWriteFails();
    void closes();

private:
    void press(const char* key);
    QString status() const { return m_editor->lblStatus->text(); }
    QByteArray slot(qint16 number) const { return SlotBytes::readFile(m_path).mid((number - 1) * 212, 212); }

    QTemporaryDir m_dir;
    QString m_path;
    ScriptedMessageBoxes m_messages;
    RecordFile m_file;
    QPointer<frmEdit> m_editor;
};

void TestFrmEdit::init()
{
    m_path = m_dir.filePath(QStringLiteral("drvmap.dat"));
    QVERIFY(SlotBytes::writeFile(m_path, sampleFile()));
    QVERIFY(m_file.open(m_path));
    m_messages.reset();
    m_editor = new frmEdit(m_file, m_messages);
    m_editor->GetRecord(1, true);
    m_editor->show();
    QVERIFY(QTest::qWaitForWindowActive(m_editor));
}

void TestFrmEdit::cleanup()
{
    delete m_editor;
    QCOMPARE(m_messages.unexpected, 0);
}

void TestFrmEdit::press(const char* key)
{
    QAction* action = m_editor->tlbEdit->findChild<QAction*>(QLatin1String(key));
    QTest::mouseClick(m_editor->tlbEdit->widgetForAction(action), Qt::LeftButton);
}

void TestFrmEdit::loadsSlots()
{
    frmEdit& e = *m_editor;
    QCOMPARE(e.cmbDrive->count(), 23);
    QCOMPARE(e.cmbDrive->itemText(0), QStringLiteral("D:"));
    QCOMPARE(e.cmbDrive->itemText(22), QStringLiteral("Z:"));

    e.CurrentRec = 7;
    QVERIFY(e.GetRecord(1, true));
    QVERIFY(e.form() == RecordForm({"Office", "\\\\server\\share", "alice", "s3cr€t", "G:", true, false, false}));
    // The label shows CurrentRec, not the slot that was read.
    QCOMPARE(e.lblNetResourceNum->text(), QStringLiteral("7"));

    // Without GetRemoteName the remote box keeps what it held. Auto map empties and disables the drive box.
    QVERIFY(e.GetRecord(2, false));
    QVERIFY(e.form() == RecordForm({"Auto", "\\\\server\\share", "", "", "", false, true, false}));
    QVERIFY(!e.cmbDrive->isEnabled());

    // A prompting record shows "None" in clear; its stored password is not decoded.
    QVERIFY(e.GetRecord(3, true));
    QVERIFY(e.form() == RecordForm({"Asks", "\\\\nas\\private", "bob", "None", "J:", false, false, true}));
    QCOMPARE(e.txtPassword->echoMode(), QLineEdit::Normal);
    QVERIFY(!e.txtPassword->isEnabled());

    // A deleted slot and slots past the end load empty, with an empty masked password.
    for (const qint16 number : {qint16(4), qint16(100), RecordFile::LastSlot}) {
        QVERIFY(e.GetRecord(3, true));
        QVERIFY(e.GetRecord(number, true));
        QVERIFY(e.form() == RecordForm());
        QCOMPARE(e.txtPassword->echoMode(), QLineEdit::Password);
        QVERIFY(e.txtPassword->isEnabled());
    }

    // There is no slot 0: the controls stay as they were.
    QVERIFY(!e.GetRecord(0, true));
    QVERIFY(e.form() == RecordForm());
}

void TestFrmEdit::fieldRules()
{
    frmEdit& e = *m_editor;
    e.chkAutoMap->click();
    QVERIFY(!e.cmbDrive->isEnabled());
    QCOMPARE(e.cmbDrive->currentText(), QStringLiteral("G:"));
    // A click on the caption ticks the box, as a click on the box does.
    QTest::mouseClick(e.findChild<QLabel*>(QStringLiteral("Label5")), Qt::LeftButton);
    QVERIFY(!e.chkAutoMap->isChecked());
    QVERIFY(e.cmbDrive->isEnabled());
    QCOMPARE(e.cmbDrive->currentText(), QStringLiteral("G:"));

    QTest::mouseClick(e.findChild<QLabel*>(QStringLiteral("Label8")), Qt::LeftButton);
    QCOMPARE(e.txtPassword->text(), QStringLiteral("None"));
    QCOMPARE(e.txtPassword->echoMode(), QLineEdit::Normal);
    QVERIFY(!e.txtPassword->isEnabled());
    // Unchecking does not bring back the password typed before.
    e.chkPass->click();
    QVERIFY(e.txtPassword->text().isEmpty());
    QCOMPARE(e.txtPassword->echoMode(), QLineEdit::Password);

    // The drive keeps its text as typed, and typing adds no entry.
    e.cmbDrive->setFocus();
    e.cmbDrive->clearEditText();
    QTest::keyClicks(e.cmbDrive, QStringLiteral("g:"));
    QTest::keyClick(e.cmbDrive, Qt::Key_Return);
    QCOMPARE(e.cmbDrive->currentText(), QStringLiteral("g:"));
    QCOMPARE(e.cmbDrive->count(), 23);
    QVERIFY(e.isVisible());
}

void TestFrmEdit::pages()
{
    frmEdit& e = *m_editor;
    // Unchanged records: no question, an empty status line, the focus in the name box. Next goes on past the
    // end of the file to blank slots.
    for (const auto& [from, key, to] : {std::tuple(3, "Next", 4), std::tuple(2, "Back", 1), std::tuple(7, "Next", 8)}) {
        QVERIFY(e.moveTo(qint16(from)));
        e.lblStatus->setText(QStringLiteral("old"));
        e.cmbDrive->setFocus();
        press(key);
        QCOMPARE(e.CurrentRec, qint16(to));
        QCOMPARE(e.lblNetResourceNum->text(), QString::number(to));
        QVERIFY(status().isEmpty());
        QVERIFY(e.txtRecordName->hasFocus());
    }
    QVERIFY(e.txtRecordName->text().isEmpty());
    QCOMPARE(m_messages.beeps, 0);

    // At either end the slot stays and the user hears why; the slot number never wraps, and looking does not make
    // the file longer.
    for (const auto& [from, key, said] :
         {std::tuple(qint16(1), "Back", "Start of file. No previous record."),
          std::tuple(RecordFile::LastSlot, "Next", "Last slot of the file. No next record.")}) {
        QVERIFY(e.moveTo(from));
        press(key);
        QCOMPARE(e.CurrentRec, from);
        QCOMPARE(status(), QString::fromLatin1(said));
    }
    QCOMPARE(m_messages.beeps, 2);
    QCOMPARE(QFileInfo(m_path).size(), 5 * 212);
    QVERIFY(m_messages.asked.isEmpty());
}

void TestFrmEdit::asksBeforeLeavingChanges_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<bool>("asks");

    const auto type = [](QLineEdit* frmEdit::*box, const char* text) {
        return Edit([box, text](frmEdit& e) { (e.*box)->setText(QString::fromUtf8(text)); });
    };
    QTest::newRow("unchanged") << 1 << Edit() << false;
    QTest::newRow("user name's letter case") << 1 << type(&frmEdit::txtUserName, "Alice") << true;
    QTest::newRow("trailing blank") << 1 << type(&frmEdit::txtRecordName, "Office ") << true;
    QTest::newRow("password") << 1 << type(&frmEdit::txtPassword, "other") << true;
    QTest::newRow("auto map on an F record") << 1 << Edit([](frmEdit& e) { e.chkAutoMap->click(); }) << true;
    QTest::newRow("drive while auto-mapped")
        << 2 << Edit([](frmEdit& e) { e.cmbDrive->setEditText(QStringLiteral("Q:")); }) << false;
    QTest::newRow("password box while prompting") << 3 << type(&frmEdit::txtPassword, "typed") << false;
    QTest::newRow("stored name begins with #") << 5 << Edit() << true;
    QTest::newRow("blank slot, name only") << 4 << type(&frmEdit::txtRecordName, "New") << false;
    QTest::newRow("blank slot, name and remote")
        << 4 << Edit([](frmEdit& e) { fill(e, typed("New", "\\\\h\\s", "P:")); }) << true;
}

void TestFrmEdit::asksBeforeLeavingChanges()
{
    QFETCH(int, from);
    QFETCH(Edit, edit);
    QFETCH(bool, asks);
    frmEdit& e = *m_editor;
    const QByteArray before = SlotBytes::readFile(m_path);

    // Cancel stays, with every edit; No moves on without writing; Yes writes, then moves.
    const auto leave = [&](Answer answer, bool edited) {
        e.moveTo(qint16(from));
        if (edit && edited)
            edit(e);
        const RecordForm left = e.form();
        m_messages.asked.clear();
        m_messages.setNextAnswers({answer});
        press("Next");
        return left;
    };
    for (const Answer answer : {Answer::Cancel, Answer::No, Answer::Yes}) {
        const RecordForm edited = leave(answer, true);
        QCOMPARE(m_messages.asked.size(), asks ? 1 : 0);
        if (!asks) {
            m_messages.setNextAnswers({});
            QCOMPARE(e.CurrentRec, qint16(from + 1));
            QCOMPARE(SlotBytes::readFile(m_path), before);
            return;
        }
        QCOMPARE(m_messages.asked[0].title + u'|' + m_messages.asked[0].text,
                 QStringLiteral("Record Has Changed!|         Save Record #%1 ?").arg(from));
        QCOMPARE(m_messages.asked[0].buttons, MessageBoxes::Buttons::YesNoCancel);
        QCOMPARE(e.CurrentRec, qint16(answer == Answer::Cancel ? from : from + 1));
        QVERIFY(answer != Answer::Cancel || (e.form() == edited && e.txtRecordName->hasFocus()));
        if (answer != Answer::Yes)
            QCOMPARE(SlotBytes::readFile(m_path).left(before.size()), before);
    }
    // What Yes saved reads back the same, so leaving it again asks nothing (a stored "#" name asks every time).
    leave(Answer::No, false);
    QCOMPARE(m_messages.asked.size(), from == 5 ? 1 : 0);
    m_messages.setNextAnswers({});
}

void TestFrmEdit::saves_data()
{
    QTest::addColumn<RecordForm>("form");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QByteArray>("stored"); // slot 4, when the save goes through

    const QString saved = QStringLiteral("Current Record Has Been Saved.");
    const char* remote = "\\\\h\\s";
    QTest::newRow("no name") << typed("", remote, "P:") << "Cannot save without a name!"
                             << "txtRecordName" << QByteArray();
    QTest::newRow("no remote resource") << typed("N", "", "P:") << "Cannot save without a remote resource!"
                                        << "txtRemoteName" << QByteArray();
    QTest::newRow("no drive") << typed("N", remote, "") << "Cannot save without a local drive!"
                              << "cmbDrive" << QByteArray();
    QTest::newRow("blank name passes") << typed(" ", remote, "P:") << saved << ""
                                       << SlotBytes::saved(" ", remote, 4, 'F', 'F', "P:");
    QTest::newRow("auto map stores no drive")
        << typed("N", remote, "P:", true) << saved << "" << SlotBytes::saved("N", remote, 4, 'F', 'T', "  ");
    QTest::newRow("long name cut") << typed("A name of twenty chars", remote, "P:") << saved << ""
                                   << SlotBytes::saved("A name of twent", remote, 4, 'F', 'F', "P:");
    QTest::newRow("None is no password") << typed("N", remote, "P:", false, "None") << saved << ""
                                         << SlotBytes::saved("N", remote, 4, 'F', 'F', "P:");
    QTest::newRow("password scrambled") << typed("N", remote, "P:", false, "s3cr€t") << saved << ""
                                        << SlotBytes::saved("N", remote, 4, 'F', 'F', "P:", "", Password);
}

void TestFrmEdit::saves()
{
    QFETCH(RecordForm, form);
    QFETCH(QString, status);
    QFETCH(QString, focus);
    QFETCH(QByteArray, stored);
    frmEdit& e = *m_editor;

    QVERIFY(e.moveTo(4));
    fill(e, form);
    e.txtUserName->setFocus();
    press("Save");
    QCOMPARE(this->status(), status);
    QCOMPARE(m_messages.beeps, stored.isEmpty() ? 1 : 0);
    QCOMPARE(slot(4), stored.isEmpty() ? SlotBytes::deleted() : stored);
    QCOMPARE(QApplication::focusWidget()->objectName(), focus.isEmpty() ? QStringLiteral("txtUserName") : focus);
    // The controls keep what was typed, also a name longer than its field.
    QVERIFY(e.form() == form);

    // A save that refuses while nobody sees the editor (a new record asked for from the main window) writes
    // nothing and only says why.
    if (focus == u"cmbDrive") {
        e.hide();
        e.lblStatus->clear();
        m_messages.setNextAnswers({Answer::Yes});
        e.GetNewRecord();
        QCOMPARE(this->status(), status);
        QCOMPARE(e.CurrentRec, qint16(4));
        QCOMPARE(slot(4), SlotBytes::deleted());
        QCOMPARE(m_messages.beeps, 2);
    }

    // Saving on the slot just past the end extends the file by that one slot.
    if (!stored.isEmpty()) {
        QVERIFY(e.moveTo(6));
        fill(e, form);
        press("Save");
        QCOMPARE(QFileInfo(m_path).size(), 6 * 212);
        QCOMPARE(slot(6), stored.replace(210, 1, QByteArray(1, 6)));
    }
}

void TestFrmEdit::deletesOnlyOnYes()
{
    frmEdit& e = *m_editor;
    const QByteArray before = SlotBytes::readFile(m_path);
    QVERIFY(e.moveTo(2));
    e.txtRecordName->setText(QStringLiteral("edited"));
    m_messages.setNextAnswers({Answer::No, Answer::Yes});
    press("Clear");
    QCOMPARE(m_messages.asked[0].title + u'|' + m_messages.asked[0].text,
             QStringLiteral("Confirm Delete|Delete Current Record?"));
    QCOMPARE(m_messages.asked[0].buttons, MessageBoxes::Buttons::YesNo);
    QCOMPARE(status(), QStringLiteral("Delete Cancelled."));
    QCOMPARE(e.txtRecordName->text(), QStringLiteral("edited"));
    QCOMPARE(SlotBytes::readFile(m_path), before);

    // Yes blanks the slot in place, edits and all, without a question about them.
    press("Clear");
    QCOMPARE(m_messages.asked.size(), 2);
    QVERIFY(status().isEmpty());
    QCOMPARE(e.CurrentRec, qint16(2));
    QVERIFY(e.txtRecordName->text().isEmpty() && e.txtRemoteName->text().isEmpty());
    QByteArray expected = before;
    expected.replace(212, 212, SlotBytes::deleted());
    QCOMPARE(SlotBytes::readFile(m_path), expected);
    press("Next");
    press("Back");
    QCOMPARE(m_messages.asked.size(), 2);

    // Deleting the blank slot just past the end writes it all the same.
    QVERIFY(e.moveTo(6));
    m_messages.setNextAnswers({Answer::Yes});
    press("Clear");
    QCOMPARE(slot(6), SlotBytes::deleted());
}

void TestFrmEdit::findsTheSlotForANewRecord()
{
    frmEdit& e = *m_editor;
    // On a saved slot the scan starts at 2 and ends on the first blank slot, shown empty; slot 1 is not taken
    // even when it is blank.
    QVERIFY(m_file.write(1, DriveRecord {}));
    QVERIFY(e.moveTo(3));
    press("NewRecord");
    QCOMPARE(e.CurrentRec, qint16(4));
    QCOMPARE(e.lblNetResourceNum->text(), QStringLiteral("4"));
    QVERIFY(e.txtRecordName->text().isEmpty());

    // A blank current slot is taken at once, with what the user typed into it.
    e.txtRecordName->setText(QStringLiteral("typed"));
    press("NewRecord");
    QCOMPARE(e.CurrentRec, qint16(4));
    QCOMPARE(e.txtRecordName->text(), QStringLiteral("typed"));

    // A blank slot far past the end would never be listed nor auto-connected: it is passed over.
    QVERIFY(m_file.write(4, DriveRecord::fromSlot(SlotBytes::saved("x", "\\\\h\\x", 4))));
    QVERIFY(e.moveTo(40));
    press("NewRecord");
    QCOMPARE(e.CurrentRec, qint16(6));

    // Cancel to the question about unsaved edits: nothing moves.
    QVERIFY(e.moveTo(2));
    e.txtUserName->setText(QStringLiteral("changed"));
    m_messages.setNextAnswers({Answer::Cancel});
    press("NewRecord");
    QCOMPARE(e.CurrentRec, qint16(2));
    QCOMPARE(e.txtUserName->text(), QStringLiteral("changed"));

    // A file with every slot in use: no slot is chosen, nothing is written, and the user hears why.
    QByteArray full;
    for (int number = 1; number <= RecordFile::LastSlot; ++number)
        full += SlotBytes::saved("R", "\\\\h\\s", qint16(number));
    QVERIFY(SlotBytes::writeFile(m_path, full));
    QVERIFY(e.moveTo(9));
    const int beeps = m_messages.beeps;
    press("NewRecord");
    QCOMPARE(e.CurrentRec, qint16(9));
    QCOMPARE(status(), QStringLiteral("No free slot left for a new record."));
    QCOMPARE(m_messages.beeps, beeps + 1);
    QCOMPARE(SlotBytes::readFile(m_path), full);
}

void TestFrmEdit::keepsTheEditsWhenTheWriteFails()
{
    frmEdit& e = *m_editor;
    // A file size limit stops the write part-way through the new slot, as a full disk would; the program ignores
    // the limit's signal.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit before {};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit limited = before;
    limited.rlim_cur = QFileInfo(m_path).size() + 100;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);

    const QByteArray file = SlotBytes::readFile(m_path);
    QVERIFY(e.moveTo(6));
    e.txtRecordName->setText(QStringLiteral("New"));
    e.txtRemoteName->setText(QStringLiteral("\\\\h\\s"));
    e.chkAutoMap->setChecked(true);
    m_messages.setNextAnswers({Answer::Yes});
    press("Next");
    QCOMPARE(status(), QStringLiteral("Record not saved: File too large"));
    // A delete writes the blank slot: it fails the same way.
    m_messages.setNextAnswers({Answer::Yes});
    press("Clear");
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(status(), QStringLiteral("Record not deleted: File too large"));
    QCOMPARE(m_messages.beeps, 2);
    QCOMPARE(e.CurrentRec, qint16(6));
    QCOMPARE(e.txtRecordName->text(), QStringLiteral("New"));
    QVERIFY(e.chkAutoMap->isChecked());
    QCOMPARE(SlotBytes::readFile(m_path), file);
}

void TestFrmEdit::closes()
{
    frmEdit& e = *m_editor;
    QSignalSpy closing(&e, &frmEdit::closing);
    // Done with unsaved edits asks; Cancel to the question keeps the window open with the edits.
    e.txtRecordName->setText(QStringLiteral("edited"));
    m_messages.setNextAnswers({Answer::Cancel});
    QTest::mouseClick(e.cmdDone, Qt::LeftButton);
    QVERIFY(e.isVisible());
    QCOMPARE(e.txtRecordName->text(), QStringLiteral("edited"));
    QCOMPARE(closing.size(), 0);

    // Cancel and Escape close without a question, and the window stays loaded.
    QTest::mouseClick(e.cmdCancel, Qt::LeftButton);
    QVERIFY(!e.isVisible());
    QCOMPARE(closing.size(), 1);
    e.show();
    QTest::keyClick(&e, Qt::Key_Escape);
    QVERIFY(!e.isVisible());
    QCOMPARE(closing.size(), 2);
    QCOMPARE(e.txtRecordName->text(), QStringLiteral("edited"));

    // Done on an unchanged record closes at once.
    QVERIFY(e.GetRecord(1, true));
    e.show();
    QTest::mouseClick(e.cmdDone, Qt::LeftButton);
    QVERIFY(!e.isVisible());
    QCOMPARE(closing.size(), 3);

    // The close box asks nothing and destroys the window.
    e.show();
    e.txtRecordName->setText(QStringLiteral("edited"));
    QVERIFY(e.close());
    QCOMPARE(closing.size(), 4);
    QTRY_VERIFY(m_editor.isNull());
    QCOMPARE(m_messages.asked.size(), 1);
}

QTEST_MAIN(TestFrmEdit)
#include "tst_frmedit.moc"
