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

// What a command line asks for: the program, or only a text about it.
enum class Request { Start, Help, Version };
Request request(const QStringList& arguments);

// The text --help prints, with the folders this start would use.
QString usage(const QString& recordFolder, const QString& drivesFolder);

// Arguments that look like options but are neither the program's nor Qt's: they start the window all the same,
// which a log-on script that meant -auto has to be told.
QStringList unknownOptions(const QStringList& arguments);

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
