// The main window: the Records and Connected Drives panes, the commands, and the program's start and end.
#pragma once

#include "connect/AutoConnectBatch.h"
#include "connect/ConnectRules.h"
#include "connect/LayerCall.h"
#include "records/RecordFile.h"

#include <QMainWindow>
#include <QPointer>
#include <QSystemTrayIcon>

#include <cstdio>
#include <functional>
#include <memory>

class FileManager;
class MessageBoxes;
class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeView;
class QTreeWidget;
class RecordsModel;
class Wnet;
class frmEdit;
class frmHelp;
class InputBlocker;
struct NETRESOURCE;

class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    struct Services
    {
        MessageBoxes& messages;
        Wnet& wnet; // adds, cancels and names the drive connections
        QString dataFolder; // where the record file is looked for and created
        // Set when nobody sees the window or answers a dialog (an unattended start without a display): the
        // connect's dialogs are cancelled at once and each record left unconnected is reported here.
        std::FILE* headless = nullptr;
        FileManager* files = nullptr; // opens a drive's folder; none where there is no desktop
        // Whether the desktop shows the notification-area icon, asked at each minimise.
        bool (*trayAvailable)() = &QSystemTrayIcon::isSystemTrayAvailable;
    };

    enum class Startup {
        Running, // the window is shown, or hidden for an unattended start
        Declined, // the user would not have the missing record file created
        Abandoned, // the record file could not be opened and the user gave up
    };

    frmMain(Services services, QStringList arguments, QWidget* parent = nullptr);
    ~frmMain() override;

    // The start-up sequence; anything but Running means the program ends without showing a window.
    Startup Form_Load();
    void ExitProgram();
    void UpdateRecords();

    // Connects the editor's current record: to LocalDrive when given, to the first free letter for AutoMap.
    void Connect_Click(const QString& LocalDrive = QString(), const bool& AutoMap = false);
    void SetStatusLight(const QString& color);
    void mnuRefresh_Click();
    void mnuDeleteNow_Click();
    void mnuAutoConnect_Click();
    void Timer_Timer();
    // The notification-area icon's clicks: a left click restores the window, a right one opens the icon's menu.
    void trayIcon_Activated(QSystemTrayIcon::ActivationReason reason);
    void mPopRestore_Click();
    // A second start: with -auto it asks for the batch, which starts once the window is free for it; without, it
    // asks for the window, which then stays open, even when this run started unattended.
    void requestAutoConnect();
    void bringForward();

    // The one current record, created hidden at start-up.
    frmEdit& editor();

    QString CommandLine;
    bool AutoMode = false;
    QString MyPass; // the password of the connect under way, set by the password prompt or from the record
    bool PassCanceled = false;
    bool ForceDisconnect = false;
    // The auto-connect batch's state.
    bool& StartAutoConnect;
    bool& AutoConnectRunning;
    qint32& TickCount;
    qint32& StartTick;
    qint32& EmptyCount;
    // Set by a mouse button pressed in the pane, cleared by the next release there: the source of a drag.
    bool ConnectionsMouseDown = false;
    bool RecordsMouseDown = false;

    QToolBar* tlbMain = nullptr;
    QToolButton* Command1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QTreeView* lsvRecords = nullptr;
    QGroupBox* Frame2 = nullptr;
    QTreeWidget* lsvConnections = nullptr;
    QLabel* lblStatus = nullptr;
    QLabel* picGreen = nullptr;
    QLabel* picGreenGrey = nullptr;
    QLabel* picRed = nullptr;
    QLabel* picRedGrey = nullptr;
    QTimer* Timer = nullptr;

    QMenu* mnuNetwork = nullptr;
    QAction* mnuConnectDrv = nullptr;
    QAction* mnuDisconnectDrv = nullptr;
    QAction* mnuAutoConnect = nullptr;
    QAction* mnuDisconnectAll = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuRecords = nullptr;
    QAction* mnuEditRecords = nullptr;
    QMenu* mnuTools = nullptr;
    QAction* mnuAutoStartSetup = nullptr;
    QMenu* mnuHelpStuff = nullptr;
    QAction* mnuHelp = nullptr;
    QAction* mnuAbout = nullptr;
    // Context menus of the Connected Drives pane, the notification-area icon and the Records pane.
    QMenu* mnuDelete = nullptr;
    QAction* mnuDeleteNow = nullptr;
    QAction* mnuExplorer = nullptr;
    QAction* mnuRefresh = nullptr;
    QMenu* mPopupSys = nullptr;
    QAction* mPopRestore = nullptr;
    QAction* mPopExit = nullptr;
    QMenu* mnuRemoteName = nullptr;
    QAction* mnuConnect = nullptr;
    QAction* mnuEdit = nullptr;

