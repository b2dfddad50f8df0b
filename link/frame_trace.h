#pragma once

#include "unique_fd.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <mutex>

// The frame log: one line for each frame on the line and each event of the port,
//
//   <time> <port> <mode> <event> <text> <hex>[ <detail>]
//
// time: CLOCK_MONOTONIC in milliseconds with three decimals, so that the logs of the
// program and of the simulated module on one machine merge by sorting; port: "COM3";
// mode: the mode string the port was opened with ("-" where none); text: the bytes as
// printable ASCII with \t \r \n \0 \\ escaped, a space as \x20 and any other byte
// outside 0x21..0x7E as \xNN, "-" for no bytes and \x2d for a lone "-"; hex: the bytes
// as lowercase hex pairs, "-" for none; detail: the rest of the line, for some events.
// No field before the detail holds a space.

// Microseconds on CLOCK_MONOTONIC.
qint64 MonotonicMicrosNow();

// The text and hex fields of these bytes.
QByteArray TraceText(const QByteArray &bytes);
QByteArray TraceHex(const QByteArray &bytes);

// One whole line, without its line end.
QByteArray FormatTraceLine(qint64 monotonicMicros, const QString &port, const QString &mode,
                           const QString &event, const QByteArray &bytes,
                           const QString &detail = {});

// Where the lines go: a file, appended to, or standard error. Each line is written
// with one system call as it happens, so a crash loses none, and lines from several
// threads (or another process appending to the same file) never interleave. Writing
// never holds the program: a file path is opened without blocking (a FIFO without a
// reader fails at once), standard error is waited for at most a moment, and a line that
// cannot be written is dropped, which is said once on standard error.
class FrameTrace
{
public:
    // target: a file path (opened for append) or "-" for standard error. Null, with the
    // reason in error ("no reader" for a FIFO nobody reads), when it cannot be written.
    static std::shared_ptr<FrameTrace> open(const QString &target, QString &error);

    void record(const QString &port, const QString &mode, const QString &event,
                const QByteArray &bytes = {}, const QString &detail = {});
    // One line as it stands, without its line end.
    void writeLine(const QByteArray &line);

private:
    static constexpr int SharedStreamWaitMs = 100;

    FrameTrace(UniqueFd fd, bool sharedStream) : m_fd(std::move(fd)), m_sharedStream(sharedStream)
    {}
    // Empty once the whole line is out, else why not.
    QString writeWhole(const QByteArray &line);

    std::mutex m_mutex;
    UniqueFd m_fd;
    bool m_sharedStream;
    bool m_dropReported = false;
};
