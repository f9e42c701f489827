// The record file: a plain array of 212-byte slots, numbered from 1, with no header.
#pragma once

#include "DriveRecord.h"

#include <QString>

#include <optional>

class RecordFile
{
public:
    // Slot numbers are 16-bit signed: the file has at most this many slots.
    static constexpr qint16 LastSlot = 32767;
    static constexpr const char* FileName = "drvmap.dat";

    RecordFile() = default;
    ~RecordFile();
    Q_DISABLE_COPY_MOVE(RecordFile)

    // Opens an existing file untouched, or creates it empty, readable by its owner only; a symbolic link
    // is followed to an existing file but never to create one. A file the user may read but not write is
    // opened read-only, and every write to it fails.
    bool open(const QString& path);
    bool isOpen() const { return m_fd >= 0; }
    bool isReadOnly() const { return m_readOnly; }
    QString path() const { return m_path; }

    // A slot at or beyond the end of the file reads as a never-written (all-zero) slot; nullopt only
    // when the file cannot be read.
    std::optional<DriveRecord> read(qint16 slot) const;

    // Stores the whole slot and flushes it to disk before answering; on failure the slot is put back as it
    // was, never left holding a part of the new record.
    bool write(qint16 slot, const DriveRecord& record);

    // The slots the file holds, a last partial one included; 0 when that cannot be told.
    qint64 slotCount() const;

    QString errorString() const { return m_error; }
    // The last failure's cause alone, without the operation and the file's name, for a short status line.
    QString errorReason() const { return m_reason; }

private:
    // Why a slot cannot be read or written before the file is touched.
    QString unusable(qint16 slot) const;
    bool fail(const QString& what, int error) const;
    bool fail(const QString& what, const QString& reason) const;

    int m_fd = -1;
    bool m_readOnly = false;
    QString m_path;
    mutable QString m_error;
    mutable QString m_reason;
};

// The name under which a directory search that ignores case, hidden files, folders and special files
// finds the record file in folder, or an empty text; a caller compares it with FileName exactly.
QString findRecordFileName(const QString& folder);

// The record file is missing from folder: the search does not find it under its exact name, and nothing else
// (a folder, a special file, a link to nothing) holds that name; such an entry is an error to report, not a
// file to create.
bool isRecordFileMissing(const QString& folder);
