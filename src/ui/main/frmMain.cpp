// The main window: the Records and Connected Drives panes, the commands, and the program's start and end.
#include "frmMain.h"

#include "InputBlocker.h"
#include "PaneColumns.h"
#include "RecordsModel.h"
#include "connect/DriveLetters.h"
#include "frmLogin.h"
#include "frmNewLocalDrive.h"
#include "net/Wnet.h"
#include "platform/DataFolder.h"
#include "platform/FileManager.h"
#include "platform/MessageBoxes.h"
#include "ui/Layout.h"
#include "ui/Panes.h"
#include "ui/about/frmAbout.h"
#include "ui/about/frmHelp.h"
#include "ui/autostart/frmAutoStart.h"
#include "ui/editor/frmEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

namespace {

QMenu* menu(QWidget* parent, const char* name, const QString& title)
{
    auto* menu = new QMenu(title, parent);
    menu->setObjectName(QLatin1String(name));
    return menu;
}

QAction* item(QMenu* menu, const char* name, const QString& text)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QLatin1String(name));
    return action;
}

void separator(QMenu* menu, const char* name)
{
    menu->addSeparator()->setObjectName(QLatin1String(name));
}

QLabel* light(QWidget* parent, const char* name, const char* image, int left, const QString& toolTip = {})
{
    auto* label = place(new QLabel(parent), name, twipsRect(left, 4560, 255, 255), toolTip);
    label->setPixmap(artwork(image).pixmap(13, 13));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

void configurePane(QTreeView* view)
{
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->header()->setStretchLastSection(false);
    view->header()->setSectionsMovable(false);
    view->header()->setMinimumSectionSize(twips(200));
    // The panes are each other's drag source and drop target; a drop copies, it never takes a row away.
    view->setDragEnabled(true);
    view->setAcceptDrops(true);
    view->setDragDropMode(QAbstractItemView::DragDrop);
    view->setDefaultDropAction(Qt::CopyAction);
    view->setDropIndicatorShown(false);
}

// A pane's context menu opens where the right button is released over its selected current row.
void popUpOnCurrentRow(const QTreeView* pane, QMenu* menu, Qt::MouseButton button, QPoint position)
{
    if (button == Qt::RightButton && isCurrentRowSelected(pane))
        menu->popup(position);
}

// A drive dragged out of the pane is copied: a drop that takes it as a move must not remove its row.
class DrivesPane final : public QTreeWidget
{
public:
    using QTreeWidget::QTreeWidget;

protected:
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }
};

} // namespace

// The batch moves through the record file on the editor's current record. A slot that cannot be read counts
// as empty, so that a failing disk ends the batch instead of connecting the record read before it again.
class frmMain::BatchCursor final : public AutoConnectBatch::Cursor
{
public:
    explicit BatchCursor(frmMain& window)
        : m_window(window)
    { }

    qint16 position() const override { return m_window.editor().CurrentRec; }
    void moveTo(qint16 slot) override
    {
        frmEdit& editor = m_window.editor();
        editor.CurrentRec = slot;
        m_readable = editor.GetRecord(slot, true);
    }
    bool isDue() const override { return !isEmpty() && m_window.editor().chkAutoConnect->isChecked(); }
    bool isEmpty() const override { return !m_readable || m_window.editor().txtRemoteName->text().isEmpty(); }

private:
    frmMain& m_window;
    bool m_readable = true;
};

frmMain::frmMain(Services services, QStringList arguments, QWidget* parent)
    : QMainWindow(parent)
    , StartAutoConnect(m_batch.StartAutoConnect)
    , AutoConnectRunning(m_batch.AutoConnectRunning)
    , TickCount(m_batch.TickCount)
    , StartTick(m_batch.StartTick)
    , EmptyCount(m_batch.EmptyCount)
    , m_services(std::move(services))
    , m_arguments(std::move(arguments))
    , m_cursor(std::make_unique<BatchCursor>(*this))
{
    setUpWindow(this, "frmMain", QStringLiteral("ShareMount"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twips(8895), twips(4935));
    setCentralWidget(client);

    buildToolbar(client);
    buildPanes(client);
    buildStatusBar(client);
    buildMenus();

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, &frmMain::Timer_Timer);

    m_trayIcon = new QSystemTrayIcon(artwork("app"), this);
    m_trayIcon->setToolTip(QStringLiteral("sharemount"));
    // The tray shows the menu itself: under the pointer, or through the desktop's own menus where the icon is
    // a status notifier.
    m_trayIcon->setContextMenu(mPopupSys);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &frmMain::trayIcon_Activated);
    m_blocker = new InputBlocker(this);
    // The icon's menu ends an unattended start whose batch holds the window; a connect under way finishes first.
    m_blocker->letThrough(mPopupSys);
    // The one current record, created hidden with the window; start-up loads it once the record file is open.
    editor();

    lsvRecords->viewport()->installEventFilter(this);
    lsvConnections->viewport()->installEventFilter(this);
    // Keys beside the menus, which carry none.
    // Ctrl+Q goes the close box's way, which waits for a connect or a disconnect under way.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this), &QShortcut::activated, this, &QWidget::close);
    connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this,
            [this] { runAlone(&frmMain::mnuRefresh_Click); });
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, &frmMain::mnuHelp_Click);

    adjustSize();
    setFixedSize(size());
}

