#include "reply_assembler.h"

#include "frame_checksum.h"

#include <algorithm>

namespace {

constexpr quint8 LineFeed = 0x0A;
constexpr quint8 CarriageReturn = 0x0D;

} // namespace

void ReplyAssembler::clear()
{
    ReceiveBuffer.fill(0);
    m_position = 0;
}

ReplyAssembler::Frame ReplyAssembler::feed(quint8 byte)
{
    // A frame that filled the buffer ended at its last cell; what follows starts over.
    if (m_position == ReceiveBufferSize)
        m_position = 0;
    ReceiveBuffer[m_position] = byte;
    // The position stays at the buffer's size for a frame that ends in its last cell,
    // so that the frame keeps its line feed and its length.
    const bool endsFrame = byte == CarriageReturn && ReceiveBuffer[0] == LineFeed;
    ++m_position;
    if (!endsFrame) {
        m_position %= ReceiveBufferSize;
        return Frame::Incomplete;
    }
    return checksumPasses() ? Frame::Valid : Frame::BadChecksum;
}

QByteArray ReplyAssembler::text() const
{
    const auto begin = ReceiveBuffer.begin();
    const auto end = std::find(begin, begin + m_position, quint8(0));
    return QByteArray(reinterpret_cast<const char *>(ReceiveBuffer.data()), end - begin);
}

QByteArray ReplyAssembler::frame() const
{
    return QByteArray(reinterpret_cast<const char *>(ReceiveBuffer.data()), m_position);
}

bool ReplyAssembler::checksumPasses() const
{
    // Line feed and body, then two uppercase digits, then the carriage return.
    const int p = m_position;
    if (p < 4)
        return false;
    quint8 sum = 0;
    for (int i = 0; i <= p - 4; ++i)
        sum ^= ReceiveBuffer[i];
    const QByteArray digits = ChecksumDigits(sum);
    return ReceiveBuffer[p - 3] == quint8(digits[0]) && ReceiveBuffer[p - 2] == quint8(digits[1]);
}
