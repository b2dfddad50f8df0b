#include "frame_trace.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
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
    const bool standardError = target == u"-";
    // Its own descriptor even for standard error, so that one owner closes what it holds.
    // A file of its own never blocks: a FIFO without a reader fails at once instead of
    // holding the program, one whose reader stalls drops lines. Standard error shares
    // its description with the shell, whose blocking mode is not ours to change.
    UniqueFd fd(standardError
                    ? ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0)
                    : ::open(QFile::encodeName(target).constData(),
                             O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                             0666));
    if (!fd.isValid()) {
        const QString reason = errno == ENXIO ? QStringLiteral("no reader")
                                              : QString::fromLocal8Bit(std::strerror(errno));
        error = QStringLiteral("%1: %2").arg(
            standardError ? QStringLiteral("standard error") : target, reason);
        return nullptr;
    }
    return std::shared_ptr<FrameTrace>(new FrameTrace(std::move(fd), standardError));
}

void FrameTrace::record(const QString &port, const QString &mode, const QString &event,
                        const QByteArray &bytes, const QString &detail)
{
    writeLine(FormatTraceLine(MonotonicMicrosNow(), port, mode, event, bytes, detail));
}

void FrameTrace::writeLine(const QByteArray &text)
{
    const QByteArray line = text + '\n';
    std::lock_guard lock(m_mutex);
    // A log that can no longer be written (a full disk, a reader that stalls) must not
    // stop the link: its lines are dropped, and that is said once.
    const QString failure = writeWhole(line);
    if (failure.isEmpty() || m_dropReported)
        return;
    m_dropReported = true;
    const QByteArray report = QCoreApplication::applicationName().toLocal8Bit() +
                              ": the frame log cannot be written (" + failure.toLocal8Bit() +
                              "); its lines are dropped\n";
    [[maybe_unused]] const ssize_t said =
        ::write(STDERR_FILENO, report.constData(), size_t(report.size()));
}

QString FrameTrace::writeWhole(const QByteArray &line)
{
    // Standard error may block; it gets a bounded wait, the log's own file none.
    const int waitMs = m_sharedStream ? SharedStreamWaitMs : 0;
    for (qsizetype done = 0; done < line.size();) {
        if (m_sharedStream) {
            pollfd writable{m_fd.get(), POLLOUT, 0};
            if (::poll(&writable, 1, waitMs) == 0)
                return QStringLiteral("it took no line for %1 ms").arg(waitMs);
        }
        const ssize_t n = ::write(m_fd.get(), line.constData() + done, size_t(line.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return QStringLiteral("its reader takes nothing");
        return n == 0 ? QStringLiteral("nothing was written")
                      : QString::fromLocal8Bit(std::strerror(errno));
    }
    return {};
}