frmMain::~frmMain() = default;

void frmMain::buildToolbar(QWidget* client)
{
    tlbMain = placeToolbar(client, "tlbMain");
    addKeyedButton(tlbMain, "Connect", "toolbar-connect", QStringLiteral("Connect Drive"));
    addKeyedButton(tlbMain, "Disconnect", "toolbar-disconnect", QStringLiteral("Disconnect Drive"));
    addKeyedButton(tlbMain, "AutoConnect", "toolbar-autoconnect", QStringLiteral("Connect The Auto Connect Drives"));
    addKeyedButton(tlbMain, "DisconnectAll", "toolbar-disconnectall",
                   QStringLiteral("Disconnect All Connected Drives"));
    tlbMain->addSeparator();
    addKeyedButton(tlbMain, "Edit", "toolbar-edit", QStringLiteral("Edit Records"));
    tlbMain->addSeparator();
    addKeyedButton(tlbMain, "AutoStart", "toolbar-autostart", QStringLiteral("Auto Start Setup"));
    tlbMain->addSeparator();
    addKeyedButton(tlbMain, "Help", "toolbar-help", QStringLiteral("Help"));
    tlbMain->addSeparator();
    addKeyedButton(tlbMain, "Exit", "toolbar-exit", QStringLiteral("Exit Program"));
    connect(tlbMain, &QToolBar::actionTriggered, this, &frmMain::tlbMain_ButtonClick);

    // The logo stays out of the tab order; its right edge lines up with the Connected Drives frame.
    Command1 = place(new QToolButton(client), "Command1", twipsRect(6840, 0, 1935, 375), QStringLiteral("Click me!"));
    Command1->setIcon(artwork("logo"));
    Command1->setIconSize(QSize(116, 23));
    Command1->setAutoRaise(true);
    Command1->setFocusPolicy(Qt::NoFocus);
    connect(Command1, &QToolButton::clicked, this, &frmMain::mnuAbout_Click);
}

void frmMain::buildPanes(QWidget* client)
{
    Frame1 = place(new QGroupBox(QStringLiteral("Records"), client), "Frame1", twipsRect(120, 480, 4455, 3975));
    lsvRecords = place(new QTreeView(Frame1), "lsvRecords", twipsRect(120, 240, 4215, 3615),
                       QStringLiteral("List of saved records"));
    m_records = new RecordsModel(artwork("row-record"), this);
    lsvRecords->setModel(m_records);
    configurePane(lsvRecords);
    new PaneColumns(lsvRecords, QStringLiteral("Records"), {twips(750), twips(1500), twips(250), twips(200)});

    Frame2
        = place(new QGroupBox(QStringLiteral("Connected Drives"), client), "Frame2", twipsRect(4680, 480, 4095, 3975));
    lsvConnections = place(new DrivesPane(Frame2), "lsvConnections", twipsRect(120, 240, 3855, 3615),
                           QStringLiteral("List of all connected drives"));
    lsvConnections->setHeaderLabels({QStringLiteral("Local Drive"), QStringLiteral("NetResource")});
    configurePane(lsvConnections);
    new PaneColumns(lsvConnections, QStringLiteral("ConnectedDrives"), {twips(750), twips(2200)});
}

void frmMain::buildStatusBar(QWidget* client)
{
    lblStatus
        = place(new QLabel(client), "lblStatus", twipsRect(120, 4560, 7935, 255), QStringLiteral("Status window"));
    // Each lit light lies over its dark twin; the dark ones show until an outcome lights one.
    picGreenGrey = light(client, "picGreenGrey", "light-green-off", 8280);
    picGreen = light(client, "picGreen", "light-green-on", 8280, QStringLiteral("Sucessful"));
    picRedGrey = light(client, "picRedGrey", "light-red-off", 8520);
    picRed = light(client, "picRed", "light-red-on", 8520, QStringLiteral("Error"));
    picGreen->hide();
    picRed->hide();
}

