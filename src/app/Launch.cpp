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
