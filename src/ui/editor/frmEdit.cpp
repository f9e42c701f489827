// The record editor. Its controls are the program's one current record, also while it is hidden.
#include "frmEdit.h"

#include "platform/MessageBoxes.h"
#include "records/Crypt.h"
#include "records/RecordFile.h"
#include "ui/Layout.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolBar>

namespace {

// The answer that keeps the caller where it is.
const QString Wait = QStringLiteral("Wait");

QLabel* label(QWidget* parent, const char* name, const QString& text, QRect geometry, const QString& toolTip = {})
{
    return place(new QLabel(text, parent), name, geometry, toolTip);
}

QFont bold(QFont font)
{
    font.setBold(true);
    return font;
}

} // namespace

frmEdit::frmEdit(RecordFile& file, MessageBoxes& messages, QWidget* parent)
    : QDialog(parent)
    , m_file(file)
    , m_messages(messages)
{
    setUpFixedDialog(this, "frmEdit", QStringLiteral("Edit Records"), QSize(6870, 3630));
    buildToolbar();

    Frame2 = place(new QGroupBox(this), "Frame2", twipsRect(120, 480, 4455, 2655));
    label(Frame2, "Label1", QStringLiteral("Name:"), twipsRect(120, 120, 615, 255));
    txtRecordName
        = place(new QLineEdit(Frame2), "txtRecordName", twipsRect(120, 360, 4215, 315), QStringLiteral("Record Name"));
    label(Frame2, "lblNetResource", QStringLiteral("NetResouce:"), twipsRect(120, 720, 975, 255),
          QStringLiteral("\\\\NetworkPath\\ShareName"));
    txtRemoteName = place(new QLineEdit(Frame2), "txtRemoteName", twipsRect(120, 960, 4215, 315),
                          QStringLiteral("\\\\[IP]or[ComputerName]\\[Share]"));
    const QString userTip = QStringLiteral("Fill this area in only if you are connecting to an NT machine");
    label(Frame2, "Label3", QStringLiteral("UserName"), twipsRect(120, 1320, 855, 255), userTip);
    label(Frame2, "Label7", QStringLiteral("(Use only to connect to NT)"), twipsRect(960, 1320, 2295, 255), userTip);
    txtUserName = place(new QLineEdit(Frame2), "txtUserName", twipsRect(120, 1560, 4215, 315), userTip);
    const QString passwordTip = QStringLiteral("Your password here");
    label(Frame2, "Label2", QStringLiteral("Password"), twipsRect(120, 1920, 735, 255), passwordTip);
    txtPassword = place(new QLineEdit(Frame2), "txtPassword", twipsRect(120, 2160, 4215, 315), passwordTip);
    txtPassword->setEchoMode(QLineEdit::Password);

    Frame1 = place(new QGroupBox(QStringLiteral("Options"), this), "Frame1", twipsRect(4680, 480, 2055, 1815));
    cmbDrive = place(new QComboBox(Frame1), "cmbDrive", twipsRect(120, 240, 615, 315),
                     QStringLiteral("Select drive letter to map network path"));
    cmbDrive->setEditable(true);
    // Enter keeps the text as typed: it adds no entry, and "g:" does not complete to the entry "G:".
    cmbDrive->setInsertPolicy(QComboBox::NoInsert);
    cmbDrive->completer()->setCaseSensitivity(Qt::CaseSensitive);
    label(Frame1, "Label6", QStringLiteral("Drive Letter"), twipsRect(840, 360, 855, 255));
    const auto option = [this](const char* boxName, int top, int height, const char* labelName, const QString& text,
                               int labelWidth, const QString& toolTip) {
        auto* box = place(new QCheckBox(Frame1), boxName, twipsRect(120, top, 255, height), toolTip);
        QLabel* caption = label(Frame1, labelName, text, twipsRect(360, top, labelWidth, 255), toolTip);
        caption->installEventFilter(this);
        m_captions.insert(caption, box);
        return box;
    };
    chkAutoMap = option("chkAutoMap", 720, 255, "Label5", QStringLiteral(" Auto Map Drive"), 1215,
                        QStringLiteral("Set this ONLY if you want ShareMount to use the first available drive letter"));
    chkAutoConnect = option("chkAutoConnect", 1080, 255, "Label4", QStringLiteral(" Auto Connect Drive"), 1455,
                            QStringLiteral("Auto connects dirve when used with the comamnd line -auto"));
    chkPass = option("chkPass", 1440, 195, "Label8", QStringLiteral(" Prompt for password"), 1575,
                     QStringLiteral("Check this box if you want to be prompted for a password"));

    Frame3 = place(new QGroupBox(this), "Frame3", twipsRect(4680, 2280, 2055, 855));
    cmdDone = place(new QPushButton(QStringLiteral("&Done"), Frame3), "cmdDone", twipsRect(120, 240, 855, 495));
    cmdCancel = place(new QPushButton(QStringLiteral("&Cancel"), Frame3), "cmdCancel", twipsRect(1080, 240, 855, 495));
    // Neither is a default button: Enter in a text box does not close the window.
    cmdDone->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);
    connect(cmdDone, &QPushButton::clicked, this, &frmEdit::cmdDone_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmEdit::cmdCancel_Click);

    lblStatus = label(this, "lblStatus", {}, twipsRect(120, 3240, 5055, 255), QStringLiteral("Status window"));
    label(this, "Label9", QStringLiteral("Record"), twipsRect(5280, 3240, 855, 255))->setFont(bold(font()));
    lblNetResourceNum = label(this, "lblNetResourceNum", {}, twipsRect(6120, 3240, 615, 255));
    lblNetResourceNum->setFont(bold(font()));

    const QList<QWidget*> tabOrder {cmbDrive,      chkAutoMap,  chkPass,     chkAutoConnect, txtRecordName,
                                    txtRemoteName, txtUserName, txtPassword, cmdDone,        cmdCancel};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    // toggled runs on every change of the value, also when GetRecord sets it, before the setter returns.
    connect(chkAutoMap, &QCheckBox::toggled, this, &frmEdit::chkAutoMap_Click);
    connect(chkPass, &QCheckBox::toggled, this, &frmEdit::chkPass_Click);

    Form_Load();
}

