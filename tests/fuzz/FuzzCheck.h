// What the fuzz targets share: a failed property ends the run the way a sanitizer does, so that libFuzzer keeps
// the input that broke it.
#pragma once

#include <QByteArrayView>

#include <cstdio>
#include <cstdlib>

namespace Fuzz {

inline void require(bool holds, const char* property)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz property broken: %s\n", property);
    std::abort();
}

inline QByteArrayView bytes(const unsigned char* data, std::size_t size)
{
    return QByteArrayView(data, static_cast<qsizetype>(size));
}

} // namespace Fuzz
