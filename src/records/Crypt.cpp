// Password scrambling: a repeating-key XOR of the single-byte codes, written as hexadecimal digits.
#include "Crypt.h"

#include "Cp1252.h"

namespace {

constexpr QByteArrayView Key = "Tq%8Lr!2Xn(#Zw7&E";

QByteArray combineWithKey(QByteArray bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ Key[i % Key.size()]);
    return bytes;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

// Reads a pair as a hexadecimal number up to its first non-digit.
char pairValue(QStringView pair)
{
    int value = 0;
    for (const QChar c : pair) {
        const int digit = hexDigit(c);
        if (digit < 0)
            break;
        value = value * 16 + digit;
    }
    return static_cast<char>(value);
}

} // namespace

namespace Crypt {

QString EncryptPassword(const QString& password)
{
    return QString::fromLatin1(combineWithKey(Cp1252::fromUnicode(password)).toHex().toUpper());
}

QString DecryptPassword(const QString& scrambled)
{
    QByteArray bytes;
    bytes.reserve((scrambled.size() + 1) / 2);
    for (qsizetype i = 0; i < scrambled.size(); i += 2)
        bytes.append(pairValue(QStringView(scrambled).mid(i, 2)));
    return Cp1252::toUnicode(combineWithKey(bytes));
}

} // namespace Crypt
