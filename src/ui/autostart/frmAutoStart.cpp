// The auto-start window: puts the program's entry into the autostart folder, and lists and deletes its entries.
#include "frmAutoStart.h"

#include "platform/AutostartFolder.h"
#include "platform/MessageBoxes.h"
#include "ui/Layout.h"
#include "ui/Panes.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text, QRect geometry)
{
    auto* label = place(new QLabel(text, parent), name, geometry);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

frmAutoStart::frmAutoStart(const QString& programPath, const QProcessEnvironment& environment, MessageBoxes& messages,
                           QWidget* parent)
    : QDialog(parent)
    , m_programPath(programPath)
    , m_environment(environment)
    , m_messages(messages)
{
    setUpFixedDialog(this, "frmAutoStart", QStringLiteral("AutoStart"), QSize(4815, 4935));

    Frame1 = place(new QGroupBox(QStringLiteral("Purpose"), this), "Frame1", twipsRect(120, 120, 4575, 2655));
    Label2 = label(Frame1, "Label2",
                   QStringLiteral("This option will allow you to auto- connect drives. ShareMount uses \"-auto\" as "
                                  "the command line option to do this. Experienced windows users can use this option "
                                  "in batch files or at the command line:"),
                   twipsRect(120, 240, 4335, 855));
    Label3 = label(Frame1, "Label3", QStringLiteral("drvmap -auto"), twipsRect(120, 1080, 1215, 255));
    Label4 = label(Frame1, "Label4",
                   QStringLiteral("To auto connect drives when windows is started just click the Add button below to "
                                  "put a ShareMount  link in your startup folder."),
                   twipsRect(120, 1440, 4335, 615));
    Label1 = label(Frame1, "Label1",
                   QStringLiteral("NOTICE: You MUST have the \"Auto Connect\" box checked for every drive you want "
                                  "auto connected!"),
                   twipsRect(120, 2160, 4335, 375));

    Frame2 = place(new QGroupBox(QStringLiteral("StartUp Folder"), this), "Frame2", twipsRect(120, 2880, 4575, 1935));
    lsvLinks = place(new QTreeWidget(Frame2), "lsvLinks", twipsRect(120, 240, 3135, 1575));
    lsvLinks->setHeaderLabels({QStringLiteral("Startup Links")});
    lsvLinks->setRootIsDecorated(false);
    lsvLinks->setUniformRowHeights(true);
    lsvLinks->setSelectionMode(QAbstractItemView::SingleSelection);
    lsvLinks->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lsvLinks->header()->setStretchLastSection(false);
    lsvLinks->header()->resizeSection(0, twips(2400));
    lsvLinks->viewport()->installEventFilter(this);
    cmdAdd = place(new QPushButton(QStringLiteral("&Add"), Frame2), "cmdAdd", twipsRect(3360, 240, 1095, 375));
    cmdRemove = place(new QPushButton(QStringLiteral("&Delete"), Frame2), "cmdRemove", twipsRect(3360, 840, 1095, 375));
    cmdClose = place(new QPushButton(QStringLiteral("&Close"), Frame2), "cmdClose", twipsRect(3360, 1440, 1095, 375));

    mnuLinks = new QMenu(QStringLiteral("Links"), this);
    mnuLinks->setObjectName(QStringLiteral("mnuLinks"));
    mnuDeleteLink = mnuLinks->addAction(QStringLiteral("Delete Link"));
    mnuDeleteLink->setObjectName(QStringLiteral("mnuDeleteLink"));

    connect(cmdAdd, &QPushButton::clicked, this, &frmAutoStart::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmAutoStart::cmdRemove_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmAutoStart::cmdClose_Click);
    connect(mnuDeleteLink, &QAction::triggered, this, &frmAutoStart::mnuDeleteLink_Click);

    Form_Load();
}

bool frmAutoStart::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lsvLinks->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        lsvLinks_MouseUp(mouse->button(), mouse->globalPosition().toPoint());
    }
    return QDialog::eventFilter(watched, event);
}

void frmAutoStart::Form_Load()
{
    ListStartupLinks();
    setButtonsByEntry();
}

void frmAutoStart::cmdAdd_Click()
{
    QString error;
    if (!AutostartFolder::writeEntry(StartupFolder, m_programPath, &error)) {
        showError(error);
        ListStartupLinks();
        setButtonsByEntry();
        return;
    }
    ListStartupLinks();
    cmdAdd->setEnabled(false);
    cmdRemove->setEnabled(true);
}

void frmAutoStart::cmdRemove_Click()
{
    QString error;
    if (!AutostartFolder::remove(StartupFolder, QLatin1String(AutostartFolder::EntryName), &error)) {
        showError(error);
        ListStartupLinks();
        setButtonsByEntry();
        return;
    }
    ListStartupLinks();
    cmdAdd->setEnabled(true);
    cmdRemove->setEnabled(false);
}

void frmAutoStart::cmdClose_Click()
{
    close();
}

void frmAutoStart::lsvLinks_MouseUp(Qt::MouseButton button, QPoint position)
{
    if (button == Qt::RightButton && isCurrentRowSelected(lsvLinks))
        mnuLinks->popup(position);
}

// Deletes whichever entry the row names, the program's own too; the buttons stay as they are until the next opening.
void frmAutoStart::mnuDeleteLink_Click()
{
    if (isCurrentRowSelected(lsvLinks)) {
        QString error;
        if (!AutostartFolder::remove(StartupFolder, lsvLinks->currentItem()->text(0), &error)) {
            showError(error);
            return;
        }
    }
    ListStartupLinks();
}

void frmAutoStart::ListStartupLinks()
{
    lsvLinks->clear();
    const QString folder = AutostartFolder::locate(m_environment);
    for (const QString& name : AutostartFolder::entries(folder))
        new QTreeWidgetItem(lsvLinks, {name});
    StartupFolder = folder + u'/';
}

void frmAutoStart::setButtonsByEntry()
{
    const bool present = QFileInfo::exists(StartupFolder + QLatin1String(AutostartFolder::EntryName));
    cmdAdd->setEnabled(!present);
    cmdRemove->setEnabled(present);
}

void frmAutoStart::showError(const QString& description)
{
    m_messages.ask({QStringLiteral("Error"), description, MessageBoxes::Buttons::Ok});
}
