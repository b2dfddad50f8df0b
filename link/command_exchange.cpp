#include "command_exchange.h"

#include "line_echo.h"

namespace {

constexpr quint8 Tab = 0x09;
constexpr quint8 CarriageReturn = 0x0D;

bool expectsNoReply(const QByteArray &command)
{
    return command.size() >= 2 && command[0] == '0' && command[1] == '0';
}

} // namespace

CommandExchange::CommandExchange(PortAccess &port) : m_port(port) {}

bool CommandExchange::SendCommand(const QByteArray &command)
{
    m_receive.clear();
    // The frame carries the length in 8 bits; a longer command would go out cut
    // short, so it does not go out at all. Nor does anything at a line setting the
    // driver did not take: the module would hear noise.
    if (command.size() > MaxCommandLength || m_port.SettingRefused()) {
        m_replyLength = 0;
        return false;
    }

    // Only bytes that arrive after the request may form its reply: an answer that came
    // too late for an earlier request, or noise, is thrown away first.
    m_port.DiscardInput();
    const QByteArray request = requestFrame(command);
    // Logged as the frame starts out, so that in a merged log it comes before the
    // module hears it.
    const bool tracing = m_port.isTraced();
    if (tracing)
        m_port.traceEvent(QStringLiteral("tx"), request);
    sendFrame(command);
    if (expectsNoReply(command)) {
        m_port.WaitMs(10);
        m_replyLength = 0;
        return true;
    }

    const LinkServices &services = m_port.services();
    const quint32 start = services.clockMs();
    LineEcho echo(request);
    // What arrived without ending a frame, for the log of a time-out.
    QByteArray arrived;
    for (;;) {
        quint8 byte = 0;
        const PortAccess::ReadResult read = m_port.ReadByte(byte);
        if (read == PortAccess::ReadResult::Lost)
            break;
        if (read == PortAccess::ReadResult::Byte) {
            if (tracing)
                arrived.append(char(byte));
            const bool echoed = echo.dropped();
            const QByteArray passed = echo.feed(byte);
            if (tracing && echo.dropped() && !echoed) {
                m_port.traceEvent(QStringLiteral("echo"), arrived);
                arrived.clear();
            }
            if (const std::optional<bool> valid = take(passed))
                return *valid;
        } else {
            services.pumpMessages();
        }
        // Measured after every read, not only the idle ones, so that a line that
        // babbles without ever ending a frame cannot hold the window.
        const quint32 waited = ElapsedMs(start, services.clockMs());
        if (waited > ReplyWaitLimitMs) {
            // A part of the request that came back and then nothing: no echo, but bytes
            // received all the same.
            take(echo.release());
            if (tracing)
                m_port.traceEvent(QStringLiteral("timeout"), arrived,
                                  QStringLiteral("waited=%1ms").arg(waited));
            break;
        }
    }
    m_replyLength = m_receive.position();
    return false;
}

std::optional<bool> CommandExchange::take(const QByteArray &bytes)
{
    for (const char byte : bytes) {
        const ReplyAssembler::Frame frame = m_receive.feed(quint8(byte));
        if (frame == ReplyAssembler::Frame::Incomplete)
            continue;
        m_lastReply = m_receive.text();
        m_replyLength = m_receive.position();
        const bool valid = frame == ReplyAssembler::Frame::Valid;
        if (m_port.isTraced())
            m_port.traceEvent(valid ? QStringLiteral("rx") : QStringLiteral("rx-bad-checksum"),
                              m_receive.frame());
        return valid;
    }
    return std::nullopt;
}

QByteArray CommandExchange::requestFrame(const QByteArray &command)
{
    return char(Tab) + command + ChecksumDigits(FrameChecksum(command, Tab)) + char(CarriageReturn);
}

void CommandExchange::sendFrame(const QByteArray &command)
{
    const QByteArray digits = ChecksumDigits(FrameChecksum(command, Tab));
    m_port.WriteByte(Tab);
    m_port.WriteBlock(command.constData(), static_cast<int>(command.size()));
    m_port.WriteByte(static_cast<quint8>(digits[0]));
    m_port.WriteByte(static_cast<quint8>(digits[1]));
    m_port.WriteByte(CarriageReturn);
}
