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
