#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Exact conversions between UTF-8 and UTF-16LE. Each refuses input that is not
// well-formed (a truncated or overlong sequence, a surrogate out of its pair), so that
// whatever one of them gives, the other turns back into the very same bytes.
bool utf16LeToUtf8(QByteArrayView utf16, QByteArray &utf8);
bool utf8ToUtf16Le(QByteArrayView utf8, QByteArray &utf16);
