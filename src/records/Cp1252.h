// Windows-1252, the single-byte code page of the record file.
#pragma once

#include <QByteArray>
#include <QString>

namespace Cp1252 {

// Every byte has a character: the five bytes the code page leaves undefined map to the C1 control
// characters of the same value, so that decoding and encoding a byte gives the byte back.
QString toUnicode(QByteArrayView bytes);

// A character the code page cannot represent is stored as "?".
QByteArray fromUnicode(QStringView text);

} // namespace Cp1252