signals:
    // The program is to end now with this status.
    void ended(int exitStatus);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPanes(QWidget* client);
    void buildToolbar(QWidget* client);
    void buildMenus();
    void buildStatusBar(QWidget* client);

    Startup OpenDataFile();
    bool retryOnError(const std::function<bool()>& step, const std::function<QString()>& error);
    void UpdateTrayIcon(qint16 action);
    void Form_Unload();
    // A close asked for while a command or a connect ran, once that is done.
    void closeIfAsked();
    void Form_Resize();
    void mPopExit_Click();
    void tlbMain_ButtonClick(QAction* button);
    void mnuAutoStartSetup_Click();
    void mnuHelp_Click();
    void mnuAbout_Click();
    void mnuEditRecords_Click();
    void mnuEdit_Click();
    void mnuExplorer_Click();
    void lsvConnections_MouseDown();
    void lsvConnections_MouseUP(Qt::MouseButton button, QPoint position);
    void lsvRecords_MouseDown();
    void lsvRecords_MouseUP(Qt::MouseButton button, QPoint position);
    void lsvConnections_OLEDragDrop();
    void lsvRecords_OLEDragDrop();

    void RefreshConnections();
    void GetConnectionName(const QString& drive, QString& remoteName);
    void IsDriveInUse(const QString& rootPath, bool& inUse);
    void ConnectSelectedRecord();
    void connectRecords(const QList<qint16>& slotNumbers);
    QList<qint16> selectedSlots() const;
    void DisconnectDrive(QString& drive);
    void DisconnectAllDrives();

    // A pane command runs alone, and the window takes no input until it is done.
    void runAlone(void (frmMain::*command)());
    // One pass of a connect; true when the drive-in-use dialog chose another drive, now in localDrive and autoMap.
    bool connectRecord(const RecordForm& record, QString& localDrive, bool& autoMap);
    bool askForAnotherDrive(const NETRESOURCE& resource, QString& localDrive, bool& autoMap);
    void askForPassword(const QString& remoteName);
    void connectEnded(const QString& remoteName, ConnectOutcome outcome, const QString& statusText);
    void holdInputForBatch();
    void setControlsEnabled(bool enabled);
    void endAutoConnect();
    // A refusal or a failure: red light, its text, a beep.
    void showError(const QString& text);
    // The drives of the Connected Drives pane's rows, in list order.
    QStringList paneDrives(bool selectedOnly) const;
    // A Records row's slot, which its key carries from the fourth character on.
    qint16 slotOfRow(int row) const;

    class BatchCursor;

    Services m_services;
    QStringList m_arguments;
    RecordFile m_file;
    QPointer<frmEdit> m_editor;
    QPointer<frmHelp> m_help; // one help window, beside the main window until closed
    qint16 m_currentRec = 1; // the editor's CurrentRec, kept while the window is destroyed
    RecordsModel* m_records = nullptr;
    QSystemTrayIcon* m_trayIcon = nullptr;
    InputBlocker* m_blocker = nullptr;
    LayerCall m_layer;
    AutoConnectBatch m_batch;
    std::unique_ptr<BatchCursor> m_cursor;
    QString FreeDrive; // the letter the last connect found free, without its colon
    bool m_busy = false; // a pane command runs
    bool m_inConnect = false;
    bool m_batchHolds = false; // the batch holds the window's input
    bool m_autoConnectAsked = false; // by a second start
    bool m_forwardAsked = false; // by a second start during start-up
    bool m_started = false; // start-up has shown the window or started the batch
    bool m_closeAsked = false; // while a command or a connect ran
    ConnectOutcome m_outcome = ConnectOutcome::Connected; // of the last connect
    QString m_outcomeText;
    int m_exitStatus = 0;
};
