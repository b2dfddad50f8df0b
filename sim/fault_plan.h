#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Faults the simulated module can be told to commit, to exercise the program.
enum class FaultKind
{
    NoReply,           // the request is not heard: no reply, nothing changes
    LateReply,         // the reply starts `value` ms late (default 200)
    BadChecksum,       // the reply's checksum digits are wrong
    LowercaseChecksum, // the reply's checksum holds a letter, written in lowercase
    WrongLength,       // `value` characters added to the reply body (negative: removed)
    StrayByte,         // a byte (`value`, default '~') goes out before the reply
    Babble,            // endless characters without a frame end, for `value` ms (0: until cleared)
    ZeroByte,          // a zero byte at reply position `value` (default 6), checksum still right
    HangUp,            // the device vanishes
    RawReply,          // these exact bytes go out instead of the reply
    Pretend,           // the usual reply, but the module keeps its state: a yes, no deed
    Leave,             // the reply and the deed, then nothing more is answered
};

struct Fault
{
    FaultKind kind = FaultKind::NoReply;
    QByteArray command; // requests that begin with this text; empty: every request
    int count = 1;      // how many matching requests; Always: every one
    int value = 0;
    QByteArray raw; // RawReply

    static constexpr int Always = -1;
};

// Text form, for the command line: KIND[=VALUE][@COMMAND][*COUNT|*always], where KIND is
// no-reply, late, bad-checksum, lowercase-checksum, wrong-length, stray-byte, babble,
// zero-byte, hang-up, raw (VALUE: the bytes in hexadecimal), pretend or leave. Example:
// no-reply@B00V*1
std::optional<Fault> ParseFault(const QString &text, QString *error = nullptr);

// Faults waiting for their requests, first added first served.
class FaultPlan
{
public:
    void add(const Fault &fault);
    void clear();
    // The fault for this request, if one is waiting; its count goes down by one.
    std::optional<Fault> take(const QByteArray &command);
    bool isEmpty() const { return m_faults.isEmpty(); }

private:
    QList<Fault> m_faults;
};
