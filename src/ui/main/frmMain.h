// The main window: the Records and Connected Drives panes, the commands, and the program's start and end.
#pragma once

#include "records/RecordFile.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>

class MessageBoxes;
class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeView;
class QTreeWidget;
class RecordsModel;
class Wnet;
class frmEdit;

class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    struct Services
    {
        MessageBoxes& messages;
        Wnet& wnet; // adds, cancels and names the drive connections
        QString dataFolder; // where the record file is looked for and created
    };

    enum class Startup {
        Running, // the window is shown, or hidden for an unattended start
        Declined, // the user would not have the missing record file created
        Abandoned, // the record file could not be opened and the user gave up
    };

    frmMain(Services services, QStringList arguments, QWidget* parent = nullptr);

    // The start-up sequence; anything but Running means the program ends without showing a window.
    Startup Form_Load();
    void ExitProgram();
    void UpdateRecords();

    // The one current record, created hidden at start-up.
    frmEdit& editor();

    QString CommandLine;
    bool AutoMode = false;
    bool StartAutoConnect = false;
    qint32 TickCount = 0;

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
    void closeEvent(QCloseEvent* event) override;

private:
    void buildPanes(QWidget* client);
    void buildToolbar(QWidget* client);
    void buildMenus();
    void buildStatusBar(QWidget* client);

    Startup OpenDataFile();
    bool retryOnError(const std::function<bool()>& step, const std::function<QString()>& error);
    void UpdateTrayIcon(qint16 action);
    void Form_Unload();
    void tlbMain_ButtonClick(QAction* button);
    void Timer_Timer();

    Services m_services;
    QStringList m_arguments;
    RecordFile m_file;
    QPointer<frmEdit> m_editor;
    RecordsModel* m_records = nullptr;
    QSystemTrayIcon* m_trayIcon = nullptr;
};
