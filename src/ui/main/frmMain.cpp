// The main window: the Records and Connected Drives panes, the commands, and the program's start and end.
#include "frmMain.h"

#include "RecordsModel.h"
#include "platform/DataFolder.h"
#include "platform/MessageBoxes.h"
#include "ui/Layout.h"
#include "ui/editor/frmEdit.h"

#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
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

void setColumnWidths(QTreeView* view, std::initializer_list<int> widthsInTwips)
{
    int column = 0;
    for (const int width : widthsInTwips)
        view->header()->resizeSection(column++, twips(width));
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
}

} // namespace

frmMain::frmMain(Services services, QStringList arguments, QWidget* parent)
    : QMainWindow(parent)
    , m_services(std::move(services))
    , m_arguments(std::move(arguments))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("ShareMount"));
    setWindowIcon(artwork("app"));
    setFont(layoutFont());
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

    adjustSize();
    setFixedSize(size());
}

void frmMain::buildToolbar(QWidget* client)
{
    tlbMain = place(new QToolBar(client), "tlbMain", QRect(0, 0, client->width(), twips(420)));
    tlbMain->setIconSize(QSize(16, 16));
    tlbMain->setMovable(false);
    tlbMain->setFloatable(false);
    const auto button = [this](const char* key, const char* image, const QString& toolTip) {
        QAction* action = tlbMain->addAction(artwork(image), QString());
        action->setObjectName(QLatin1String(key));
        action->setData(QLatin1String(key));
        action->setToolTip(toolTip);
    };
    button("Connect", "toolbar-connect", QStringLiteral("Connect Drive"));
    button("Disconnect", "toolbar-disconnect", QStringLiteral("Disconnect Drive"));
    button("AutoConnect", "toolbar-autoconnect", QStringLiteral("Connect The Auto Connect Drives"));
    button("DisconnectAll", "toolbar-disconnectall", QStringLiteral("Disconnect All Connected Drives"));
    tlbMain->addSeparator();
    button("Edit", "toolbar-edit", QStringLiteral("Edit Records"));
    tlbMain->addSeparator();
    button("AutoStart", "toolbar-autostart", QStringLiteral("Auto Start Setup"));
    tlbMain->addSeparator();
    button("Help", "toolbar-help", QStringLiteral("Help"));
    tlbMain->addSeparator();
    button("Exit", "toolbar-exit", QStringLiteral("Exit Program"));
    connect(tlbMain, &QToolBar::actionTriggered, this, &frmMain::tlbMain_ButtonClick);

    // The logo stays out of the tab order; its right edge lines up with the Connected Drives frame.
    Command1 = place(new QToolButton(client), "Command1", twipsRect(6840, 0, 1935, 375), QStringLiteral("Click me!"));
    Command1->setIcon(artwork("logo"));
    Command1->setIconSize(QSize(116, 23));
    Command1->setAutoRaise(true);
    Command1->setFocusPolicy(Qt::NoFocus);
}

void frmMain::buildPanes(QWidget* client)
{
    Frame1 = place(new QGroupBox(QStringLiteral("Records"), client), "Frame1", twipsRect(120, 480, 4455, 3975));
    lsvRecords = place(new QTreeView(Frame1), "lsvRecords", twipsRect(120, 240, 4215, 3615),
                       QStringLiteral("List of saved records"));
    m_records = new RecordsModel(artwork("row-record"), this);
    lsvRecords->setModel(m_records);
    configurePane(lsvRecords);
    setColumnWidths(lsvRecords, {750, 1500, 250, 200});

    Frame2
        = place(new QGroupBox(QStringLiteral("Connected Drives"), client), "Frame2", twipsRect(4680, 480, 4095, 3975));
    lsvConnections = place(new QTreeWidget(Frame2), "lsvConnections", twipsRect(120, 240, 3855, 3615),
                           QStringLiteral("List of all connected drives"));
    lsvConnections->setHeaderLabels({QStringLiteral("Local Drive"), QStringLiteral("NetResource")});
    configurePane(lsvConnections);
    setColumnWidths(lsvConnections, {750, 2200});
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

    mnuRecords = menu(this, "mnuRecords", QStringLiteral("&Edit"));
    mnuEditRecords = item(mnuRecords, "mnuEditRecords", QStringLiteral("&Records"));
    mnuTools = menu(this, "mnuTools", QStringLiteral("&Tools"));
    mnuAutoStartSetup = item(mnuTools, "mnuAutoStartSetup", QStringLiteral("&Auto Start Setup"));
    mnuHelpStuff = menu(this, "mnuHelpStuff", QStringLiteral("&Help"));
    mnuHelp = item(mnuHelpStuff, "mnuHelp", QStringLiteral("&ShareMount Help"));
    mnuAbout = item(mnuHelpStuff, "mnuAbout", QStringLiteral("&About ShareMount"));
    for (QMenu* shown : {mnuNetwork, mnuRecords, mnuTools, mnuHelpStuff})
        menuBar()->addMenu(shown);

    mnuDelete = menu(this, "mnuDelete", QStringLiteral("Delete"));
    mnuDeleteNow = item(mnuDelete, "mnuDeleteNow", QStringLiteral("&Disconnect Drive(s)"));
    mnuExplorer = item(mnuDelete, "mnuExplorer", QStringLiteral("&Explore Drive"));
    mnuRefresh = item(mnuDelete, "mnuRefresh", QStringLiteral("&Refresh Window"));
    mPopupSys = menu(this, "mPopupSys", QStringLiteral("&SysTray"));
    mPopRestore = item(mPopupSys, "mPopRestore", QStringLiteral("&Restore"));
    mPopExit = item(mPopupSys, "mPopExit", QStringLiteral("&Exit"));
    mnuRemoteName = menu(this, "mnuRemoteName", QStringLiteral("RemoteName"));
    mnuConnect = item(mnuRemoteName, "mnuConnect", QStringLiteral("&Connect"));
    mnuEdit = item(mnuRemoteName, "mnuEdit", QStringLiteral("&Edit"));
}

frmEdit& frmMain::editor()
{
    if (!m_editor)
        m_editor = new frmEdit(m_file, this);
    return *m_editor;
}

frmMain::Startup frmMain::Form_Load()
{
    UpdateTrayIcon(0);
    CommandLine = m_arguments.join(u' ');
    if (const Startup opened = OpenDataFile(); opened != Startup::Running)
        return opened;
    UpdateRecords();
    Timer->start();
    if (CommandLine == u"-auto") {
        AutoMode = true;
        hide();
        StartAutoConnect = true;
    } else {
        show();
    }
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
    emit ended(0);
}

// Closing the main window ends the program the same way as the Exit commands.
void frmMain::Form_Unload()
{
    ExitProgram();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void frmMain::tlbMain_ButtonClick(QAction* button)
{
    const QString key = button->data().toString();
    if (key == u"Exit")
        ExitProgram();
}

void frmMain::Timer_Timer()
{
    ++TickCount;
}
