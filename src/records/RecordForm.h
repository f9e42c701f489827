// The record as the editor's controls hold it, and the rules that save it, compare it with its slot and find
// a slot for a new one.
#pragma once

#include "DriveRecord.h"

#include <QString>

#include <optional>

class RecordFile;

struct RecordForm
{
    QString RecordName;
    QString RemoteName;
    QString UserName;
    QString Password; // in clear; "None" while the record asks for it
    QString LocalDrive;
    bool AutoConnect = false;
    bool AutoMap = false;
    bool PromptPassword = false;

    friend bool operator==(const RecordForm&, const RecordForm&) = default;
};

namespace RecordRules {

// The save checks, in the order they are made.
enum class Refusal { None, NoName, NoRemoteResource, NoLocalDrive };
Refusal saveRefusal(const RecordForm& form);

// The slot a save writes: texts fitted to their widths by the slot format, the password scrambled unless it is
// empty or "None", the drive blank for an auto-mapped record.
DriveRecord toRecord(const RecordForm& form, qint16 slot);

// What a delete writes: every text and flag blank, record number 0.
DriveRecord deletedRecord();

// Whether leaving the form must ask to save it. A stored slot with a blank name or remote name (a "#" or "!"
// first counts as blank) counts as empty: then only a form with a name and a remote name asks. Otherwise any
// difference asks.
bool asksToSave(const RecordForm& form, const DriveRecord& stored);

struct NewSlot
{
    std::optional<qint16> slot; // none when every slot from 2 to the last is taken, or on a read error
    QString error; // why the file could not be read
};

// The slot for a new record: the current one when it is blank and the listing can reach it (no further than
// one past the end of the file), otherwise the first blank slot from 2 up.
NewSlot newRecordSlot(const RecordFile& file, qint16 current);

} // namespace RecordRules
