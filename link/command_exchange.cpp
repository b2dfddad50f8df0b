#include "command_exchange.h"

#include <cstring>

namespace {

constexpr quint8 Tab = 0x09;
constexpr quint8 LineFeed = 0x0A;
constexpr quint8 CarriageReturn = 0x0D;

bool expectsNoReply(const QByteArray &command)
{
    return command.size() >= 2 && command[0] == '0' && command[1] == '0';
}

} // namespace

quint8 FrameChecksum(const QByteArray &bytes, quint8 start)
{
    quint8 sum = start;
    for (const char c : bytes)
        sum ^= static_cast<quint8>(c);
    return sum;
}

QByteArray ChecksumDigits(quint8 checksum)
{
    static const char digits[] = "0123456789ABCDEF";
    const char pair[2] = {digits[checksum >> 4], digits[checksum & 0x0F]};
    return QByteArray(pair, 2);
}

CommandExchange::CommandExchange(PortAccess &port) : m_port(port) {}

bool CommandExchange::SendCommand(const QByteArray &command)
{
    ReceiveBuffer.fill(0);
    // The frame carries the length in 8 bits; a longer command would go out cut
    // short, so it does not go out at all.
    if (command.size() > MaxCommandLength)
        return false;

    const QByteArray digits = ChecksumDigits(FrameChecksum(command, Tab));
    m_port.WriteByte(Tab);
    m_port.WriteBlock(command.constData(), static_cast<int>(command.size()));
    m_port.WriteByte(static_cast<quint8>(digits[0]));
    m_port.WriteByte(static_cast<quint8>(digits[1]));
    m_port.WriteByte(CarriageReturn);

    int position = 0;
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
            ReceiveBuffer[position] = byte;
            position = (position + 1) % ReceiveBufferSize;
            if (byte == CarriageReturn && ReceiveBuffer[0] == LineFeed) {
                ReceiveBuffer[position] = 0;
                const char *text = reinterpret_cast<const char *>(ReceiveBuffer.data());
                m_lastReply = QByteArray(text, qsizetype(::strnlen(text, ReceiveBufferSize)));
                m_replyLength = position;
                return replyCheckPasses(position);
            }
        } else {
            services.pumpMessages();
        }
        // Measured after every read, not only the idle ones, so that a line that
        // babbles without ever ending a frame cannot hold the window.
        if (ElapsedMs(start, services.clockMs()) > ReplyWaitLimitMs)
            break;
    }
    m_replyLength = position;
    return false;
}

bool CommandExchange::replyCheckPasses(int position) const
{
    if (position < 4)
        return false;
    quint8 sum = 0;
    for (int i = 0; i <= position - 4; ++i)
        sum ^= ReceiveBuffer[i];
    const QByteArray digits = ChecksumDigits(sum);
    return ReceiveBuffer[position - 3] == static_cast<quint8>(digits[0]) &&
           ReceiveBuffer[position - 2] == static_cast<quint8>(digits[1]);
}
