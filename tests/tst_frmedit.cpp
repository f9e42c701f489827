// The editor as the current record: loading slots into its controls and the two check-box rules.
#include "records/Crypt.h"
#include "records/RecordFile.h"
#include "support/SlotBytes.h"
#include "ui/editor/frmEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

class TestFrmEdit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void offersDrivesDToZ();
    void loadsASavedRecord();
    void loadsBlankAndPromptingSlots();
    void checkBoxRules();

private:
    QTemporaryDir m_dir;
    RecordFile m_file;
    std::unique_ptr<frmEdit> m_editor;
};

void TestFrmEdit::init()
{
    const QByteArray password = Crypt::EncryptPassword(QStringLiteral("s3cr€t")).toLatin1();
    const QString path = m_dir.filePath(QStringLiteral("drvmap.dat"));
    QVERIFY(
        SlotBytes::writeFile(path,
                             SlotBytes::saved("Office", "\\\\server\\share", 1, 'T', 'F', "G:", "alice", password)
                                 + SlotBytes::saved("Auto", "\\\\nas\\media", 2, 'F', 'T', "H:", "", "", 'F')
                                 + SlotBytes::saved("Asks", "\\\\nas\\private", 3, 'F', 'F', "J:", "bob", password, 'T')
                                 + SlotBytes::deleted()));
    QVERIFY(m_file.open(path));
    m_editor = std::make_unique<frmEdit>(m_file);
}

void TestFrmEdit::cleanup()
{
    m_editor.reset();
}

void TestFrmEdit::offersDrivesDToZ()
{
    QComboBox* drives = m_editor->cmbDrive;
    QCOMPARE(drives->count(), 23);
    QCOMPARE(drives->itemText(0), QStringLiteral("D:"));
    QCOMPARE(drives->itemText(22), QStringLiteral("Z:"));
    QCOMPARE(drives->currentIndex(), -1);
    QVERIFY(drives->isEditable());
    QVERIFY(drives->currentText().isEmpty());
    QVERIFY(!m_editor->isVisible());
    QCOMPARE(m_editor->windowTitle(), QStringLiteral("Edit Records"));
}

void TestFrmEdit::loadsASavedRecord()
{
    m_editor->CurrentRec = 7;
    QVERIFY(m_editor->GetRecord(1, true));
    QCOMPARE(m_editor->txtRecordName->text(), QStringLiteral("Office"));
    QCOMPARE(m_editor->txtRemoteName->text(), QStringLiteral("\\\\server\\share"));
    QCOMPARE(m_editor->txtUserName->text(), QStringLiteral("alice"));
    // The label shows CurrentRec, not the slot that was read.
    QCOMPARE(m_editor->lblNetResourceNum->text(), QStringLiteral("7"));
    QVERIFY(m_editor->chkAutoConnect->isChecked());
    QVERIFY(!m_editor->chkAutoMap->isChecked());
    QCOMPARE(m_editor->cmbDrive->currentText(), QStringLiteral("G:"));
    QVERIFY(m_editor->cmbDrive->isEnabled());
    QVERIFY(!m_editor->chkPass->isChecked());
    QCOMPARE(m_editor->txtPassword->text(), QStringLiteral("s3cr€t"));
    QCOMPARE(m_editor->txtPassword->echoMode(), QLineEdit::Password);
    QVERIFY(m_editor->txtPassword->isEnabled());

    // Without GetRemoteName the remote box keeps what it held.
    QVERIFY(m_editor->GetRecord(2, false));
    QCOMPARE(m_editor->txtRecordName->text(), QStringLiteral("Auto"));
    QCOMPARE(m_editor->txtRemoteName->text(), QStringLiteral("\\\\server\\share"));
}

void TestFrmEdit::loadsBlankAndPromptingSlots()
{
    // Auto map: the drive box is empty whatever the slot's drive holds, and disabled.
    QVERIFY(m_editor->GetRecord(2, true));
    QVERIFY(m_editor->chkAutoMap->isChecked());
    QVERIFY(m_editor->cmbDrive->currentText().isEmpty());
    QVERIFY(!m_editor->cmbDrive->isEnabled());
    QVERIFY(m_editor->txtPassword->text().isEmpty());

    // A prompting record shows "None" in clear; its stored password is not decoded.
    QVERIFY(m_editor->GetRecord(3, true));
    QVERIFY(m_editor->chkPass->isChecked());
    QCOMPARE(m_editor->txtPassword->text(), QStringLiteral("None"));
    QCOMPARE(m_editor->txtPassword->echoMode(), QLineEdit::Normal);
    QVERIFY(!m_editor->txtPassword->isEnabled());
    QCOMPARE(m_editor->cmbDrive->currentText(), QStringLiteral("J:"));
    QVERIFY(m_editor->cmbDrive->isEnabled());

    // Leaving a prompting record: the box's rule runs before the stored password is written into it.
    QVERIFY(m_editor->GetRecord(1, true));
    QCOMPARE(m_editor->txtPassword->text(), QStringLiteral("s3cr€t"));
    QCOMPARE(m_editor->txtPassword->echoMode(), QLineEdit::Password);
    QVERIFY(m_editor->txtPassword->isEnabled());

    // A deleted slot and one past the end: empty texts, boxes cleared, empty masked password.
    for (const qint16 slot : {qint16(4), qint16(100), RecordFile::LastSlot}) {
        QVERIFY(m_editor->GetRecord(3, true));
        QVERIFY(m_editor->GetRecord(slot, true));
        QVERIFY(m_editor->txtRecordName->text().isEmpty());
        QVERIFY(m_editor->txtRemoteName->text().isEmpty());
        QVERIFY(m_editor->txtUserName->text().isEmpty());
        QVERIFY(!m_editor->chkAutoConnect->isChecked());
        QVERIFY(!m_editor->chkAutoMap->isChecked());
        QVERIFY(!m_editor->chkPass->isChecked());
        QVERIFY(m_editor->cmbDrive->currentText().isEmpty());
        QVERIFY(m_editor->txtPassword->text().isEmpty());
        QCOMPARE(m_editor->txtPassword->echoMode(), QLineEdit::Password);
        QVERIFY(m_editor->txtPassword->isEnabled());
    }
}

void TestFrmEdit::checkBoxRules()
{
    QVERIFY(m_editor->GetRecord(1, true));
    m_editor->chkAutoMap->click();
    QVERIFY(!m_editor->cmbDrive->isEnabled());
    QCOMPARE(m_editor->cmbDrive->currentText(), QStringLiteral("G:"));
    m_editor->chkAutoMap->click();
    QVERIFY(m_editor->cmbDrive->isEnabled());
    QCOMPARE(m_editor->cmbDrive->currentText(), QStringLiteral("G:"));

    m_editor->chkPass->click();
    QCOMPARE(m_editor->txtPassword->text(), QStringLiteral("None"));
    QCOMPARE(m_editor->txtPassword->echoMode(), QLineEdit::Normal);
    QVERIFY(!m_editor->txtPassword->isEnabled());
    // Unchecking does not bring back the password typed before.
    m_editor->chkPass->click();
    QVERIFY(m_editor->txtPassword->text().isEmpty());
    QCOMPARE(m_editor->txtPassword->echoMode(), QLineEdit::Password);
    QVERIFY(m_editor->txtPassword->isEnabled());
}

QTEST_MAIN(TestFrmEdit)
#include "tst_frmedit.moc"
