// The dialog that offers another drive letter when the one a connect wanted is in use.
#include "frmNewLocalDrive.h"

#include "ui/Layout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QPushButton>

frmNewLocalDrive::frmNewLocalDrive(QStringList freeDrives, QWidget* parent)
    : QDialog(parent)
    , m_freeDrives(std::move(freeDrives))
{
    setUpFixedDialog(this, "frmNewLocalDrive", QStringLiteral("Local Drive In Use"), QSize(3480, 2175));

    lblNotice = place(new QLabel(this), "lblNotice", twipsRect(120, 120, 3225, 795));
    // The remote name in the notice is the user's own text, never markup.
    lblNotice->setTextFormat(Qt::PlainText);
    lblNotice->setWordWrap(true);
    lblNotice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    cmbDrive = place(new QComboBox(this), "cmbDrive", twipsRect(1800, 1080, 615, 315),
                     QStringLiteral("Select drive letter to map network path"));
    cmbDrive->setEditable(true);
    // A case-blind completer would let Enter swap a typed "g:" for the listed "G:"; the letter goes on as typed.
    cmbDrive->completer()->setCaseSensitivity(Qt::CaseSensitive);
    place(new QLabel(QStringLiteral("Drive Letter"), this), "Label6", twipsRect(2520, 1200, 855, 255));
    const QString autoMapTip
        = QStringLiteral("Set this ONLY if you want ShareMount to use the first available drive letter");
    chkAutoMap = place(new QCheckBox(this), "chkAutoMap", twipsRect(120, 1200, 255, 255), autoMapTip);
    place(new QLabel(QStringLiteral(" Auto Map Drive"), this), "Label5", twipsRect(360, 1200, 1215, 255), autoMapTip);
    cmdOk = place(new QPushButton(QStringLiteral("OK"), this), "cmdOk", twipsRect(360, 1680, 1095, 375));
    cmdCancel = place(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel", twipsRect(1920, 1680, 1095, 375));

    setTabOrder(cmbDrive, chkAutoMap);
    setTabOrder(chkAutoMap, cmdOk);
    setTabOrder(cmdOk, cmdCancel);

    connect(chkAutoMap, &QCheckBox::toggled, this, &frmNewLocalDrive::chkAutoMap_Click);
    connect(cmdOk, &QPushButton::clicked, this, &frmNewLocalDrive::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmNewLocalDrive::cmdCancel_Click);

    // The dialog can open while the main window is disabled for a batch of connects; as a window it stays usable.
    setEnabled(true);
}

void frmNewLocalDrive::showEvent(QShowEvent* event)
{
    // The notice needs CurNetResouce and CurLocalDrv, which the caller sets after construction.
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    QDialog::showEvent(event);
}

void frmNewLocalDrive::Form_Load()
{
    cmbDrive->addItems(m_freeDrives);
    cmbDrive->setCurrentIndex(-1);
    lblNotice->setText(
        QStringList({QStringLiteral("You have attempted to map:"), CurNetResouce,
                     QStringLiteral("To local drive ") + CurLocalDrv + QStringLiteral(" which is already in use."),
                     QStringLiteral("Please select a new local drive.")})
            .join(u'\n'));
}

void frmNewLocalDrive::chkAutoMap_Click()
{
    cmbDrive->setEnabled(!chkAutoMap->isChecked());
}

void frmNewLocalDrive::cmdOk_Click()
{
    if (cmbDrive->currentText().isEmpty() && !chkAutoMap->isChecked()) {
        cmbDrive->setFocus();
        beep();
        return;
    }
    hide();
    QCoreApplication::processEvents();
    m_choice = chkAutoMap->isChecked() ? Choice::AutoMap : Choice::Drive;
    m_chosenDrive = cmbDrive->currentText();
    accept();
}

void frmNewLocalDrive::cmdCancel_Click()
{
    m_choice = Choice::Cancelled;
    reject();
}
