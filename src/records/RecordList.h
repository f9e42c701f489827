// The rows of the Records pane, read from the record file.
#pragma once

#include "RecordFile.h"

#include <QList>
#include <QString>

struct RecordRow
{
    qint16 slot = 0;
    QString name;
    QString remoteName;
    QString drive; // "Auto" for an auto-mapped record
    QString autoConnect; // "Yes" or "No"

    friend bool operator==(const RecordRow&, const RecordRow&) = default;
};

struct RecordListing
{
    QList<RecordRow> rows;
    QString error; // set when the file could not be read to the end of the listing
};

// Lists the saved slots from slot 1 until the fifth blank slot met, counted from slot 1 and not only
// in a row, or until the last slot number there can be.
RecordListing listRecords(const RecordFile& file);

// A row's key: "Key" and the slot number in decimal.
QString recordKey(qint16 slot);
