#pragma once

#include <QByteArray>

#include <array>

// The reply side of an exchange as a function of the bytes received, with no port,
// clock or message pump: the receive buffer, the rule that ends a frame, and the
// check of its checksum.
//
// A frame is complete when a carriage return arrives while the buffer's first byte is
// a line feed. The buffer holds 1024 bytes; the position wraps to its start, so bytes
// past that overwrite the oldest.
class ReplyAssembler
{
public:
    static constexpr int ReceiveBufferSize = 1024;

    enum class Frame
    {
        Incomplete,
        Valid,
        BadChecksum
    };

    // The start of an exchange: every byte zero, nothing received.
    void clear();
    // Takes the next byte received. Once a frame is complete, text() and position()
    // describe it.
    Frame feed(quint8 byte);

    // Bytes received, counted modulo the buffer's size; after a completed frame, the
    // frame's length, line feed and carriage return included (1024 when it fills the
    // buffer exactly).
    int position() const { return m_position; }
    // The completed frame from its line feed up to its carriage return, cut short at a
    // zero byte.
    QByteArray text() const;
    // The completed frame as it arrived, zero bytes and all.
    QByteArray frame() const;

private:
    bool checksumPasses() const;

    std::array<quint8, ReceiveBufferSize> ReceiveBuffer{};
    int m_position = 0;
};
