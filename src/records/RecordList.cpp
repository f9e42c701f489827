// The rows of the Records pane, read from the record file.
#include "RecordList.h"

RecordListing listRecords(const RecordFile& file)
{
    RecordListing listing;
    int blanks = 0;
    // An int counter: a 16-bit one would wrap past the last slot.
    for (int slot = 1; blanks < 5 && slot <= RecordFile::LastSlot; ++slot) {
        const std::optional<DriveRecord> record = file.read(static_cast<qint16>(slot));
        if (!record) {
            listing.error = file.errorString();
            break;
        }
        if (isBlankSlot(*record)) {
            ++blanks;
            continue;
        }
        listing.rows.append({static_cast<qint16>(slot), record->RecordName, record->RemoteName,
                             isSet(record->AutoMap) ? QStringLiteral("Auto") : record->LocalDrive,
                             isSet(record->AutoConnect) ? QStringLiteral("Yes") : QStringLiteral("No")});
    }
    return listing;
}

QString recordKey(qint16 slot)
{
    return QStringLiteral("Key") + QString::number(slot);
}
