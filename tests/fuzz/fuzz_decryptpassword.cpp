// Scrambled password fields as a record file may hold them: any text decodes, and scrambling is a bijection on
// what it produces.
#include "FuzzCheck.h"
#include "records/Cp1252.h"
#include "records/Crypt.h"

#include <algorithm>
#include <cctype>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const QByteArrayView bytes = Fuzz::bytes(data, size);
    const QString stored = QString::fromUtf8(bytes);
    const QString password = Crypt::DecryptPassword(stored);
    Fuzz::require(password.size() == (stored.size() + 1) / 2, "every pair of digits, and an odd last one, decodes");

    // Even-length hexadecimal text is what scrambling writes: it scrambles back to itself, in upper case.
    const auto isHexDigit = [](QChar c) { return c.unicode() < 128 && std::isxdigit(c.unicode()); };
    const bool wellFormed = stored.size() % 2 == 0 && std::all_of(stored.cbegin(), stored.cend(), isHexDigit);
    if (wellFormed)
        Fuzz::require(Crypt::EncryptPassword(password) == stored.toUpper(), "a scrambled field scrambles back");

    // A password of code-page characters comes back unchanged.
    const QString typed = Cp1252::toUnicode(bytes);
    Fuzz::require(Crypt::DecryptPassword(Crypt::EncryptPassword(typed)) == typed, "a password decodes back");
    return 0;
}
