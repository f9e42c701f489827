// What a connect decides without asking anyone: whether it has a drive, which drive it maps, and the texts that
// report its outcome and a disconnect's.
#pragma once

#include "records/RecordForm.h"

#include <QChar>
#include <QLatin1String>
#include <QString>

// How a connect ended. Cancelled is the user's choice (a prompt or the drive dialog); Failed is an error or a
// record without a drive.
enum class ConnectOutcome { Connected, Failed, Cancelled };

namespace ConnectRules {

// A connect needs a drive letter or Auto Map, from the record or from its caller. A drive given by the caller
// does not count: only the drive-in-use dialog gives one, for a record that had one.
bool hasDrive(const RecordForm& record, bool autoMap);

// The drive to map: the free letter for Auto Map, else the caller's drive, else the record's.
QString localName(const RecordForm& record, const QString& localDrive, bool autoMap, QChar freeDrive);

} // namespace ConnectRules

namespace StatusText {

inline constexpr QLatin1String Connecting {"Connection in progress......"};
inline constexpr QLatin1String Connected {"Connected to Share."};
inline constexpr QLatin1String PasswordCancelled {"Connect Cancelled"}; // the password prompt's Cancel
inline constexpr QLatin1String DriveCancelled {"Connect Cancelled!"}; // the drive-in-use dialog's Cancel
inline constexpr QLatin1String NoRecordSelected {"Can't Connect! No record selected."};
// Why a record without a drive letter or Auto Map was not connected.
inline constexpr QLatin1String NoDrive {"Can't Connect! No drive letter and no Auto Map."};
inline constexpr QLatin1String Disconnected {"Net Disconnection Successful!"};
inline constexpr QLatin1String NoConnectedDrives {"Can't Disconnect! No connected drives."};
inline constexpr QLatin1String NoConnectedDriveSelected {"Can't Disconnect! No connected drive selected."};
inline constexpr QLatin1String DriveInUseTitle {"Disconnect Error 2404"};
inline constexpr QLatin1String AutoConnecting {"Connecting Auto Connect Drives......"};

QString connectFailed(qint32 code);
QString disconnectFailed(qint32 code);
// The question before a drive in use is disconnected by force.
QString driveInUseQuestion(const QString& drive);
// The end of a batch, with the last failure's text when a connect failed.
QString autoConnectDone(const QString& lastFailure);

} // namespace StatusText
