// Renders every window of the program offscreen to PNG files, so they can be looked at without a display.
#include "platform/ConsoleMessageBoxes.h"
#include "platform/ProcessSignals.h"
#include "records/Crypt.h"
#include "records/RecordFile.h"
#include "support/FakeWnet.h"
#include "ui/about/frmAbout.h"
#include "ui/about/frmHelp.h"
#include "ui/autostart/frmAutoStart.h"
#include "ui/editor/frmEdit.h"
#include "ui/main/frmLogin.h"
#include "ui/main/frmMain.h"
#include "ui/main/frmNewLocalDrive.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

namespace {

DriveRecord sample(qint16 slot, const char* name, const char* remote, const char* drive, bool autoConnect)
{
    DriveRecord record;
    record.RecordName = QString::fromLatin1(name);
    record.RemoteName = QString::fromLatin1(remote);
    record.UserName = QStringLiteral("alice");
    record.Password = Crypt::EncryptPassword(QStringLiteral("secret"));
    record.AutoConnect = QString::fromLatin1(autoConnect ? "T" : "F");
    record.AutoMap = QString::fromLatin1(*drive ? "F" : "T");
    record.LocalDrive = QString::fromLatin1(drive);
    record.PromptPassword = QStringLiteral("F");
    record.RecordNumber = slot;
    return record;
}

bool save(QWidget& window, const QDir& folder, const QString& name)
{
    const QString path = folder.filePath(name + QStringLiteral(".png"));
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    ProcessSignals::setUp();
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshots <folder>\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "screenshots: cannot create %s\n", argv[1]);
        return 1;
    }

    QTemporaryDir data;
    {
        RecordFile file;
        if (!file.open(data.filePath(QString::fromLatin1(RecordFile::FileName))))
            return 1;
        file.write(1, sample(1, "Office", "\\\\fileserver\\projects", "P:", true));
        file.write(2, sample(2, "Home", "\\\\nas\\media", "", true));
        file.write(3, sample(3, "Backup", "\\\\192.168.1.20\\backup", "X:", false));
    }
    ConsoleMessageBoxes messages;
    FakeWnet wnet;
    wnet.setLetter(u'P', {FakeWnet::Drive::Network, QStringLiteral("\\\\fileserver\\projects")});
    frmMain main({messages, wnet, data.path()}, {});
    if (main.Form_Load() != frmMain::Startup::Running)
        return 1;
    main.editor().show();

    QString password;
    bool cancelled = false;
    frmLogin login(password, cancelled, &main);
    login.setWindowTitle(QStringLiteral("Login: \\\\192.168.1.20\\backup"));
    login.show();
    frmNewLocalDrive drive({QStringLiteral("F:"), QStringLiteral("G:"), QStringLiteral("H:")}, &main);
    drive.CurNetResouce = QStringLiteral("\\\\192.168.1.20\\backup");
    drive.CurLocalDrv = QStringLiteral("X:");
    drive.show();
    // The auto-start window lists a folder of its own, with the program's entry in it.
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), data.path());
    frmAutoStart autoStart(QStringLiteral("/usr/bin/drvmap"), environment, messages, &main);
    autoStart.cmdAdd->click();
    autoStart.show();
    frmAbout about(&main);
    about.show();
    frmHelp help(&main);
    help.show();
    const bool saved = save(main, out, QStringLiteral("frmMain")) && save(main.editor(), out, QStringLiteral("frmEdit"))
        && save(login, out, QStringLiteral("frmLogin")) && save(drive, out, QStringLiteral("frmNewLocalDrive"))
        && save(autoStart, out, QStringLiteral("frmAutoStart")) && save(about, out, QStringLiteral("frmAbout"))
        && save(help, out, QStringLiteral("frmHelp"));
    return saved ? 0 : 1;
}
