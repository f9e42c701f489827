// What a connect decides without asking anyone, and the texts of its outcomes.
#include "connect/ConnectRules.h"

#include "net/GetError.h"

namespace ConnectRules {

bool hasDrive(const RecordForm& record, bool autoMap)
{
    return autoMap || !record.LocalDrive.isEmpty() || record.AutoMap;
}

QString localName(const RecordForm& record, const QString& localDrive, bool autoMap, QChar freeDrive)
{
    if (autoMap || record.AutoMap)
        return QString(freeDrive) + u':';
    return localDrive.isEmpty() ? record.LocalDrive : localDrive;
}

} // namespace ConnectRules

namespace StatusText {

QString connectFailed(qint32 code)
{
    return QStringLiteral("ERROR: ") + GetErrorText(code) + QStringLiteral(" - Connect Failed!");
}

QString disconnectFailed(qint32 code)
{
    return QStringLiteral("ERROR: ") + GetErrorText(code) + QStringLiteral(" -Disconnect Failed!");
}

QString driveInUseQuestion(const QString& drive)
{
    return QStringLiteral("Drive ") + drive + QStringLiteral(" is in use. Click Ok to disconnect anyway.");
}

QString autoConnectDone(const QString& lastFailure)
{
    const QString done = QStringLiteral("Auto Connect Done.");
    return lastFailure.isEmpty() ? done : done + u' ' + lastFailure;
}

} // namespace StatusText
