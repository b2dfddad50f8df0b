#pragma once

#include "frame_checksum.h"
#include "port_access.h"
#include "reply_assembler.h"

#include <QByteArray>
#include <QByteArrayList>

#include <optional>

// One request and reply with the module over the open port. A request is a tab, the
// command, its checksum and a carriage return; the reply a line feed, a body, its
// checksum and a carriage return. The reply is taken the moment its carriage return
// arrives; the wait for it is bounded and keeps the window's messages running. An
// adapter that hands the request back before the reply (two-wire RS-485) is heard
// through: the echo is dropped.
//
// Where the module's identity reply shows the form (the request's letter at position 5,
// "!" at position 2), a reply is also judged by it: the late answer to an earlier read
// of the same workflow is skipped, and a setting command answered "?" was refused. A
// reply whose text a zero byte cuts short before a field the program reads is no
// answer either.
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

    // A piece of work begins: the requests of the one before no longer count as
    // unanswered, nor its refusals.
    void BeginWork()
    {
        m_unansweredReads.clear();
        m_refusedCommands.clear();
    }
    // The commands of this work that the module said no to.
    const QByteArrayList &RefusedCommands() const { return m_refusedCommands; }

private:
    static QByteArray requestFrame(const QByteArray &command);
    // Feeds received bytes to the reply; the reply's verdict once a frame ends.
    std::optional<bool> take(const QByteArray &bytes, const QByteArray &command);
    // True for a reply that is the late answer to an earlier read of this workflow.
    bool isLateReply(const QByteArray &reply, int replyLength, const QByteArray &command) const;
    // Why a reply with a good checksum is no answer: empty when it is one.
    QString refusalOf(const QByteArray &command) const;
    void learnFromIdentity();
    void sendFrame(const QByteArray &command);

    PortAccess &m_port;
    ReplyAssembler m_receive;
    QByteArray m_lastReply;
    int m_replyLength = 0;

    // What the identity reply showed of the module's replies: the request's letter at
    // position 5, and "!" at position 2 for a yes (then "?" there is a no).
    bool m_letterAtFive = false;
    bool m_yesAtTwo = false;
    // The reading requests of this workflow that went unanswered: a reply of theirs may
    // still come, during a later request.
    QByteArrayList m_unansweredReads;
    QByteArrayList m_refusedCommands;
};
