#include "frame_trace.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Escapes every byte that would break a field or a line; the text field also escapes
// the space, the detail keeps it.
void appendEscaped(QByteArray &out, const QByteArray &bytes, bool escapeSpace)
{
    static constexpr char Digits[] = "0123456789abcdef";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        switch (u) {
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\0':
            out += "\\0";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            if ((u > 0x20 && u < 0x7F) || (u == 0x20 && !escapeSpace)) {
                out += c;
            } else {
                out += "\\x";
                out += Digits[u >> 4];
                out += Digits[u & 0x0F];
            }
        }
    }
}

// A field other than text and hex: "-" when empty, never a space in it.
QByteArray field(const QString &value)
{
    if (value.isEmpty())
        return QByteArrayLiteral("-");
    QByteArray out;
    appendEscaped(out, value.toUtf8(), true);
    return out;
}

} // namespace

qint64 MonotonicMicrosNow()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

QByteArray TraceText(const QByteArray &bytes)
{
    // "-" stands for no bytes, so a lone "-" byte must look different.
    if (bytes.isEmpty())
        return QByteArrayLiteral("-");
    if (bytes == "-")
        return QByteArrayLiteral("\\x2d");
    QByteArray out;
    out.reserve(bytes.size());
    appendEscaped(out, bytes, true);
    return out;
}

QByteArray TraceHex(const QByteArray &bytes)
{
    return bytes.isEmpty() ? QByteArrayLiteral("-") : bytes.toHex();
}

QByteArray FormatTraceLine(qint64 monotonicMicros, const QString &port, const QString &mode,
                           const QString &event, const QByteArray &bytes, const QString &detail)
{
    QByteArray line = QByteArray::number(monotonicMicros / 1000) + '.' +
                      QByteArray::number(monotonicMicros % 1000).rightJustified(3, '0');
    line += ' ' + field(port) + ' ' + field(mode) + ' ' + field(event) + ' ' + TraceText(bytes) +
            ' ' + TraceHex(bytes);
    if (!detail.isEmpty()) {
        line += ' ';
        appendEscaped(line, detail.toUtf8(), false);
    }
    return line;
}

std::shared_ptr<FrameTrace> FrameTrace::open(const QString &target, QString &error)
{
    // Its own descriptor even for standard error, so that one owner closes what it holds.
    UniqueFd fd(target == u"-"
                    ? ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0)
                    : ::open(QFile::encodeName(target).constData(),
                             O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0666));
    if (!fd.isValid()) {
        error =
            QStringLiteral("%1: %2").arg(target == u"-" ? QStringLiteral("standard error") : target,
                                         QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    return std::shared_ptr<FrameTrace>(new FrameTrace(std::move(fd)));
}

void FrameTrace::record(const QString &port, const QString &mode, const QString &event,
                        const QByteArray &bytes, const QString &detail)
{
    const QByteArray line =
        FormatTraceLine(MonotonicMicrosNow(), port, mode, event, bytes, detail) + '\n';
    std::lock_guard lock(m_mutex);
    // A trace that can no longer be written (a full disk) must not stop the link.
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t n = ::write(m_fd.get(), line.constData() + done, size_t(line.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
}
