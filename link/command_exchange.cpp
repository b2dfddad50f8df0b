#include "command_exchange.h"

#include "command_set.h"
#include "line_echo.h"

#include <algorithm>

namespace {

constexpr quint8 Tab = 0x09;
constexpr quint8 CarriageReturn = 0x0D;
// The two checksum digits and the carriage return after a reply's body.
constexpr int ChecksumAndEnd = 3;
const QString RefusedByTheModule = QStringLiteral("refused by the module");

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
    if (tracing) {
        const CommandRow *row = CommandRowOf(command);
        m_port.traceEvent(QStringLiteral("tx"), request,
                          row ? QString::fromLatin1(row->name) : QString());
    }
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
            if (const std::optional<bool> answered = take(passed, command))
                return *answered;
        } else {
            services.pumpMessages();
        }
        // Measured after every read, not only the idle ones, so that a line that
        // babbles without ever ending a frame cannot hold the window.
        const quint32 waited = ElapsedMs(start, services.clockMs());
        if (waited > ReplyWaitLimitMs) {
            // A part of the request that came back and then nothing: no echo, but bytes
            // received all the same.
            take(echo.release(), command);
            if (tracing)
                m_port.traceEvent(QStringLiteral("timeout"), arrived,
                                  QStringLiteral("waited=%1ms").arg(waited));
            if (LastPositionRead(command) > 0)
                m_unansweredReads.append(command);
            break;
        }
    }
    m_replyLength = m_receive.position();
    return false;
}

std::optional<bool> CommandExchange::take(const QByteArray &bytes, const QByteArray &command)
{
    for (const char byte : bytes) {
        const ReplyAssembler::Frame frame = m_receive.feed(quint8(byte));
        if (frame == ReplyAssembler::Frame::Incomplete)
            continue;
        if (frame == ReplyAssembler::Frame::Valid &&
            isLateReply(m_receive.text(), m_receive.position(), command)) {
            m_port.traceEvent(QStringLiteral("rx"), m_receive.frame(),
                              QStringLiteral("late answer to an earlier request, skipped"));
            m_receive.clear();
            continue;
        }
        m_lastReply = m_receive.text();
        m_replyLength = m_receive.position();
        if (frame == ReplyAssembler::Frame::BadChecksum) {
            m_port.traceEvent(QStringLiteral("rx-bad-checksum"), m_receive.frame());
            return false;
        }
        const QString refusal = refusalOf(command);
        m_port.traceEvent(QStringLiteral("rx"), m_receive.frame(), refusal);
        if (refusal == RefusedByTheModule)
            m_refusedCommands.append(command);
        if (!refusal.isEmpty())
            return false;
        if (command == Command::ReadIdentity)
            learnFromIdentity();
        return true;
    }
    return std::nullopt;
}

bool CommandExchange::isLateReply(const QByteArray &reply, int replyLength,
                                  const QByteArray &command) const
{
    constexpr int LetterPosition = 5;
    if (!m_letterAtFive || reply.size() < LetterPosition)
        return false;
    const char letter = reply.at(LetterPosition - 1);
    // Only a reply of the earlier request's own length counts: a short acknowledgement
    // may have a checksum digit there that looks like a letter.
    return letter != CommandLetter(command) &&
           std::any_of(m_unansweredReads.begin(), m_unansweredReads.end(),
                       [&](const QByteArray &earlier) {
                           return CommandLetter(earlier) == letter &&
                                  replyLength >= LastPositionRead(earlier) + ChecksumAndEnd;
                       });
}

QString CommandExchange::refusalOf(const QByteArray &command) const
{
    // A zero byte cuts the reply's text short: a field it cuts is not read at all.
    const bool cut = m_lastReply.size() < m_replyLength;
    if (cut && LastPositionRead(command) > m_lastReply.size())
        return QStringLiteral("no answer: a zero byte cuts the fields short");
    if (m_yesAtTwo && IsSettingCommand(command) && m_lastReply.size() >= 2 &&
        m_lastReply.at(1) == '?')
        return RefusedByTheModule;
    return {};
}

void CommandExchange::learnFromIdentity()
{
    m_letterAtFive =
        m_lastReply.size() >= 5 && m_lastReply.at(4) == CommandLetter(Command::ReadIdentity);
    m_yesAtTwo = m_lastReply.size() >= 2 && m_lastReply.at(1) == '!';
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
