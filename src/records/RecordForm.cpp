// The record as the editor's controls hold it, and the rules that save it, compare it with its slot and find
// a slot for a new one.
#include "RecordForm.h"

#include "Crypt.h"
#include "RecordFile.h"

namespace RecordRules {

namespace {

QString flag(bool set)
{
    return set ? QStringLiteral("T") : QStringLiteral("F");
}

// A blank flag, neither "T" nor "F", never differs.
bool flagDiffers(const QString& stored, bool checked)
{
    return (stored == u"T" && !checked) || (stored == u"F" && checked);
}

} // namespace

Refusal saveRefusal(const RecordForm& form)
{
    if (form.RecordName.isEmpty())
        return Refusal::NoName;
    if (form.RemoteName.isEmpty())
        return Refusal::NoRemoteResource;
    if (form.LocalDrive.isEmpty() && !form.AutoMap)
        return Refusal::NoLocalDrive;
    return Refusal::None;
}

DriveRecord toRecord(const RecordForm& form, qint16 slot)
{
    DriveRecord record;
    record.RecordName = form.RecordName;
    record.RemoteName = form.RemoteName;
    record.UserName = form.UserName;
    if (!form.Password.isEmpty() && form.Password != u"None")
        record.Password = Crypt::EncryptPassword(form.Password);
    record.AutoConnect = flag(form.AutoConnect);
    record.AutoMap = flag(form.AutoMap);
    if (!form.AutoMap)
        record.LocalDrive = form.LocalDrive;
    record.PromptPassword = flag(form.PromptPassword);
    record.RecordNumber = slot;
    return record;
}

DriveRecord deletedRecord()
{
    return {};
}

bool asksToSave(const RecordForm& form, const DriveRecord& stored)
{
    if (isBlankField(stored.RemoteName) || isBlankField(stored.RecordName))
        return !form.RecordName.isEmpty() && !form.RemoteName.isEmpty();
    return form.RecordName != stored.RecordName || form.RemoteName != stored.RemoteName
        || form.UserName != stored.UserName || flagDiffers(stored.AutoConnect, form.AutoConnect)
        || flagDiffers(stored.AutoMap, form.AutoMap) || flagDiffers(stored.PromptPassword, form.PromptPassword)
        || (!form.AutoMap && form.LocalDrive != stored.LocalDrive)
        || (!form.PromptPassword && Crypt::EncryptPassword(form.Password) != stored.Password);
}

NewSlot newRecordSlot(const RecordFile& file, qint16 current)
{
    const auto blank = [&file](int slot) -> std::optional<bool> {
        const std::optional<DriveRecord> record = file.read(static_cast<qint16>(slot));
        if (!record)
            return std::nullopt;
        return isBlankSlot(*record);
    };
    if (current >= 1 && current <= file.slotCount() + 1) {
        const std::optional<bool> currentIsBlank = blank(current);
        if (!currentIsBlank)
            return {std::nullopt, file.errorReason()};
        if (*currentIsBlank)
            return {current, {}};
    }
    // An int counter: a 16-bit one would wrap past the last slot.
    for (int slot = 2; slot <= RecordFile::LastSlot; ++slot) {
        const std::optional<bool> isBlank = blank(slot);
        if (!isBlank)
            return {std::nullopt, file.errorReason()};
        if (*isBlank)
            return {static_cast<qint16>(slot), {}};
    }
    return {};
}

} // namespace RecordRules
