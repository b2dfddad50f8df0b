#include "trace_entry.h"

#include <ctime>

QString EscapedBytes(const QByteArray &bytes)
{
    QString text;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        switch (u) {
        case '\t':
            text += QStringLiteral("\\t");
            break;
        case '\r':
            text += QStringLiteral("\\r");
            break;
        case '\n':
            text += QStringLiteral("\\n");
            break;
        case '\0':
            text += QStringLiteral("\\0");
            break;
        case '\\':
            text += QStringLiteral("\\\\");
            break;
        default:
            if (u >= 0x20 && u < 0x7F)
                text += QChar(u);
            else
                text += QStringLiteral("\\x%1").arg(u, 2, 16, QChar(u'0'));
        }
    }
    return text;
}

qint64 EpochMicrosNow()
{
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

QString TraceEntry::line() const
{
    return QStringLiteral("%1.%2 %3 %4 %5")
        .arg(epochMicros / 1'000'000)
        .arg(epochMicros % 1'000'000, 6, 10, QChar(u'0'))
        .arg(event, setting.isEmpty() ? QStringLiteral("-") : setting, EscapedBytes(bytes));
}
