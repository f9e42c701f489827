// The help window: a fixed text on the program in five frames, open beside the main window.
#include "frmHelp.h"

#include "ui/Layout.h"

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <array>

namespace {

struct Section
{
    int top; // twips, as first laid out
    int height;
    QString caption;
    QString text;
};

const std::array<Section, 5>& sections()
{
    static const std::array<Section, 5> list {{
        {0, 1335, QStringLiteral("Introduction"),
         QStringLiteral(
             "ShareMount was written because reaching a shared folder on another computer should not mean a trip "
             "through menus and dialogs every time. Save each SMB share once as a record, and it stays one click "
             "away: connect it when you need it, by hand or on its own when you log on, and disconnect it when "
             "you are done.")},
        {1320, 1095, QStringLiteral("What does this program do?"),
         QStringLiteral(
             "ShareMount maps network shares to drive letters; on Linux each letter is a folder in the drives folder, "
             "~/Drives or $SHAREMOUNT_DRIVES. It serves computers on your local network or over the internet, and "
             "makes connecting, disconnecting and managing network drives simple.")},
        {2400, 1095, QStringLiteral("A few notes..."),
         QStringLiteral(
             "Connecting needs FUSE (fuse3) and rclone installed, the drives folder, and the server's SMB port 445 "
             "within reach (or the port in SHAREMOUNT_SMB_PORT). Over the internet a computer can be connected only "
             "where its SMB port can be reached, such as through a VPN.")},
        {3480, 1455, QStringLiteral("Using ShareMount"),
         // A sentence a line: in running text a line could break between the network path's two backslashes.
         QStringLiteral("Labels and tooltips explain each control.\n"
                        "Network paths have the form \\\\computer_name\\Share_name.\n"
                        "To connect several drives at once, select their records in the Records pane and drag them "
                        "onto the Connected Drives pane.\n"
                        "Auto-connect is set up with the toolbar's Auto Start button and needs \"Auto Connect Drive\" "
                        "ticked in each record.")},
        {5040, 1335, QStringLiteral("Conclusion"),
         QStringLiteral(
             "Thank you for using ShareMount. Comments, ideas and reports of anything that does not work as it "
             "should are welcome: please send them to the project's issue tracker.")},
    }};
    return list;
}

// The fixed layout in twips: the window's height, the end of the last frame and the top of the button below it, the
// margin at the sides, and a text box's top and bottom inside its frame.
constexpr int windowHeight = 6975;
constexpr int framesEnd = 6375;
constexpr int buttonTop = 6480;
constexpr int margin = 120;
constexpr int textTop = 240;
constexpr int textBelow = 60;

} // namespace

frmHelp::frmHelp(QWidget* parent)
    : QDialog(parent)
{
    setUpWindow(this, "frmHelp", QStringLiteral("ShareMount Help"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    // Small enough to move aside, large enough that every frame keeps a line of its text.
    setMinimumSize(twips(4500), twips(4500));
    resize(twips(7815), twips(windowHeight));

    QFont bold = font();
    bold.setBold(true);
    QFont plain = font();
    plain.setBold(false);
    const std::array<QGroupBox**, 5> frames {&Frame1, &Frame2, &Frame3, &Frame4, &Frame5};
    const std::array<QPlainTextEdit**, 5> texts {&Text1, &Text2, &Text3, &Text4, &Text5};
    for (std::size_t i = 0; i < frames.size(); ++i) {
        auto* frame = new QGroupBox(sections()[i].caption, this);
        frame->setObjectName(QStringLiteral("Frame%1").arg(i + 1));
        frame->setFont(bold);
        auto* text = new QPlainTextEdit(sections()[i].text, frame);
        text->setObjectName(QStringLiteral("Text%1").arg(i + 1));
        text->setFont(plain);
        text->setReadOnly(true);
        // The lines wrap at the box's width; a horizontal bar would only cover the last one.
        text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        *frames[i] = frame;
        *texts[i] = text;
    }
    cmdDone = new QPushButton(QStringLiteral("&Done"), this);
    cmdDone->setObjectName(QStringLiteral("cmdDone"));
    cmdDone->setDefault(true);
    cmdDone->setFocus();
    arrange();

    connect(cmdDone, &QPushButton::clicked, this, &frmHelp::cmdDone_Click);
}

void frmHelp::resizeEvent(QResizeEvent* event)
{
    arrange();
    QDialog::resizeEvent(event);
}

// At first the controls sit where the fixed layout puts them; a resized window gives each frame its share of the
// height above the button, which keeps to the bottom, and all of them the width.
void frmHelp::arrange()
{
    const double scale = double(height() - twips(windowHeight - framesEnd)) / twips(framesEnd);
    const int width = this->width() - 2 * twips(margin);
    const std::array<QGroupBox*, 5> frames {Frame1, Frame2, Frame3, Frame4, Frame5};
    const std::array<QPlainTextEdit*, 5> texts {Text1, Text2, Text3, Text4, Text5};
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const int top = qRound(twips(sections()[i].top) * scale);
        const int height = qRound(twips(sections()[i].top + sections()[i].height) * scale) - top;
        frames[i]->setGeometry(twips(margin), top, width, height);
        texts[i]->setGeometry(twips(margin), twips(textTop), width - 2 * twips(margin),
                              std::max(0, height - twips(textTop) - twips(textBelow)));
    }
    cmdDone->setGeometry(twips(margin), height() - twips(windowHeight - buttonTop), width, twips(375));
}

void frmHelp::cmdDone_Click()
{
    close();
}
