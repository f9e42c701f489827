// Message boxes on the screen.
#include "WidgetMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

MessageBoxes::Answer WidgetMessageBoxes::ask(const Message& message)
{
    // A carriage return alone breaks the line in the program's texts; Qt would draw it as a blank.
    QString text = message.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QMessageBox box(message.icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon, message.title, text,
                    QMessageBox::NoButton, QApplication::activeWindow());
    switch (message.buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

void WidgetMessageBoxes::beep()
{
    QApplication::beep();
}
