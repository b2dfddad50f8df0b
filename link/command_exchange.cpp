#include "command_exchange.h"

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
    // short, so it does not go out at all.
    if (command.size() > MaxCommandLength)
        return false;

    // Only bytes that arrive after the request may form its reply: an answer that came
    // too late for an earlier request, or noise, is thrown away first.
    m_port.DiscardInput();
    sendFrame(command);
    if (expectsNoReply(command)) {
        m_port.WaitMs(10);
        m_replyLength = 0;
        return true;
    }

    const LinkServices &services = m_port.services();
    const quint32 start = services.clockMs();
    for (;;) {
        quint8 byte = 0;
        const PortAccess::ReadResult read = m_port.ReadByte(byte);
        if (read == PortAccess::ReadResult::Lost)
            break;
        if (read == PortAccess::ReadResult::Byte) {
            const ReplyAssembler::Frame frame = m_receive.feed(byte);
            if (frame != ReplyAssembler::Frame::Incomplete) {
                m_lastReply = m_receive.text();
                m_replyLength = m_receive.position();
                return frame == ReplyAssembler::Frame::Valid;
            }
        } else {
            services.pumpMessages();
        }
        // Measured after every read, not only the idle ones, so that a line that
        // babbles without ever ending a frame cannot hold the window.
        if (ElapsedMs(start, services.clockMs()) > ReplyWaitLimitMs)
            break;
    }
    m_replyLength = m_receive.position();
    return false;
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
