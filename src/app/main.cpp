// drvmap: keeps saved network-share mappings and connects them to drive letters.
#include "Launch.h"
#include "platform/ConsoleMessageBoxes.h"
#include "platform/DataFolder.h"
#include "platform/DesktopFileManager.h"
#include "platform/LinuxWnet.h"
#include "platform/ProcessSignals.h"
#include "platform/SingleInstance.h"
#include "platform/WidgetMessageBoxes.h"
#include "ui/Layout.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>

#include <cstdio>
#include <memory>

namespace {

// --help and --version need neither a display nor the record file.
int printAbout(Launch::Request request, int argc, char** argv)
{
    const QCoreApplication core(argc, argv);
    if (request == Launch::Request::Version) {
        std::printf("drvmap %s\n", SHAREMOUNT_VERSION);
        return 0;
    }
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString records = DataFolder::choose(environment, QCoreApplication::applicationDirPath());
    const QString drives = LinuxWnet::settingsFrom(environment).drivesFolder;
    std::printf("%s", qPrintable(Launch::usage(records, drives)));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    ProcessSignals::setUp();
    const QStringList arguments = Launch::arguments(argc, argv);
    if (const Launch::Request request = Launch::request(arguments); request != Launch::Request::Start)
        return printAbout(request, argc, argv);
    for (const QString& option : Launch::unknownOptions(arguments)) {
        std::fprintf(
            stderr,
            "drvmap: unknown option %s: the window opens (only exactly -auto connects without it; see drvmap --help)\n",
            qPrintable(option));
    }
    const bool unattended = Launch::isUnattended(arguments);
    const Launch::DisplayChoice display = Launch::chooseDisplay(unattended, QProcessEnvironment::systemEnvironment());
    if (!display.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(display.error));
        return 2;
    }
    if (!display.platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", display.platform);

    QApplication app(argc, argv);
    // The choice was for this program: programs it starts pick their own display.
    if (!display.platform.isEmpty())
        qunsetenv("QT_QPA_PLATFORM");
    QApplication::setApplicationName(QStringLiteral("ShareMount"));
    QApplication::setApplicationVersion(QStringLiteral(SHAREMOUNT_VERSION));
    // The program ends only through its own exits, never because its last visible window closed.
    QApplication::setQuitOnLastWindowClosed(false);
    // Menus and message boxes in the face of the windows, not in the desktop's menu font.
    QApplication::setFont(layoutFont());

    const bool headless = Launch::isHeadless(QApplication::platformName());
    if (headless && !unattended) {
        const QString reason = QStringLiteral("the %1 platform").arg(QApplication::platformName());
        std::fprintf(stderr, "%s\n", qPrintable(Launch::noDisplayError(reason)));
        return 2;
    }
    std::unique_ptr<MessageBoxes> messages;
    if (headless) {
        messages = std::make_unique<ConsoleMessageBoxes>();
        // The notification-area icon has no tray to sit in here; Qt's complaint about that is noise in a
        // log-on script's output.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.core.qobject.connect.warning=false"));
    } else {
        messages = std::make_unique<WidgetMessageBoxes>();
    }

    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString dataFolder = DataFolder::choose(environment, QApplication::applicationDirPath());
    // One program per record file: a second start hands its request to the running one and ends.
    SingleInstance instance(dataFolder, environment);
    if (headless)
        instance.refuseShow();
    switch (instance.claim(unattended ? SingleInstance::Request::AutoConnect : SingleInstance::Request::Show)) {
    case SingleInstance::Outcome::Primary:
        break;
    case SingleInstance::Outcome::Delivered:
        return 0;
    case SingleInstance::Outcome::Failed:
        std::fprintf(stderr, "drvmap: %s\n", qPrintable(instance.errorString()));
        if (!headless) {
            messages->ask({QStringLiteral("ShareMount"), instance.errorString(), MessageBoxes::Buttons::Ok,
                           MessageBoxes::Icon::Critical});
        }
        return 1;
    }

    const LinuxWnet::Settings settings = LinuxWnet::settingsFrom(environment);
    LinuxWnet wnet(settings);
    DesktopFileManager files(settings.drivesFolder);
    frmMain window({*messages, wnet, dataFolder, headless ? stderr : nullptr, headless ? nullptr : &files}, arguments);
    QObject::connect(&window, &frmMain::ended, &app, [](int status) { QApplication::exit(status); });
    QObject::connect(&instance, &SingleInstance::showRequested, &window, &frmMain::bringForward);
    QObject::connect(&instance, &SingleInstance::autoConnectRequested, &window, &frmMain::requestAutoConnect);
    switch (window.Form_Load()) {
    case frmMain::Startup::Running:
        return QApplication::exec();
    case frmMain::Startup::Declined:
        // Nobody was there to decline: an unattended start without its records has failed.
        if (headless) {
            std::fprintf(stderr, "drvmap: no records to connect: drvmap.dat was not found in %s\n",
                         qPrintable(QDir::toNativeSeparators(dataFolder)));
            return 1;
        }
        return 0;
    case frmMain::Startup::Abandoned:
        return 1;
    }
    return 1;
}
