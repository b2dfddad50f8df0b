#include "utf16_bytes.h"

#include <QStringDecoder>
#include <QStringEncoder>

// Qt's converters put a replacement character where the input is not well-formed; a
// conversion counts only when it turns back into exactly the bytes it came from. A
// byte order mark is a character like any other here, never dropped.

namespace {

constexpr auto Flags =
    QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;

QString decoded(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decode(encoding, Flags);
    return decode(bytes);
}

QByteArray encoded(QStringConverter::Encoding encoding, const QString &text)
{
    QStringEncoder encode(encoding, Flags);
    return encode(text);
}

bool convert(QStringConverter::Encoding from, QStringConverter::Encoding to, QByteArrayView in,
             QByteArray &out)
{
    const QString text = decoded(from, in);
    out = encoded(to, text);
    return encoded(from, decoded(to, out)) == in;
}

} // namespace

bool utf16LeToUtf8(QByteArrayView utf16, QByteArray &utf8)
{
    return convert(QStringConverter::Utf16LE, QStringConverter::Utf8, utf16, utf8);
}

bool utf8ToUtf16Le(QByteArrayView utf8, QByteArray &utf16)
{
    return convert(QStringConverter::Utf8, QStringConverter::Utf16LE, utf8, utf16);
}
