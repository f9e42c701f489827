// Windows-1252, the single-byte code page of the record file.
#include "Cp1252.h"

#include <QList>

#include <array>

namespace {

// Characters of the bytes 0x80 to 0x9F; the rest of the code page matches Latin-1.
constexpr std::array<char16_t, 32> HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char toByte(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < HighControls.size(); ++i) {
        if (HighControls[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

namespace Cp1252 {

QString toUnicode(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        text[i] = (b >= 0x80 && b < 0xA0) ? QChar(HighControls[b - 0x80]) : QChar(char16_t(b));
    }
    return text;
}

QByteArray fromUnicode(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    // Walk code points, not UTF-16 units, so a character outside the BMP becomes one "?".
    for (const char32_t c : text.toUcs4())
        bytes.append(toByte(c));
    return bytes;
}

} // namespace Cp1252