void frmMain::buildMenus()
{
    mnuNetwork = menu(this, "mnuNetwork", QStringLiteral("&Network"));
    mnuConnectDrv = item(mnuNetwork, "mnuConnectDrv", QStringLiteral("&Connect"));
    mnuDisconnectDrv = item(mnuNetwork, "mnuDisconnectDrv", QStringLiteral("&Disconnect"));
    separator(mnuNetwork, "mnuSpace1");
    mnuAutoConnect = item(mnuNetwork, "mnuAutoConnect", QStringLiteral("&Auto Connect"));
    mnuDisconnectAll = item(mnuNetwork, "mnuDisconnectAll", QStringLiteral("Disconnect &All"));
    separator(mnuNetwork, "mnuSpace2");
    mnuExit = item(mnuNetwork, "mnuExit", QStringLiteral("&Exit"));
    connect(mnuExit, &QAction::triggered, this, &frmMain::ExitProgram);
    connect(mnuConnectDrv, &QAction::triggered, this, [this] { runAlone(&frmMain::ConnectSelectedRecord); });
    connect(mnuDisconnectDrv, &QAction::triggered, this, [this] { runAlone(&frmMain::mnuDeleteNow_Click); });
    connect(mnuAutoConnect, &QAction::triggered, this, &frmMain::mnuAutoConnect_Click);
    connect(mnuDisconnectAll, &QAction::triggered, this, [this] { runAlone(&frmMain::DisconnectAllDrives); });

    mnuRecords = menu(this, "mnuRecords", QStringLiteral("&Edit"));
    mnuEditRecords = item(mnuRecords, "mnuEditRecords", QStringLiteral("&Records"));
    connect(mnuEditRecords, &QAction::triggered, this, &frmMain::mnuEditRecords_Click);
    mnuTools = menu(this, "mnuTools", QStringLiteral("&Tools"));
    mnuAutoStartSetup = item(mnuTools, "mnuAutoStartSetup", QStringLiteral("&Auto Start Setup"));
    connect(mnuAutoStartSetup, &QAction::triggered, this, &frmMain::mnuAutoStartSetup_Click);
    mnuHelpStuff = menu(this, "mnuHelpStuff", QStringLiteral("&Help"));
    mnuHelp = item(mnuHelpStuff, "mnuHelp", QStringLiteral("&ShareMount Help"));
    mnuAbout = item(mnuHelpStuff, "mnuAbout", QStringLiteral("&About ShareMount"));
    connect(mnuHelp, &QAction::triggered, this, &frmMain::mnuHelp_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
    for (QMenu* shown : {mnuNetwork, mnuRecords, mnuTools, mnuHelpStuff})
        menuBar()->addMenu(shown);

    mnuDelete = menu(this, "mnuDelete", QStringLiteral("Delete"));
    mnuDeleteNow = item(mnuDelete, "mnuDeleteNow", QStringLiteral("&Disconnect Drive(s)"));
    mnuExplorer = item(mnuDelete, "mnuExplorer", QStringLiteral("&Explore Drive"));
    mnuRefresh = item(mnuDelete, "mnuRefresh", QStringLiteral("&Refresh Window"));
    connect(mnuDeleteNow, &QAction::triggered, this, [this] { runAlone(&frmMain::mnuDeleteNow_Click); });
    connect(mnuExplorer, &QAction::triggered, this, &frmMain::mnuExplorer_Click);
    connect(mnuRefresh, &QAction::triggered, this, [this] { runAlone(&frmMain::mnuRefresh_Click); });
    mPopupSys = menu(this, "mPopupSys", QStringLiteral("&SysTray"));
    mPopRestore = item(mPopupSys, "mPopRestore", QStringLiteral("&Restore"));
    mPopExit = item(mPopupSys, "mPopExit", QStringLiteral("&Exit"));
    connect(mPopRestore, &QAction::triggered, this, &frmMain::mPopRestore_Click);
    connect(mPopExit, &QAction::triggered, this, &frmMain::mPopExit_Click);
    mnuRemoteName = menu(this, "mnuRemoteName", QStringLiteral("RemoteName"));
    mnuConnect = item(mnuRemoteName, "mnuConnect", QStringLiteral("&Connect"));
    mnuEdit = item(mnuRemoteName, "mnuEdit", QStringLiteral("&Edit"));
    connect(mnuConnect, &QAction::triggered, this, [this] { runAlone(&frmMain::ConnectSelectedRecord); });
    connect(mnuEdit, &QAction::triggered, this, &frmMain::mnuEdit_Click);
}

// The editor's close box destroys it. The window made for the next use comes back on the record it was on, so
// that its change check never compares an empty form with a stored record.
frmEdit& frmMain::editor()
{
    if (!m_editor) {
        m_editor = new frmEdit(m_file, m_services.messages, this);
        m_editor->CurrentRec = m_currentRec;
        m_editor->GetRecord(m_currentRec, true);
        connect(m_editor, &frmEdit::closing, this, [this] {
            m_currentRec = m_editor->CurrentRec;
            UpdateRecords();
        });
    }
    return *m_editor;
}

frmMain::Startup frmMain::Form_Load()
{
    UpdateTrayIcon(0);
    CommandLine = m_arguments.join(u' ');
    if (const Startup opened = OpenDataFile(); opened != Startup::Running)
        return opened;
    RefreshConnections();
    UpdateRecords();
    if (m_file.isReadOnly())
        lblStatus->setText(QStringLiteral("drvmap.dat may only be read: records can be connected, not changed."));
    Timer->start();
    if (CommandLine == u"-auto") {
        AutoMode = true;
        hide();
        m_batch.request();
        // The window stays enabled, but if a failure shows it, it takes no input until the batch is done.
        holdInputForBatch();
    } else {
        show();
    }
    m_started = true;
    if (std::exchange(m_forwardAsked, false))
        bringForward();
    return Startup::Running;
}

frmMain::Startup frmMain::OpenDataFile()
{
    const QString folder = m_services.dataFolder;
    const QString fileName = QString::fromLatin1(RecordFile::FileName);
    QString error;
    if (isRecordFileMissing(folder)) {
        const MessageBoxes::Answer answer
            = m_services.messages.ask({QStringLiteral("drvmap.dat is Missing!"),
                                       QStringLiteral("        Create New .dat File?"), MessageBoxes::Buttons::YesNo});
        if (answer != MessageBoxes::Answer::Yes)
            return Startup::Declined;
        if (!retryOnError([&] { return DataFolder::create(folder, &error); }, [&] { return error; }))
            return Startup::Abandoned;
    }
    const QString path = QDir(folder).filePath(fileName);
    if (!retryOnError([&] { return m_file.open(path); }, [&] { return m_file.errorString(); }))
        return Startup::Abandoned;
    editor().CurrentRec = 1;
    if (!retryOnError([&] { return editor().GetRecord(1, true); }, [&] { return m_file.errorString(); }))
        return Startup::Abandoned;
    return Startup::Running;
}

// OK tries the failed step again; Cancel gives up, so that a lasting failure cannot trap the user.
bool frmMain::retryOnError(const std::function<bool()>& step, const std::function<QString()>& error)
{
    while (!step()) {
        const MessageBoxes::Answer answer = m_services.messages.ask(
            {QStringLiteral("File I/O Error"), error(), MessageBoxes::Buttons::OkCancel, MessageBoxes::Icon::Critical});
        if (answer != MessageBoxes::Answer::Ok)
            return false;
    }
    return true;
}

void frmMain::UpdateRecords()
{
    RecordListing listing = listRecords(m_file);
    m_records->setRows(std::move(listing.rows));
    if (!listing.error.isEmpty()) {
        lblStatus->setText(QStringLiteral("ERROR: ") + listing.error);
        m_services.messages.beep();
    }
}

void frmMain::UpdateTrayIcon(qint16 action)
{
    constexpr qint16 Add = 0;
    m_trayIcon->setVisible(action == Add);
}

void frmMain::ExitProgram()
{
    UpdateTrayIcon(2);
    emit ended(m_exitStatus);
}

// Closing the main window ends the program the same way as the Exit commands.
void frmMain::Form_Unload()
{
    ExitProgram();
}

void frmMain::trayIcon_Activated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
    case QSystemTrayIcon::DoubleClick:
        mPopRestore_Click();
        break;
    case QSystemTrayIcon::Context:
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        break;
    }
}

