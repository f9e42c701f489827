// What the benchmark programs share.
#include "BenchSupport.h"

#include "records/DriveRecord.h"

#include <QFile>

#include <algorithm>
#include <cstdio>

namespace Bench {

void row(const QString& what, double figure, int decimals, const QString& unit, const QString& target,
         const QString& compared)
{
    // Tab-separated, one row a line, for the bench target's runner; a figure below 0 is a step that failed.
    const QString text
        = QStringList {what, figure < 0 ? QStringLiteral("failed") : QString::number(figure, 'f', decimals), unit,
                       target, compared}
              .join(u'\t');
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

QString target(const QString& text, bool met)
{
    return text + (met ? QStringLiteral(": met") : QStringLiteral(": missed"));
}

double medianMs(QList<qint64> nanoseconds)
{
    std::sort(nanoseconds.begin(), nanoseconds.end());
    return double(nanoseconds.at(nanoseconds.size() / 2)) / 1e6;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

bool run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
         const QByteArray& input)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), process.readAllStandardError().constData());
        return false;
    }
    return true;
}

QByteArray savedSlots(int count)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(count) * DriveRecord::SlotSize);
    for (int slot = 1; slot <= count; ++slot) {
        DriveRecord record;
        record.RecordName = QStringLiteral("Record %1").arg(slot);
        record.RemoteName = QStringLiteral("\\\\fileserver%1\\share%2").arg(slot % 7).arg(slot);
        record.UserName = QStringLiteral("user%1").arg(slot % 13);
        record.Password = QStringLiteral("351346");
        record.AutoConnect = QString::fromLatin1(slot % 3 ? "T" : "F");
        record.AutoMap = QString::fromLatin1(slot % 5 ? "F" : "T");
        record.LocalDrive = QStringLiteral("K:");
        record.PromptPassword = QStringLiteral("F");
        record.RecordNumber = static_cast<qint16>(slot);
        bytes += record.toSlot();
    }
    return bytes;
}

DbusSession::DbusSession()
{
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (m_daemon.waitForReadyRead(10000))
        m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
}

DbusSession::~DbusSession()
{
    // gvfsd and its backends leave with the bus.
    m_daemon.terminate();
    m_daemon.waitForFinished();
}

BenchShare::BenchShare()
{
    // smbd serves the share from below this folder as the test user.
    QFile::setPermissions(m_work.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    const QString testbed = path(QStringLiteral("samba"));
    if (!SambaTestbed::run(QStringLiteral("start"), testbed))
        return;
    m_samba = SambaTestbed::at(testbed);

    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("SHAREMOUNT_DRIVES"), drives());
    m_environment.insert(QStringLiteral("SHAREMOUNT_SMB_PORT"), QString::number(m_samba.port()));
    m_settings = LinuxWnet::settingsFrom(m_environment);
    m_settings.probeProgram = QStringLiteral(SMBPROBE_PATH);

    // smbclient reads the password from a file of its owner's.
    QFile credentials(path(QStringLiteral("credentials")));
    if (credentials.open(QIODevice::WriteOnly)) {
        credentials.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        credentials.write(
            QStringLiteral("username = %1\npassword = %2\n").arg(m_samba.user('a'), m_samba.password('a')).toUtf8());
    }

    m_gvfs = QProcessEnvironment::systemEnvironment();
    m_gvfs.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_session.address());
    // The plain volume monitor spares each gio start the desktop's device monitors: GVfs at its quickest.
    m_gvfs.insert(QStringLiteral("GIO_USE_VOLUME_MONITOR"), QStringLiteral("unix"));
    m_location = QStringLiteral("smb://%1@127.0.0.1:%2/sharea/").arg(m_samba.user('a')).arg(m_samba.port());
}

BenchShare::~BenchShare()
{
    if (isRunning())
        SambaTestbed::run(QStringLiteral("stop"), path(QStringLiteral("samba")));
}

bool BenchShare::connect(LinuxWnet& wnet) const
{
    NETRESOURCE share;
    share.lpLocalName = QStringLiteral("F:");
    share.lpRemoteName = QStringLiteral("\\\\127.0.0.1\\sharea");
    return wnet.WNetAddConnection2A(share, m_samba.password('a'), m_samba.user('a'), 0) == NO_ERROR;
}

bool BenchShare::disconnect(LinuxWnet& wnet, bool force) const
{
    return wnet.WNetCancelConnection2A(QStringLiteral("F:"), Wnet::CONNECT_UPDATE_PROFILE, force) == NO_ERROR;
}

QStringList BenchShare::smbclient(const QString& commands) const
{
    return {QStringLiteral("//127.0.0.1/sharea"),
            QStringLiteral("-p"),
            QString::number(m_samba.port()),
            QStringLiteral("-A"),
            path(QStringLiteral("credentials")),
            QStringLiteral("-c"),
            commands};
}

QByteArray BenchShare::gioAnswers() const
{
    return "WORKGROUP\n" + m_samba.password('a').toUtf8() + '\n';
}

} // namespace Bench
