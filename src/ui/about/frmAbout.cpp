// The About box: the banner, the version and the notice, closed by a click or Esc.
#include "frmAbout.h"

#include "ui/Layout.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QVersionNumber>

namespace {

// The title the program goes by, after its executable; the About box names it in its caption.
const QString applicationTitle = QStringLiteral("DrvMap");

// The About box's own face where it is installed, else the bold sans-serif of the fixed layouts.
QFont noticeFont()
{
    QFont font = layoutFont();
    font.setFamilies(QStringList(QStringLiteral("Hammer Thin")) + font.families());
    font.setPointSize(9);
    font.setBold(true);
    return font;
}

// Dark purple writing on the given grey.
void colour(QWidget* widget, QPalette::ColorRole background, QColor grey)
{
    QPalette palette = widget->palette();
    palette.setColor(background, grey);
    palette.setColor(QPalette::WindowText, QColor(0x40, 0x00, 0x40));
    palette.setColor(QPalette::Text, QColor(0x40, 0x00, 0x40));
    widget->setPalette(palette);
}

} // namespace

frmAbout::frmAbout(QWidget* parent)
    : QDialog(parent)
{
    setUpWindow(this, "frmAbout", QString());
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(twips(7485), twips(3000));

    lblVersion = place(new QLabel(this), "lblVersion", twipsRect(4440, 240, 1965, 315));
    lblVersion->setFont(noticeFont());
    lblVersion->setAlignment(Qt::AlignCenter);
    lblVersion->setAutoFillBackground(true);
    colour(lblVersion, QPalette::Window, QColor(0xc0, 0xc0, 0xc0));
    lblVersion->installEventFilter(this);

    Text1 = place(new QPlainTextEdit(this), "Text1", twipsRect(240, 1680, 5895, 975));
    Text1->setFont(noticeFont());
    Text1->setReadOnly(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    colour(Text1, QPalette::Base, QColor(0x80, 0x80, 0x80));
    Text1->setPlainText(QStringLiteral(
        "ShareMount is written by the ShareMount developers, with thanks to everyone who tried it out and sent "
        "ideas.\n\n"
        "ShareMount is freeware: you may use it and pass it on to others, but you must not alter it.\n\n"
        "Please send comments and suggestions to the project's issue tracker."));
    Text1->installEventFilter(this);
    Text1->setFocus();

    Form_Load();
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lblVersion && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        lblVersion_Click();
        return true;
    }
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        return typed.size() == 1 && Text1_KeyPress(typed.front().unicode());
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Form_Click();
}

void frmAbout::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    artwork("banner").paint(&painter, rect());
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    painter.drawLine(twips(240), twips(1560), twips(7245), twips(1560));
    painter.drawLine(twips(240), twips(2820), twips(7245), twips(2820));
}

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("About ") + applicationTitle);
    const QVersionNumber version = QVersionNumber::fromString(QLatin1String(SHAREMOUNT_VERSION));
    lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(version.majorVersion())
                            .arg(version.minorVersion())
                            .arg(version.microVersion()));
}

void frmAbout::Form_Click()
{
    close();
}

void frmAbout::lblVersion_Click()
{
    close();
}

// Answers whether the key was used up.
bool frmAbout::Text1_KeyPress(int KeyAscii)
{
    if (KeyAscii != 27)
        return false;
    close();
    return true;
}
