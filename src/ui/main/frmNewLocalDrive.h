// The dialog that offers another drive letter when the one a connect wanted is in use.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QStringList>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

class frmNewLocalDrive : public QDialog
{
    Q_OBJECT

public:
    // The caller starts the new connect once the dialog has closed, so that connect can open the dialog again.
    enum class Choice {
        Closed, // the close box or Esc: nothing more happens
        Cancelled, // the Cancel button
        Drive, // connect to chosenDrive()
        AutoMap, // connect to the first free letter
    };

    // freeDrives are the letters F: to Z: that are free, found by the caller away from the UI thread.
    explicit frmNewLocalDrive(QStringList freeDrives, QWidget* parent = nullptr);

    Choice choice() const { return m_choice; }
    // The letter as typed or picked, without any correction.
    QString chosenDrive() const { return m_chosenDrive; }

    QString CurNetResouce;
    QString CurLocalDrv;

    // The signal for OK without a letter; tests count the calls.
    std::function<void()> beep = &QApplication::beep;

    QLabel* lblNotice = nullptr;
    QComboBox* cmbDrive = nullptr;
    QCheckBox* chkAutoMap = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void chkAutoMap_Click();
    void cmdOk_Click();
    void cmdCancel_Click();

    QStringList m_freeDrives;
    bool m_loaded = false;
    Choice m_choice = Choice::Closed;
    QString m_chosenDrive;
};
