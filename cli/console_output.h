#pragma once

#include <QByteArray>

#include <cstdio>

// Bytes as they are, UTF-8 texts included, flushed at once so that a pipe sees each line
// as it happens.
inline void WriteTo(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// Said after a search that could open no port and has no reason to give for any.
inline constexpr char NoPortOpenedHint[] =
    "tx4040: no COM port could be opened; tx4040 ports lists what this program sees\n";
