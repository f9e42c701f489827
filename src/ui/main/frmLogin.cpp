// The password prompt of a connect whose record asks for its password each time.
#include "frmLogin.h"

#include "ui/Layout.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmLogin::frmLogin(QString& MyPass, bool& PassCanceled, QWidget* parent)
    : QDialog(parent)
    , m_myPass(MyPass)
    , m_passCanceled(PassCanceled)
{
    setUpFixedDialog(this, "frmLogin", QStringLiteral("Login"), QSize(4110, 1215));

    lblLabels = place(new QLabel(QStringLiteral("&Password:"), this), "lblLabels", twipsRect(120, 0, 720, 225));
    txtPassword = place(new QLineEdit(this), "txtPassword", twipsRect(120, 240, 3885, 345));
    txtPassword->setEchoMode(QLineEdit::Password);
    lblLabels->setBuddy(txtPassword);
    cmdOK = place(new QPushButton(QStringLiteral("&OK"), this), "cmdOK", twipsRect(840, 720, 1065, 375));
    cmdOK->setDefault(true);
    cmdCancel = place(new QPushButton(QStringLiteral("&Cancel"), this), "cmdCancel", twipsRect(2280, 720, 1065, 375));

    connect(cmdOK, &QPushButton::clicked, this, &frmLogin::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogin::cmdCancel_Click);

    // The prompt can open while the main window is disabled for a batch of connects; as a window it stays usable.
    setEnabled(true);
}

void frmLogin::done(int result)
{
    // Esc and the close box end here without passing the Cancel button, and count as Cancel all the same.
    if (result != Accepted)
        m_passCanceled = true;
    QDialog::done(result);
}

void frmLogin::cmdOK_Click()
{
    hide();
    QCoreApplication::processEvents();
    m_myPass = txtPassword->text();
    accept();
}

void frmLogin::cmdCancel_Click()
{
    hide();
    QCoreApplication::processEvents();
    reject();
}
