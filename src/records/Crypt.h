// Password scrambling: a repeating-key XOR of the single-byte codes, written as hexadecimal digits.
#pragma once

#include <QString>

namespace Crypt {

// Two upper-case hexadecimal digits per character; the empty password gives the empty text.
QString EncryptPassword(const QString& password);

// Never fails: a malformed pair counts the hexadecimal digits it begins with, an odd last digit
// counts alone.
QString DecryptPassword(const QString& scrambled);

} // namespace Crypt
