// The record editor. Its controls are the program's one current record, also while it is hidden.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class RecordFile;

class frmEdit : public QDialog
{
    Q_OBJECT

public:
    explicit frmEdit(RecordFile& file, QWidget* parent = nullptr);

    // Loads slot RecNum into the controls; false, with the controls untouched, when the slot cannot
    // be read. The slot number shown is CurrentRec's, which callers that show the record set first.
    bool GetRecord(qint16 RecNum, bool GetRemoteName);

    qint16 CurrentRec = 1;

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLineEdit* txtRecordName = nullptr;
    QLineEdit* txtRemoteName = nullptr;
    QLineEdit* txtUserName = nullptr;
    QLineEdit* txtPassword = nullptr;
    QCheckBox* chkAutoConnect = nullptr;
    QCheckBox* chkAutoMap = nullptr;
    QComboBox* cmbDrive = nullptr;
    QCheckBox* chkPass = nullptr;
    QLabel* lblNetResourceNum = nullptr;
    QLabel* lblStatus = nullptr;

private:
    void Form_Load();
    void chkAutoMap_Click();
    void chkPass_Click();

    RecordFile& m_file;
};
