// What the program decides before Qt starts: the command line and the display to use.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace Launch {

// The arguments as the operating system passed them, before Qt takes its own options out of argv.
QStringList arguments(int argc, char** argv);

// Only exactly "-auto" starts unattended.
bool isUnattended(const QStringList& arguments);

struct DisplayChoice
{
    QByteArray platform; // a value for QT_QPA_PLATFORM, or empty to leave Qt's choice
    QString error; // set when the program cannot start
};

// An unattended start never needs a display: without one, or when the one named cannot be reached, it
// runs offscreen. An interactive start needs one.
DisplayChoice chooseDisplay(bool unattended, const QProcessEnvironment& environment);

// The one line an interactive start without a display ends with.
QString noDisplayError(const QString& reason);

// Platforms on which nobody sees a window or answers a question.
bool isHeadless(const QString& platformName);

} // namespace Launch
