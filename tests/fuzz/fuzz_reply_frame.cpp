// Any bytes from the line, as replies to a series of exchanges: each frame ends by its
// own rule, its text and length come from the bytes received since its exchange began,
// the checksum verdict matches a check made here from those bytes, and no reply
// field reads past the reply.

#include "command_set.h"
#include "reply_assembler.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Checked here without the program's helpers: the XOR of everything before the two
// digits, written as two uppercase hexadecimal digits.
bool checksumHolds(const uint8_t *frame, int p)
{
    if (p < 4)
        return false;
    uint8_t sum = 0;
    for (int i = 0; i < p - 3; ++i)
        sum ^= frame[i];
    const char *hex = "0123456789ABCDEF";
    return frame[p - 3] == hex[sum >> 4] && frame[p - 2] == hex[sum & 0x0F];
}

void readEveryField(const QByteArray &reply)
{
    // Each field is the reply's characters at its positions, as many as the reply has.
    const auto within = [&](const QByteArray &field, int first, int length) {
        const qsizetype expected = std::clamp<qsizetype>(reply.size() - (first - 1), 0, length);
        require(field.size() == expected &&
                std::memcmp(field.constData(), reply.constData() + first - 1, expected) == 0);
    };
    within(ReplyModuleId(reply), 3, 2);
    within(ReplySerialNo(reply), 6, 8);
    within(ReplyVersion(reply), 6, 8);
    within(ReplyModeFlag(reply), 6, 1);
    within(ReplyPolarityFlags(reply), 6, 4);
    within(ReplyInputStates(reply), 6, 4);
    const FourFlags flags = FlagsFromField(ReplyInputStates(reply));
    for (int i = 0; i < 4; ++i)
        require(flags[i] == (reply.size() > 5 + i && reply[5 + i] == '1'));
    require(IsHoldMode(ReplyModeFlag(reply)) == (reply.size() > 5 && reply[5] == 'H'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ReplyAssembler receive;
    receive.clear();
    size_t exchangeStart = 0;
    for (size_t i = 0; i < size; ++i) {
        const ReplyAssembler::Frame frame = receive.feed(data[i]);
        const int p = receive.position();
        const auto received = qsizetype(i + 1 - exchangeStart);
        if (frame == ReplyAssembler::Frame::Incomplete) {
            require(p == received % ReplyAssembler::ReceiveBufferSize);
            continue;
        }
        // A carriage return ended it, and the frame is what the buffer holds: the last
        // p bytes received, which begin with the line feed.
        require(data[i] == '\r');
        require(p >= 2 && p <= ReplyAssembler::ReceiveBufferSize);
        require(p == (received - 1) % ReplyAssembler::ReceiveBufferSize + 1);
        const QByteArray frameBytes =
            QByteArray::fromRawData(reinterpret_cast<const char *>(data + i + 1 - p), p);
        require(frameBytes.startsWith('\n'));
        const QByteArray reply = receive.text();
        const qsizetype zero = frameBytes.indexOf('\0');
        require(reply == (zero < 0 ? frameBytes : frameBytes.left(zero)));
        require((frame == ReplyAssembler::Frame::Valid) == checksumHolds(data + i + 1 - p, p));
        readEveryField(reply);
        // The next exchange starts afresh.
        receive.clear();
        exchangeStart = i + 1;
    }
    return 0;
}
