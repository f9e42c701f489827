// One saved drive mapping and its fixed 212-byte slot in the record file.
#pragma once

#include <QByteArray>
#include <QString>

// The fields as readers use them: text without its padding, cut at its first zero byte.
struct DriveRecord
{
    QString RecordName;
    QString RemoteName;
    QString UserName;
    QString Password; // scrambled, see Crypt
    QString AutoConnect; // flags: "T" is set, anything else clear
    QString AutoMap;
    QString LocalDrive;
    QString PromptPassword;
    qint16 RecordNumber = 0;

    static constexpr int SlotSize = 212;

    // A slot shorter than SlotSize (the end of a file) reads as if zero-filled.
    static DriveRecord fromSlot(QByteArrayView slot);
    QByteArray toSlot() const;

    friend bool operator==(const DriveRecord&, const DriveRecord&) = default;
};

inline bool isSet(const QString& flag)
{
    return flag == u"T";
}

// A text field counts as blank when it is empty (padding and anything after a zero byte left out) or when its first
// character's code, written in decimal, begins with 3: codes 3 and 30 to 39, the space among them.
bool isBlankField(const QString& field);

// A slot is free for a new record, and left out of listings, when its remote name is blank: never-written and
// deleted slots, but also remote names that begin with codes 3 or 30 to 39.
bool isBlankSlot(const DriveRecord& record);
