// Record-file bytes as the program reads them: whole slots, a last partial one and the slot past the end.
#include "FuzzCheck.h"
#include "records/DriveRecord.h"
#include "records/RecordFile.h"

#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    static const QTemporaryDir folder;
    const QByteArray bytes = Fuzz::bytes(data, size).toByteArray();
    const QString path = folder.filePath(QString::fromLatin1(RecordFile::FileName));
    {
        QFile file(path);
        Fuzz::require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
                      "the input is written to a record file");
    }
    RecordFile records;
    Fuzz::require(records.open(path), "a record file of any bytes opens");
    const qint64 count = records.slotCount();
    Fuzz::require(count == (bytes.size() + DriveRecord::SlotSize - 1) / DriveRecord::SlotSize,
                  "a last partial slot counts as a slot");
    for (qint16 slot = 1; slot <= count + 1; ++slot) {
        const std::optional<DriveRecord> record = records.read(slot);
        Fuzz::require(record.has_value(), "every slot of a readable file reads");
        // A slot cut short by the end of the file, or past it, reads as if the file went on in zero bytes.
        QByteArray stored = bytes.mid((slot - 1) * DriveRecord::SlotSize, DriveRecord::SlotSize);
        stored.append(DriveRecord::SlotSize - stored.size(), '\0');
        Fuzz::require(*record == DriveRecord::fromSlot(stored), "a slot reads from its own place in the file");
        // What a reader sees is what a save of it writes back.
        Fuzz::require(DriveRecord::fromSlot(record->toSlot()) == *record, "a record written back reads the same");
        // The blank-slot rule reads the remote name's first character, whichever it is.
        static_cast<void>(isBlankSlot(*record));
    }
    return 0;
}
