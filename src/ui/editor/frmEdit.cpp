// The record editor. Its controls are the program's one current record, also while it is hidden.
#include "frmEdit.h"

#include "records/Crypt.h"
#include "records/RecordFile.h"
#include "ui/Layout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {

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

frmEdit::frmEdit(RecordFile& file, QWidget* parent)
    : QDialog(parent)
    , m_file(file)
{
    setUpWindow(this, "frmEdit", QStringLiteral("Edit Records"));
    setFixedSize(twips(6870), twips(3630));

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
    label(Frame1, "Label6", QStringLiteral("Drive Letter"), twipsRect(840, 360, 855, 255));
    const QString autoMapTip
        = QStringLiteral("Set this ONLY if you want ShareMount to use the first available drive letter");
    chkAutoMap = place(new QCheckBox(Frame1), "chkAutoMap", twipsRect(120, 720, 255, 255), autoMapTip);
    label(Frame1, "Label5", QStringLiteral(" Auto Map Drive"), twipsRect(360, 720, 1215, 255), autoMapTip);
    const QString autoConnectTip = QStringLiteral("Auto connects dirve when used with the comamnd line -auto");
    chkAutoConnect = place(new QCheckBox(Frame1), "chkAutoConnect", twipsRect(120, 1080, 255, 255), autoConnectTip);
    label(Frame1, "Label4", QStringLiteral(" Auto Connect Drive"), twipsRect(360, 1080, 1455, 255), autoConnectTip);
    const QString passTip = QStringLiteral("Check this box if you want to be prompted for a password");
    chkPass = place(new QCheckBox(Frame1), "chkPass", twipsRect(120, 1440, 255, 195), passTip);
    label(Frame1, "Label8", QStringLiteral(" Prompt for password"), twipsRect(360, 1440, 1575, 255), passTip);

    lblStatus = label(this, "lblStatus", {}, twipsRect(120, 3240, 5055, 255), QStringLiteral("Status window"));
    label(this, "Label9", QStringLiteral("Record"), twipsRect(5280, 3240, 855, 255))->setFont(bold(font()));
    lblNetResourceNum = label(this, "lblNetResourceNum", {}, twipsRect(6120, 3240, 615, 255));
    lblNetResourceNum->setFont(bold(font()));

    setTabOrder(cmbDrive, chkAutoMap);
    setTabOrder(chkAutoMap, chkPass);
    setTabOrder(chkPass, chkAutoConnect);
    setTabOrder(chkAutoConnect, txtRecordName);
    setTabOrder(txtRecordName, txtRemoteName);
    setTabOrder(txtRemoteName, txtUserName);
    setTabOrder(txtUserName, txtPassword);

    // toggled runs on every change of the value, also when GetRecord sets it, before the setter returns.
    connect(chkAutoMap, &QCheckBox::toggled, this, &frmEdit::chkAutoMap_Click);
    connect(chkPass, &QCheckBox::toggled, this, &frmEdit::chkPass_Click);

    Form_Load();
}

void frmEdit::Form_Load()
{
    for (char letter = 'D'; letter <= 'Z'; ++letter)
        cmbDrive->addItem(QString(QLatin1Char(letter)) + u':');
    cmbDrive->setCurrentIndex(-1);
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
