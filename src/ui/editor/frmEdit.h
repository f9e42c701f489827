// The record editor. Its controls are the program's one current record, also while it is hidden.
#pragma once

#include "records/RecordForm.h"

#include <QDialog>
#include <QHash>

class MessageBoxes;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolBar;
class RecordFile;

class frmEdit : public QDialog
{
    Q_OBJECT

public:
    frmEdit(RecordFile& file, MessageBoxes& messages, QWidget* parent = nullptr);

    // Loads slot RecNum into the controls; false, with the controls untouched, when the slot cannot
    // be read. The slot number shown is CurrentRec's, which callers that show the record set first.
    bool GetRecord(qint16 RecNum, bool GetRemoteName);
    // Moves to the slot for a new record, unless the user keeps the editor on unsaved changes.
    void GetNewRecord();

    // The record as the controls hold it.
    RecordForm form() const;
    // Makes slot current and shows it; on a read failure stays on the record shown, and says why.
    bool moveTo(qint16 slot);

    qint16 CurrentRec = 1;

    QToolBar* tlbEdit = nullptr;
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QLineEdit* txtRecordName = nullptr;
    QLineEdit* txtRemoteName = nullptr;
    QLineEdit* txtUserName = nullptr;
    QLineEdit* txtPassword = nullptr;
    QCheckBox* chkAutoConnect = nullptr;
    QCheckBox* chkAutoMap = nullptr;
    QComboBox* cmbDrive = nullptr;
    QCheckBox* chkPass = nullptr;
    QPushButton* cmdDone = nullptr;
    QPushButton* cmdCancel = nullptr;
    QLabel* lblNetResourceNum = nullptr;
    QLabel* lblStatus = nullptr;

signals:
    // The window closes, whichever way: the Records pane is to show its saves and deletions.
    void closing();

public slots:
    // Escape is Cancel.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolbar();
    void Form_Load();
    void Form_Unload();
    void chkAutoMap_Click();
    void chkPass_Click();
    void cmdDone_Click();
    void cmdCancel_Click();
    void tlbEdit_ButtonClick(QAction* button);
    void NextRecord();
    void PreviousRecord();
    QString CheckRecordChanged();
    QString AskToSaveChanges();
    QString SaveRecord();
    void DeleteRecord();

    // A refused or failed operation: its text on the status line, a beep, and the answer "Wait". The focus goes
    // to field while the window is shown.
    QString refuse(const QString& text, QWidget* field = nullptr);
    QString refuseUnreadable(qint16 slot);

    RecordFile& m_file;
    MessageBoxes& m_messages;
    QHash<QObject*, QCheckBox*> m_captions; // a check box's caption label, which ticks it when clicked
};