void frmMain::mPopRestore_Click()
{
    showNormal();
    raise();
    activateWindow();
}

void frmMain::mPopExit_Click()
{
    close();
}

void frmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

// A minimised window leaves the task bar for the notification area; where the desktop shows no icon it stays in
// the task bar, or nothing would bring it back.
void frmMain::Form_Resize()
{
    if (isMinimized() && m_trayIcon->isVisible() && m_services.trayAvailable())
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isMinimized())
                    hide();
            },
            Qt::QueuedConnection);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // A connect or a disconnect under way is finished first: the program must not end with a mount half made,
    // nor go on with one that its dialogs can no longer answer.
    if (m_busy || m_inConnect) {
        m_closeAsked = true;
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void frmMain::closeIfAsked()
{
    if (m_closeAsked && !m_busy && !m_inConnect) {
        m_closeAsked = false;
        close();
    }
}

void frmMain::tlbMain_ButtonClick(QAction* button)
{
    const QString key = button->data().toString();
    if (key == u"Connect")
        runAlone(&frmMain::ConnectSelectedRecord);
    else if (key == u"Disconnect")
        runAlone(&frmMain::mnuDeleteNow_Click);
    else if (key == u"DisconnectAll")
        runAlone(&frmMain::DisconnectAllDrives);
    else if (key == u"AutoStart")
        mnuAutoStartSetup_Click();
    else if (key == u"AutoConnect")
        mnuAutoConnect_Click();
    else if (key == u"Help")
        mnuHelp_Click();
    else if (key == u"Exit")
        ExitProgram();
    else if (key == u"Edit")
        mnuEditRecords_Click();
}

void frmMain::mnuEditRecords_Click()
{
    frmEdit& current = editor();
    current.lblStatus->clear();
    current.moveTo(1);
    current.exec();
}

void frmMain::mnuEdit_Click()
{
    const QModelIndex row = lsvRecords->currentIndex();
    if (!row.isValid())
        return;
    frmEdit& current = editor();
    current.moveTo(slotOfRow(row.row()));
    current.exec();
}

void frmMain::mnuAutoStartSetup_Click()
{
    frmAutoStart window(QCoreApplication::applicationFilePath(), QProcessEnvironment::systemEnvironment(),
                        m_services.messages, this);
    window.exec();
}

void frmMain::mnuHelp_Click()
{
    if (!m_help)
        m_help = new frmHelp(this);
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void frmMain::mnuAbout_Click()
{
    frmAbout about(this);
    about.exec();
}

void frmMain::mnuExplorer_Click()
{
    const QStringList drives = paneDrives(true);
    if (drives.size() != 1) {
        m_services.messages.ask(
            {QStringLiteral("Error"), QStringLiteral("Please only select one item at\r     a time with this option.")});
        return;
    }
    if (!m_services.files || !m_services.files->openDrive(drives.front())) {
        m_services.messages.ask({QStringLiteral("Error"),
                                 QStringLiteral("Cannot show %1: no file manager could be started. Is xdg-open "
                                                "(xdg-utils) installed?")
                                     .arg(drives.front()),
                                 MessageBoxes::Buttons::Ok, MessageBoxes::Icon::Critical});
    }
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    const bool records = watched == lsvRecords->viewport();
    if (!records && watched != lsvConnections->viewport())
        return QMainWindow::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        records ? lsvRecords_MouseDown() : lsvConnections_MouseDown();
        break;
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint position = mouse->globalPosition().toPoint();
        records ? lsvRecords_MouseUP(mouse->button(), position) : lsvConnections_MouseUP(mouse->button(), position);
        break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        // Which pane a drag came from is told by the other pane's mouse flag, not by the dragged data.
        auto* drag = static_cast<QDropEvent*>(event);
        if (!(records ? ConnectionsMouseDown : RecordsMouseDown)) {
            drag->ignore();
            return true;
        }
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        // The drop runs once the drag has ended: its connects and its editor open windows of their own. By then a
        // batch may have started, which moves the editor's current record.
        if (event->type() == QEvent::Drop) {
            QMetaObject::invokeMethod(
                this,
                [this, records] {
                    if (m_batch.isActive())
                        return;
                    records ? runAlone(&frmMain::lsvRecords_OLEDragDrop)
                            : runAlone(&frmMain::lsvConnections_OLEDragDrop);
                },
                Qt::QueuedConnection);
        }
        return true;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::lsvConnections_OLEDragDrop()
{
    if (RecordsMouseDown)
        connectRecords(selectedSlots());
}

void frmMain::lsvRecords_OLEDragDrop()
{
    if (!ConnectionsMouseDown)
        return;
    const QList<QTreeWidgetItem*> selected = lsvConnections->selectedItems();
    if (selected.isEmpty())
        return;
    if (selected.size() > 1) {
        m_services.messages.ask({QStringLiteral("Drag Error"), QStringLiteral("Please only drag one item at a time.")});
        return;
    }
    frmEdit& current = editor();
    current.GetNewRecord();
    current.txtRemoteName->setText(selected.front()->text(1));
    current.exec();
}

void frmMain::lsvConnections_MouseDown()
{
    ConnectionsMouseDown = true;
}

void frmMain::lsvConnections_MouseUP(Qt::MouseButton button, QPoint position)
{
    ConnectionsMouseDown = false;
    popUpOnCurrentRow(lsvConnections, mnuDelete, button, position);
}

void frmMain::lsvRecords_MouseDown()
{
    RecordsMouseDown = true;
}

void frmMain::lsvRecords_MouseUP(Qt::MouseButton button, QPoint position)
{
    RecordsMouseDown = false;
    popUpOnCurrentRow(lsvRecords, mnuRemoteName, button, position);
}

void frmMain::runAlone(void (frmMain::*command)())
{
    if (m_busy || m_inConnect)
        return;
    {
        const QScopedValueRollback busy(m_busy, true);
        const InputBlocker::Scope blocked(*m_blocker);
        (this->*command)();
    }
    closeIfAsked();
}

void frmMain::showError(const QString& text)
{
    SetStatusLight(QStringLiteral("Red"));
    lblStatus->setText(text);
    m_services.messages.beep();
}

void frmMain::SetStatusLight(const QString& color)
{
    if (color != u"Green" && color != u"Red")
        return;
    const bool green = color == u"Green";
    picGreen->setVisible(green);
    picGreenGrey->setVisible(!green);
    picRed->setVisible(!green);
    picRedGrey->setVisible(green);
}

void frmMain::RefreshConnections()
{
    Wnet& wnet = m_services.wnet;
    const QList<QChar> letters = m_layer([&wnet] { return DriveLetters::networkLetters(wnet); });
    QList<QTreeWidgetItem*> rows;
    for (const QChar letter : letters) {
        QString remoteName;
        GetConnectionName(DriveLetters::drive(letter), remoteName);
        auto* row = new QTreeWidgetItem({u' ' + DriveLetters::drive(letter), remoteName});
        row->setIcon(0, artwork("row-drive"));
        rows.append(row);
    }
    // The pane is rebuilt only once the layer has answered, so that it never shows half a list.
    lsvConnections->clear();
    lsvConnections->addTopLevelItems(rows);
    if (!rows.isEmpty())
        SetStatusLight(QStringLiteral("Green"));
}

void frmMain::GetConnectionName(const QString& drive, QString& remoteName)
{
    Wnet& wnet = m_services.wnet;
    remoteName = m_layer([&wnet, &drive] { return DriveLetters::connectionName(wnet, drive); });
}

void frmMain::mnuRefresh_Click()
{
    RefreshConnections();
}

void frmMain::Connect_Click(const QString& LocalDrive, const bool& AutoMap)
{
    if (m_inConnect)
        return;
    {
        const QScopedValueRollback inConnect(m_inConnect, true);
        const InputBlocker::Scope blocked(*m_blocker);
        // Taken when the connect starts: whatever is loaded into the editor while it waits cannot reach it.
        const RecordForm record = editor().form();
        QString localDrive = LocalDrive;
        bool autoMap = AutoMap;
        // The drive-in-use dialog has closed before the connect that its OK asks for starts, so that the new
        // connect can open it again.
        while (connectRecord(record, localDrive, autoMap)) { }
    }
    closeIfAsked();
}

bool frmMain::connectRecord(const RecordForm& record, QString& localDrive, bool& autoMap)
{
    PassCanceled = false;
    if (!ConnectRules::hasDrive(record, autoMap)) {
        if (m_editor && m_editor->isVisible())
            m_editor->cmbDrive->setFocus();
        m_services.messages.beep();
        connectEnded(record.RemoteName, ConnectOutcome::Failed, StatusText::NoDrive);
        return false;
    }
    SetStatusLight(QStringLiteral("Red"));
    lblStatus->setText(StatusText::Connecting);

    Wnet& wnet = m_services.wnet;
    FreeDrive = m_layer([&wnet] { return DriveLetters::findFree(wnet); });
    NETRESOURCE resource;
    resource.lpLocalName = ConnectRules::localName(record, localDrive, autoMap, FreeDrive.front());
    resource.lpRemoteName = record.RemoteName;

    bool inUse = false;
    IsDriveInUse(resource.lpLocalName + u'\\', inUse);
    if (inUse)
        return askForAnotherDrive(resource, localDrive, autoMap);

    if (record.PromptPassword) {
        askForPassword(record.RemoteName);
        if (PassCanceled) {
            lblStatus->setText(StatusText::PasswordCancelled);
            SetStatusLight(QStringLiteral("Green"));
            connectEnded(record.RemoteName, ConnectOutcome::Cancelled, StatusText::PasswordCancelled);
            return false;
        }
    } else {
        MyPass = record.Password;
    }

    const qint32 result = m_layer([&] { return wnet.WNetAddConnection2A(resource, MyPass, record.UserName, 0); });
    if (result == NO_ERROR) {
        SetStatusLight(QStringLiteral("Green"));
        lblStatus->setText(StatusText::Connected);
        connectEnded(record.RemoteName, ConnectOutcome::Connected, StatusText::Connected);
    } else {
        if (AutoMode && !m_services.headless) {
            // An unattended start turns into an interactive one, and the program stays open after the batch.
            AutoMode = false;
            show();
        }
        const QString failed = StatusText::connectFailed(result);
        connectEnded(record.RemoteName, ConnectOutcome::Failed, failed);
        showError(failed);
    }
    RefreshConnections();
    return false;
}

void frmMain::IsDriveInUse(const QString& rootPath, bool& inUse)
{
    RefreshConnections();
    Wnet& wnet = m_services.wnet;
    inUse = m_layer([&wnet, &rootPath] { return DriveLetters::isInUse(wnet, rootPath); });
}

bool frmMain::askForAnotherDrive(const NETRESOURCE& resource, QString& localDrive, bool& autoMap)
{
    // Nobody can choose another drive: the dialog counts as cancelled.
    auto choice = frmNewLocalDrive::Choice::Cancelled;
    if (!m_services.headless) {
        Wnet& wnet = m_services.wnet;
        frmNewLocalDrive dialog(m_layer([&wnet] { return DriveLetters::freeDrives(wnet); }), this);
        dialog.CurLocalDrv = resource.lpLocalName;
        dialog.CurNetResouce = resource.lpRemoteName;
        dialog.beep = [this] { m_services.messages.beep(); };
        dialog.exec();
        choice = dialog.choice();
        localDrive = dialog.chosenDrive();
    }
    switch (choice) {
    case frmNewLocalDrive::Choice::Drive:
        autoMap = false;
        return true;
    case frmNewLocalDrive::Choice::AutoMap:
        localDrive.clear();
        autoMap = true;
        return true;
    case frmNewLocalDrive::Choice::Cancelled:
        lblStatus->setText(StatusText::DriveCancelled);
        break;
    case frmNewLocalDrive::Choice::Closed:
        break;
    }
    connectEnded(resource.lpRemoteName, ConnectOutcome::Cancelled,
                 choice == frmNewLocalDrive::Choice::Cancelled ? QString(StatusText::DriveCancelled) : QString());
    return false;
}

void frmMain::askForPassword(const QString& remoteName)
{
    if (m_services.headless) {
        PassCanceled = true;
        return;
    }
    frmLogin login(MyPass, PassCanceled, this);
    login.setWindowTitle(QStringLiteral("Login: ") + remoteName);
    login.txtPassword->clear();
    // A dialog opened while the program is ending returns at once, without an answer: that is no password.
    if (login.exec() != QDialog::Accepted)
        PassCanceled = true;
}

// What the batch learns of a connect; without a display, a record left unconnected is reported on the spot.
void frmMain::connectEnded(const QString& remoteName, ConnectOutcome outcome, const QString& statusText)
{
    m_outcome = outcome;
    m_outcomeText = statusText;
    if (m_services.headless && outcome != ConnectOutcome::Connected) {
        std::fprintf(m_services.headless, "drvmap: record %d (%s): %s\n", int(editor().CurrentRec),
                     qPrintable(remoteName), qPrintable(statusText));
        std::fflush(m_services.headless);
    }
}

void frmMain::ConnectSelectedRecord()
{
    if (m_records->rowCount() == 0)
        return;
    if (!isCurrentRowSelected(lsvRecords)) {
        showError(StatusText::NoRecordSelected);
        return;
    }
    connectRecords(selectedSlots());
}

// Each connect loads its record into the editor's controls. The current record is loaded back afterwards, so that
// the editor's change check does not take the last record connected for edits of the current one.
void frmMain::connectRecords(const QList<qint16>& slotNumbers)
{
    if (slotNumbers.isEmpty())
        return;
    for (const qint16 slot : slotNumbers) {
        editor().GetRecord(slot, true);
        Connect_Click();
    }
    editor().GetRecord(editor().CurrentRec, true);
}

// Taken before the first connect, which lets events run.
QList<qint16> frmMain::selectedSlots() const
{
    QList<qint16> chosen;
    for (int row = 0; row < m_records->rowCount(); ++row) {
        if (lsvRecords->selectionModel()->isRowSelected(row))
            chosen.append(slotOfRow(row));
    }
    return chosen;
}

qint16 frmMain::slotOfRow(int row) const
{
    return m_records->index(row, 0).data(RecordsModel::KeyRole).toString().mid(3).toShort();
}

void frmMain::DisconnectDrive(QString& drive)
{
    const bool force = ForceDisconnect;
    Wnet& wnet = m_services.wnet;
    const qint32 result
        = m_layer([&] { return wnet.WNetCancelConnection2A(drive, Wnet::CONNECT_UPDATE_PROFILE, force); });
    if (force)
        ForceDisconnect = false;
    if (result == NO_ERROR) {
        SetStatusLight(QStringLiteral("Green"));
        lblStatus->setText(StatusText::Disconnected);
    } else if (result == ERROR_DEVICE_IN_USE) {
        const MessageBoxes::Answer answer = m_services.messages.ask(
            {StatusText::DriveInUseTitle, StatusText::driveInUseQuestion(drive), MessageBoxes::Buttons::OkCancel});
        if (answer == MessageBoxes::Answer::Ok) {
            ForceDisconnect = true;
            DisconnectDrive(drive);
            return;
        }
    } else {
        showError(StatusText::disconnectFailed(result));
    }
    RefreshConnections();
}

void frmMain::mnuDeleteNow_Click()
{
    if (lsvConnections->topLevelItemCount() == 0) {
        showError(StatusText::NoConnectedDrives);
        return;
    }
    QStringList drives = paneDrives(true);
    if (drives.isEmpty())
        showError(StatusText::NoConnectedDriveSelected);
    for (QString& drive : drives)
        DisconnectDrive(drive);
}

void frmMain::DisconnectAllDrives()
{
    QStringList drives = paneDrives(false);
    for (QString& drive : drives)
        DisconnectDrive(drive);
}

// Taken before the first disconnect, whose refresh rebuilds the pane.
QStringList frmMain::paneDrives(bool selectedOnly) const
{
    QStringList drives;
    for (int row = 0; row < lsvConnections->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = lsvConnections->topLevelItem(row);
        if (!selectedOnly || item->isSelected())
            drives.append(item->text(0).mid(1, 2));
    }
    return drives;
}

void frmMain::mnuAutoConnect_Click()
{
    m_cursor->moveTo(1);
    SetStatusLight(QStringLiteral("Red"));
    lblStatus->setText(StatusText::AutoConnecting);
    m_batch.request();
    // Disabled for the user to see; the blocker also keeps the dialogs of a connect usable. Only the window's own
    // controls: a disabled window would disable the icon's menu and the help window with it.
    setControlsEnabled(false);
    holdInputForBatch();
}

void frmMain::setControlsEnabled(bool enabled)
{
    centralWidget()->setEnabled(enabled);
    menuBar()->setEnabled(enabled);
}

void frmMain::holdInputForBatch()
{
    if (!m_batchHolds)
        m_blocker->hold();
    m_batchHolds = true;
}

void frmMain::requestAutoConnect()
{
    m_autoConnectAsked = true;
}

void frmMain::bringForward()
{
    // Asked during start-up's questions, it waits for the start to decide between window and batch.
    if (!m_started) {
        m_forwardAsked = true;
        return;
    }
    AutoMode = false;
    mPopRestore_Click();
}

void frmMain::Timer_Timer()
{
    // A batch already under way is the one asked for. Another waits until no command or window holds the main
    // window, so that its connects never load records into an editor the user is working in.
    if (m_autoConnectAsked) {
        if (m_batch.isActive()) {
            m_autoConnectAsked = false;
        } else if (!m_busy && !m_inConnect && !QApplication::activeModalWidget()) {
            m_autoConnectAsked = false;
            mnuAutoConnect_Click();
            return;
        }
    }
    switch (m_batch.tick(*m_cursor, m_busy || m_inConnect)) {
    case AutoConnectBatch::Step::None:
        break;
    case AutoConnectBatch::Step::Connect:
        Connect_Click();
        m_batch.connected(*m_cursor, m_outcome, m_outcomeText);
        break;
    case AutoConnectBatch::Step::Done:
        endAutoConnect();
        break;
    }
}

void frmMain::endAutoConnect()
{
    if (m_batchHolds) {
        m_blocker->release();
        m_batchHolds = false;
    }
    setControlsEnabled(true);
    // A failure that showed the window stays in sight.
    const QString failure = m_batch.lastFailure();
    lblStatus->setText(StatusText::autoConnectDone(failure));
    SetStatusLight(failure.isEmpty() ? QStringLiteral("Green") : QStringLiteral("Red"));
    if (AutoMode) {
        m_exitStatus = m_batch.allConnected() ? 0 : 1;
        ExitProgram();
    }
}
