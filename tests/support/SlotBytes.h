// Builds record-file bytes by hand, so that tests check the format against bytes they wrote themselves; and reads
// and writes whole files.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace SlotBytes {

// A saved slot: each text padded with spaces to its width, flags as given, the number little-endian.
inline QByteArray saved(const QByteArray& name, const QByteArray& remote, qint16 number, char autoConnect = 'F',
                        char autoMap = 'F', const QByteArray& drive = "F:", const QByteArray& user = {},
                        const QByteArray& password = {}, char prompt = 'F')
{
    const auto padded = [](QByteArray text, int width) { return text.leftJustified(width, ' ', true); };
    QByteArray slot = padded(name, 15) + padded(remote, 75) + padded(user, 15) + padded(password, 100);
    slot += autoConnect;
    slot += autoMap;
    slot += padded(drive, 2);
    slot += prompt;
    slot += static_cast<char>(number & 0xFF);
    slot += static_cast<char>((number >> 8) & 0xFF);
    return slot;
}

// What deleting a record leaves: 210 spaces and a zero record number.
inline QByteArray deleted()
{
    return QByteArray(210, ' ') + QByteArray(2, '\0');
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace SlotBytes
