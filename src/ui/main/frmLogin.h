// The password prompt of a connect whose record asks for its password each time.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class frmLogin : public QDialog
{
    Q_OBJECT

public:
    // OK copies the typed password into MyPass; every other way out sets PassCanceled.
    frmLogin(QString& MyPass, bool& PassCanceled, QWidget* parent = nullptr);

    void done(int result) override;

    QLabel* lblLabels = nullptr;
    QLineEdit* txtPassword = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

private:
    void cmdOK_Click();
    void cmdCancel_Click();

    QString& m_myPass;
    bool& m_passCanceled;
};
