// Calls into the networking layer as the window makes them, and the processes that a drive leaves running, for the
// tests that mount real shares of the private Samba server.
#pragma once

#include "platform/LinuxWnet.h"
#include "support/SambaTestbed.h"
#include "support/SlotBytes.h"

#include <QDir>
#include <QFile>

#include <sys/types.h>

namespace LayerCalls {

const QString ShareA = QStringLiteral("\\\\127.0.0.1\\sharea");
const QString ShareB = QStringLiteral("\\\\127.0.0.1\\shareb");

// The layer's settings for drives in drives, on the server at port, with the test's own check helper and a cache of
// the run's own, so that no earlier run's unsent files reach this run's servers.
inline LinuxWnet::Settings settingsFor(const QString& drives, const QString& cache, quint16 port)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SHAREMOUNT_DRIVES"), drives);
    environment.insert(QStringLiteral("SHAREMOUNT_SMB_PORT"), QString::number(port));
    LinuxWnet::Settings settings = LinuxWnet::settingsFrom(environment);
    settings.probeProgram = QStringLiteral(SMBPROBE_PATH);
    settings.cacheFolder = cache;
    return settings;
}

// Connects as test user who of server, with the user's own password unless another is given.
inline qint32 connectAs(Wnet& wnet, const SambaTestbed& server, const QString& localName, const QString& remoteName,
                        char who = 'a', const QString& password = {})
{
    NETRESOURCE resource;
    resource.lpLocalName = localName;
    resource.lpRemoteName = remoteName;
    return wnet.WNetAddConnection2A(resource, password.isEmpty() ? server.password(who) : password, server.user(who),
                                    0);
}

inline qint32 cancel(Wnet& wnet, const QString& localName, bool force = false)
{
    return wnet.WNetCancelConnection2A(localName, Wnet::CONNECT_UPDATE_PROFILE, force);
}

// The remote name of drive localName, or the code that the layer answers instead.
inline QString remoteOf(Wnet& wnet, const QString& localName)
{
    QString name;
    quint32 length = Wnet::RemoteNameBufferLength;
    const qint32 result = wnet.WNetGetConnectionA(localName, name, length);
    return result == NO_ERROR ? name : QStringLiteral("code %1").arg(result);
}

// The processes whose folder under /proc matches.
template <typename Matches>
QList<pid_t> processes(const Matches& matches)
{
    QList<pid_t> found;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (pid.toInt() > 0 && matches(QStringLiteral("/proc/") + pid))
            found << pid_t(pid.toInt());
    }
    return found;
}

// The rclone processes that serve, or served, a mount on mountPoint or below it.
inline QList<pid_t> rclonesServing(const QString& mountPoint)
{
    const QByteArray folder = QFile::encodeName(mountPoint);
    return processes([&](const QString& proc) {
        const QList<QByteArray> arguments = SlotBytes::readFile(proc + "/cmdline").split('\0');
        return arguments.size() > 3 && arguments[0].endsWith("rclone")
            && (arguments[3] == folder || arguments[3].startsWith(folder + '/'));
    });
}

} // namespace LayerCalls
