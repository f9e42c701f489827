// The drive-letter scans of a connect and of the Connected Drives pane, asked of the networking layer.
#include "connect/DriveLetters.h"

#include "net/Wnet.h"

namespace DriveLetters {

QString drive(QChar letter)
{
    return QString(letter) + u':';
}

QString root(QChar letter)
{
    return drive(letter) + u'\\';
}

QChar findFree(Wnet& wnet)
{
    constexpr char16_t afterZ = u'Z' + 1;
    for (char16_t letter = u'E'; letter < afterZ; ++letter) {
        if (wnet.GetDriveTypeA(root(QChar(letter))) == DRIVE_NO_ROOT_DIR)
            return QChar(letter);
    }
    return QChar(afterZ);
}

QStringList freeDrives(Wnet& wnet)
{
    QStringList drives;
    for (char16_t letter = u'F'; letter <= u'Z'; ++letter) {
        if (wnet.GetDriveTypeA(root(QChar(letter))) == DRIVE_NO_ROOT_DIR)
            drives.append(drive(QChar(letter)));
    }
    return drives;
}

bool isInUse(Wnet& wnet, const QString& rootPath)
{
    for (char16_t letter = u'B'; letter <= u'Z'; ++letter) {
        const QString path = root(QChar(letter));
        if (path == rootPath)
            return wnet.GetDriveTypeA(path) != DRIVE_NO_ROOT_DIR;
    }
    return false;
}

QList<QChar> networkLetters(Wnet& wnet)
{
    QList<QChar> letters;
    for (char16_t letter = u'B'; letter <= u'Z'; ++letter) {
        if (wnet.GetDriveTypeA(root(QChar(letter))) == DRIVE_REMOTE)
            letters.append(QChar(letter));
    }
    return letters;
}

QString connectionName(Wnet& wnet, const QString& drive)
{
    QString remoteName;
    quint32 length = Wnet::RemoteNameBufferLength;
    return wnet.WNetGetConnectionA(drive, remoteName, length) == NO_ERROR ? remoteName : QString();
}

} // namespace DriveLetters