void frmEdit::buildToolbar()
{
    tlbEdit = placeToolbar(this, "tlbEdit");
    addKeyedButton(tlbEdit, "Back", "edit-back", QStringLiteral("Previous Record"));
    addKeyedButton(tlbEdit, "Save", "edit-save", QStringLiteral("Save Record"));
    addKeyedButton(tlbEdit, "NewRecord", "edit-new", QStringLiteral("New Record"));
    addKeyedButton(tlbEdit, "Clear", "edit-delete", QStringLiteral("Delete Current Record"));
    addKeyedButton(tlbEdit, "Next", "edit-next", QStringLiteral("Next Record"));
    connect(tlbEdit, &QToolBar::actionTriggered, this, &frmEdit::tlbEdit_ButtonClick);
}

void frmEdit::Form_Load()
{
    for (char letter = 'D'; letter <= 'Z'; ++letter)
        cmbDrive->addItem(QString(QLatin1Char(letter)) + u':');
    cmbDrive->setCurrentIndex(-1);
}

bool frmEdit::eventFilter(QObject* watched, QEvent* event)
{
    // A click on a box's caption ticks the box, as a click on the box does.
    if (event->type() == QEvent::MouseButtonRelease) {
        QCheckBox* box = m_captions.value(watched);
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (box && box->isEnabled() && mouse->button() == Qt::LeftButton
            && static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint())) {
            box->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmEdit::chkAutoMap_Click()
{
    cmbDrive->setEnabled(!chkAutoMap->isChecked());
}

void frmEdit::chkPass_Click()
{
    if (chkPass->isChecked()) {
        txtPassword->setText(QStringLiteral("None"));
        txtPassword->setEchoMode(QLineEdit::Normal);
        txtPassword->setEnabled(false);
    } else {
        txtPassword->setEnabled(true);
        txtPassword->setText({});
        txtPassword->setEchoMode(QLineEdit::Password);
    }
}

bool frmEdit::GetRecord(qint16 RecNum, bool GetRemoteName)
{
    const std::optional<DriveRecord> record = m_file.read(RecNum);
    if (!record)
        return false;

    if (GetRemoteName)
        txtRemoteName->setText(record->RemoteName);
    txtRecordName->setText(record->RecordName);
    txtUserName->setText(record->UserName);
    lblNetResourceNum->setText(QString::number(CurrentRec));
    chkAutoConnect->setChecked(isSet(record->AutoConnect));
    if (isSet(record->AutoMap)) {
        chkAutoMap->setChecked(true);
        cmbDrive->setEditText({});
    } else {
        chkAutoMap->setChecked(false);
        cmbDrive->setEditText(record->LocalDrive);
    }
    if (isSet(record->PromptPassword)) {
        chkPass->setChecked(true);
        txtPassword->setEchoMode(QLineEdit::Normal);
        txtPassword->setText(QStringLiteral("None"));
    } else {
        chkPass->setChecked(false);
        txtPassword->setEchoMode(QLineEdit::Password);
        txtPassword->setText(Crypt::DecryptPassword(record->Password));
    }
    return true;
}

RecordForm frmEdit::form() const
{
    return {txtRecordName->text(),   txtRemoteName->text(),       txtUserName->text(),     txtPassword->text(),
            cmbDrive->currentText(), chkAutoConnect->isChecked(), chkAutoMap->isChecked(), chkPass->isChecked()};
}

bool frmEdit::moveTo(qint16 slot)
{
    const qint16 before = CurrentRec;
    CurrentRec = slot;
    if (GetRecord(slot, true))
        return true;
    CurrentRec = before;
    refuseUnreadable(slot);
    return false;
}

QString frmEdit::refuseUnreadable(qint16 slot)
{
    return refuse(QStringLiteral("Cannot read record %1: %2").arg(slot).arg(m_file.errorReason()));
}

QString frmEdit::refuse(const QString& text, QWidget* field)
{
    lblStatus->setText(text);
    // A hidden editor (a new record asked for from the main window) cannot take the focus.
    if (field && isVisible())
        field->setFocus();
    m_messages.beep();
    return Wait;
}

void frmEdit::GetNewRecord()
{
    if (CheckRecordChanged() == Wait)
        return;
    const RecordRules::NewSlot found = RecordRules::newRecordSlot(m_file, CurrentRec);
    if (!found.slot) {
        refuse(found.error.isEmpty() ? QStringLiteral("No free slot left for a new record.")
                                     : QStringLiteral("Cannot find a free slot: ") + found.error);
        return;
    }
    // The current slot, when it is the free one, keeps what the user typed into it.
    if (*found.slot != CurrentRec)
        moveTo(*found.slot);
}

void frmEdit::tlbEdit_ButtonClick(QAction* button)
{
    lblStatus->clear();
    const QString key = button->data().toString();
    if (key == u"Back") {
        PreviousRecord();
    } else if (key == u"Save") {
        SaveRecord();
    } else if (key == u"Clear") {
        const MessageBoxes::Answer answer = m_messages.ask(
            {QStringLiteral("Confirm Delete"), QStringLiteral("Delete Current Record?"), MessageBoxes::Buttons::YesNo});
        if (answer == MessageBoxes::Answer::Yes)
            DeleteRecord();
        else
            lblStatus->setText(QStringLiteral("Delete Cancelled."));
    } else if (key == u"NewRecord") {
        GetNewRecord();
    } else if (key == u"Next") {
        NextRecord();
    }
}

void frmEdit::NextRecord()
{
    if (CheckRecordChanged() != Wait) {
        // The slot number is 16-bit: there is no slot after the last.
        if (CurrentRec >= RecordFile::LastSlot)
            refuse(QStringLiteral("Last slot of the file. No next record."));
        else if (moveTo(CurrentRec + 1))
            lblStatus->clear();
    }
    txtRecordName->setFocus();
}

void frmEdit::PreviousRecord()
{
    if (CheckRecordChanged() != Wait) {
        if (CurrentRec < 2)
            refuse(QStringLiteral("Start of file. No previous record."));
        else if (moveTo(CurrentRec - 1))
            lblStatus->clear();
    }
    txtRecordName->setFocus();
}

QString frmEdit::CheckRecordChanged()
{
    const std::optional<DriveRecord> stored = m_file.read(CurrentRec);
    // Edits that cannot be compared are not dropped unasked.
    if (!stored)
        return refuseUnreadable(CurrentRec);
    return RecordRules::asksToSave(form(), *stored) ? AskToSaveChanges() : QString();
}

QString frmEdit::AskToSaveChanges()
{
    const MessageBoxes::Answer answer
        = m_messages.ask({QStringLiteral("Record Has Changed!"),
                          QStringLiteral("         Save Record #") + QString::number(CurrentRec) + QStringLiteral(" ?"),
                          MessageBoxes::Buttons::YesNoCancel});
    switch (answer) {
    case MessageBoxes::Answer::Yes:
        return SaveRecord();
    case MessageBoxes::Answer::No:
        return {};
    default:
        return Wait;
    }
}

QString frmEdit::SaveRecord()
{
    const RecordForm current = form();
    switch (RecordRules::saveRefusal(current)) {
    case RecordRules::Refusal::NoName:
        return refuse(QStringLiteral("Cannot save without a name!"), txtRecordName);
    case RecordRules::Refusal::NoRemoteResource:
        return refuse(QStringLiteral("Cannot save without a remote resource!"), txtRemoteName);
    case RecordRules::Refusal::NoLocalDrive:
        return refuse(QStringLiteral("Cannot save without a local drive!"), cmbDrive);
    case RecordRules::Refusal::None:
        break;
    }
    if (!m_file.write(CurrentRec, RecordRules::toRecord(current, CurrentRec)))
        return refuse(QStringLiteral("Record not saved: ") + m_file.errorReason());
    lblStatus->setText(QStringLiteral("Current Record Has Been Saved."));
    return {};
}

void frmEdit::DeleteRecord()
{
    if (!m_file.write(CurrentRec, RecordRules::deletedRecord())) {
        refuse(QStringLiteral("Record not deleted: ") + m_file.errorReason());
        return;
    }
    moveTo(CurrentRec);
}

void frmEdit::cmdDone_Click()
{
    if (CheckRecordChanged() == Wait)
        return;
    emit closing();
    hide();
}

void frmEdit::cmdCancel_Click()
{
    emit closing();
    hide();
}

void frmEdit::reject()
{
    cmdCancel_Click();
}

// The close box never asks: a window closed that way is not to come back with a question. It is destroyed, and the
// next use creates it again.
void frmEdit::Form_Unload()
{
    emit closing();
    hide();
    deleteLater();
}

void frmEdit::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}
