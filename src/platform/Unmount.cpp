#include "platform/Unmount.h"

#include "net/Wnet.h"
#include "platform/Subprocess.h"

#include <QDebug>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

namespace {

qint32 unmountFuse(const QString& mountPoint, bool force, const QProcessEnvironment& inherited,
                   std::chrono::milliseconds limit)
{
    const QString fusermount = Subprocess::findProgram(QStringLiteral("fusermount3"), inherited);
    if (fusermount.isEmpty()) {
        qWarning().noquote() << "sharemount: fusermount3 is missing: install fuse3";
        return ERROR_BAD_PROVIDER;
    }
    QStringList arguments {QStringLiteral("-u")};
    if (force)
        arguments << QStringLiteral("-z");
    arguments << QStringLiteral("--") << mountPoint;
    // Its messages are read below.
    QProcessEnvironment environment = inherited;
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));

    Subprocess process;
    QString error;
    if (!process.start(fusermount, arguments, environment, {}, &error)) {
        qWarning().noquote() << "sharemount: cannot start fusermount3:" << error;
        return ERROR_BAD_PROVIDER;
    }
    const std::optional<int> status = process.waitForExit(limit);
    const QString output = process.errorOutput();
    // fusermount3 says nothing when it succeeds: that tells even where its status was lost.
    if (status == 0 || (status == Subprocess::StatusLost && output.isEmpty()))
        return NO_ERROR;
    if (output.contains(u"busy"))
        return ERROR_DEVICE_IN_USE;
    if (output.contains(u"not permitted") || output.contains(u"Permission denied") || output.contains(u"not found in"))
        return ERROR_ACCESS_DENIED;
    qWarning().noquote() << "sharemount: fusermount3 could not unmount" << mountPoint
                         << (status ? output : QStringLiteral("in time"));
    return ERROR_EXTENDED_ERROR;
}

} // namespace

namespace Unmount {

qint32 unmount(const Mount& mount, bool force, const QProcessEnvironment& environment, std::chrono::milliseconds limit)
{
    if (mount.fileSystemType.startsWith(u"fuse."))
        return unmountFuse(mount.mountPoint, force, environment, limit);
    if (umount2(mount.mountPoint.toLocal8Bit().constData(), force ? MNT_DETACH : 0) == 0)
        return NO_ERROR;
    switch (errno) {
    case EBUSY:
        return ERROR_DEVICE_IN_USE;
    case EPERM:
    case EACCES:
        return ERROR_ACCESS_DENIED;
    default:
        qWarning().noquote() << "sharemount: cannot unmount" << mount.mountPoint << std::strerror(errno);
        return ERROR_EXTENDED_ERROR;
    }
}

} // namespace Unmount
