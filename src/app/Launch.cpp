// What the program decides before Qt starts: the command line and the display to use.
#include "Launch.h"

namespace Launch {

QStringList arguments(int argc, char** argv)
{
    QStringList list;
    for (int i = 1; i < argc; ++i)
        list.append(QString::fromLocal8Bit(argv[i]));
    return list;
}

bool isUnattended(const QStringList& arguments)
{
    return arguments.join(u' ') == u"-auto";
}

Request request(const QStringList& arguments)
{
    if (arguments.contains(u"--help") || arguments.contains(u"-h"))
        return Request::Help;
    if (arguments.contains(u"--version"))
        return Request::Version;
    return Request::Start;
}

QString usage(const QString& recordFolder, const QString& drivesFolder)
{
    return QStringLiteral(
               "Usage: drvmap [-auto]\n"
               "Keeps saved network-share mappings (records) and connects them to drive letters.\n"
               "\n"
               "  (nothing)   open the main window\n"
               "  -auto       connect every record marked Auto Connect without showing the window, then end: with\n"
               "              status 0 when all were connected, 1 otherwise. On a display, a failure shows the\n"
               "              window, which stays open. Only exactly -auto does this.\n"
               "  -h, --help  print this text\n"
               "  --version   print the version\n"
               "\n"
               "One ShareMount runs for a record file: a second start hands its request (the window, or -auto) to\n"
               "the running one and ends with status 0.\n"
               "\n"
               "Environment:\n"
               "  SHAREMOUNT_DATA_DIR   the folder of the record file drvmap.dat\n"
               "  SHAREMOUNT_DRIVES     the drives folder: drive F is its folder F (default ~/Drives)\n"
               "  SHAREMOUNT_SMB_PORT   the servers' SMB port (default 445)\n"
               "\n"
               "Records: %1/drvmap.dat\n"
               "Drives:  %2\n")
        .arg(recordFolder, drivesFolder);
}

QStringList unknownOptions(const QStringList& arguments)
{
    // Qt takes these from the command line itself, the first group with a value.
    static const QStringList withValue {QStringLiteral("-platform"),
                                        QStringLiteral("-platformpluginpath"),
                                        QStringLiteral("-platformtheme"),
                                        QStringLiteral("-plugin"),
                                        QStringLiteral("-qwindowgeometry"),
                                        QStringLiteral("-qwindowicon"),
                                        QStringLiteral("-qwindowtitle"),
                                        QStringLiteral("-style"),
                                        QStringLiteral("-stylesheet"),
                                        QStringLiteral("-session"),
                                        QStringLiteral("-display"),
                                        QStringLiteral("-geometry"),
                                        QStringLiteral("-title"),
                                        QStringLiteral("-name"),
                                        QStringLiteral("-visual"),
                                        QStringLiteral("-ncols"),
                                        QStringLiteral("-cmap")};
    static const QStringList alone {QStringLiteral("-reverse"), QStringLiteral("-widgetcount"),
                                    QStringLiteral("-nograb"), QStringLiteral("-dograb"), QStringLiteral("-sync")};
    QStringList unknown;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (!argument.startsWith(u'-') || argument == u"-auto")
            continue;
        // Qt accepts its options with two dashes as well, and some as -option=value.
        QString option = argument.startsWith(u"--") ? argument.mid(1) : argument;
        if (const qsizetype equals = option.indexOf(u'='); equals > 0)
            option.truncate(equals);
        if (withValue.contains(option)) {
            if (!argument.contains(u'='))
                ++i;
        } else if (!alone.contains(option) && !option.startsWith(u"-qmljsdebugger")) {
            unknown.append(argument);
        }
    }
    return unknown;
}

DisplayChoice chooseDisplay(bool unattended, const QProcessEnvironment& environment)
{
    if (!environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        return {};
    // Qt tries the platforms in order; offscreen last turns a display that cannot be reached into
    // "no display" instead of an abort.
    QByteArray platforms;
    if (!environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty())
        platforms += "wayland;";
    if (!environment.value(QStringLiteral("DISPLAY")).isEmpty())
        platforms += "xcb;";
    if (platforms.isEmpty() && !unattended)
        return {{}, noDisplayError(QStringLiteral("DISPLAY and WAYLAND_DISPLAY are unset"))};
    return {platforms + "offscreen", {}};
}

QString noDisplayError(const QString& reason)
{
    return QStringLiteral("drvmap: cannot open a window: no display (%1); start with -auto to connect without one")
        .arg(reason);
}

bool isHeadless(const QString& platformName)
{
    return platformName == u"offscreen" || platformName == u"minimal";
}

} // namespace Launch
