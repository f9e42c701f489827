#include "net/Wnet.h"

std::optional<QChar> Wnet::driveLetter(const QString& name, bool withRoot)
{
    const bool shape = (name.size() == 2 || (withRoot && name.size() == 3 && name[2] == u'\\')) && name[1] == u':';
    if (!shape)
        return std::nullopt;
    // ASCII letters only: upper-casing first would take the long s for an S.
    const char16_t letter = name[0].unicode();
    if (letter >= u'a' && letter <= u'z')
        return QChar(letter - u'a' + u'A');
    if (letter >= u'A' && letter <= u'Z')
        return QChar(letter);
    return std::nullopt;
}
