#pragma once

#include "frame_checksum.h"
#include "port_access.h"
#include "reply_assembler.h"

#include <QByteArray>

#include <optional>

// One request and reply with the module over the open port. A request is a tab, the
// command, its checksum and a carriage return; the reply a line feed, a body, its
// checksum and a carriage return. The reply is taken the moment its carriage return
// arrives; the wait for it is bounded and keeps the window's messages running. An
// adapter that hands the request back before the reply (two-wire RS-485) is heard
// through: the echo is dropped.
class CommandExchange
{
public:
    static constexpr int MaxCommandLength = 255;
    // The wait ends at the first read that finds more than this many ms elapsed.
    static constexpr quint32 ReplyWaitLimitMs = 150;

    explicit CommandExchange(PortAccess &port);

    // True for a reply whose checksum matches, or for a command that expects none
    // (one that begins with "00").
    bool SendCommand(const QByteArray &command);

    // The last completed reply frame, line feed to carriage return; a zero byte in
    // the reply cuts it short.
    const QByteArray &LastReply() const { return m_lastReply; }
    int ReplyLength() const { return m_replyLength; }

private:
    static QByteArray requestFrame(const QByteArray &command);
    // Feeds received bytes to the reply; the reply check's result once a frame ends.
    std::optional<bool> take(const QByteArray &bytes);
    void sendFrame(const QByteArray &command);

    PortAccess &m_port;
    ReplyAssembler m_receive;
    QByteArray m_lastReply;
    int m_replyLength = 0;
};
