#pragma once

#include "fault_plan.h"
#include "line_setting.h"
#include "module_behaviour.h"
#include "trace_entry.h"
#include "unique_fd.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <deque>
#include <mutex>
#include <thread>

#include <sys/types.h>

class FrameTrace;

struct SimConfig
{
    QString portsFolder; // where the COM<n> link goes
    int portNumber = 1;
    ModuleState state;
    bool silent = false; // a port that opens but never answers
    QString tracePath;   // empty: no trace file

    // The adapter the port stands for. Each is reported in the pty's line file, where
    // the pty line library in the program's process plays the adapter's driver.
    //
    // A two-wire RS-485 adapter: every byte the program writes comes back to it, as
    // its last bit crosses the wire.
    bool echo = false;
    // An FTDI-type adapter's latency timer, 1-255 ms (0: none): the program receives
    // bytes only at its ticks, or at 1 ms ticks once it asked for ASYNC_LOW_LATENCY.
    int latencyMs = 0;
    // A driver that takes a setting with parity but ignores the parity.
    bool refusesParity = false;
    // A driver that fails TIOCSSERIAL with EINVAL (with latencyMs only).
    bool refusesLowLatency = false;
};

// The TX4040 module on a pseudo-terminal, linked as COM<n> in a ports folder. It runs
// on a thread of its own and behaves as the module on a real line would: it hears a
// request only at its own line setting and only once the request's last character
// would have arrived at that baud rate, and its reply takes the wire time of its
// characters. All public functions may be called from any thread.
class SimulatedModule
{
public:
    explicit SimulatedModule(SimConfig config);
    ~SimulatedModule();
    SimulatedModule(const SimulatedModule &) = delete;
    SimulatedModule &operator=(const SimulatedModule &) = delete;

    // Creates the pty and the link and starts answering.
    bool start(QString *error = nullptr);
    // Stops answering and removes the link.
    void stop();

    QString devicePath() const { return m_devicePath; }
    QString linkPath() const { return m_linkPath; }

    ModuleState state() const;
    void setState(const ModuleState &state);
    // Inputs as wired, DI1..DI4 as "0"/"1".
    void setContacts(const QByteArray &contacts);
    // The contacts step through the patterns, one every periodMs, over and over.
    void setContactSchedule(const QList<QByteArray> &patterns, int periodMs);

    void addFault(const Fault &fault);
    void clearFaults();
    // The device vanishes, as a USB adapter pulled out.
    void hangUp();
    // The module is taken off the line, or another one is put on: while away nothing
    // answers (the port stays); a module put on answers from then on as `state` says.
    void takeAway();
    void putOn(const ModuleState &state);
    bool isAway() const { return m_away; }
    bool hasVanished() const { return m_vanished; }

    QList<TraceEntry> trace() const;
    void clearTrace();
    // The commands heard, in order (the text between the tab and the checksum).
    QList<QByteArray> heardCommands() const;
    // Every byte that reached the module, as it came (the first 64 KiB since clearTrace()).
    QByteArray receivedBytes() const;

    // The line setting the program last applied to the port, as far as the module can tell.
    SimLineSetting programSetting() const;

private:
    struct Request
    {
        QByteArray frame;
        qint64 heardAtNs = 0;
        SimLineSetting setting;
    };
    struct OutByte
    {
        qint64 atNs = 0;
        char byte = 0;
        bool endsFrame = false;
        bool echo = false; // the program's own byte, back from a two-wire line
    };

    void run();
    qint64 nextDeadlineNs() const;
    void receive(qint64 nowNs);
    void receiveByte(char byte, qint64 arrivalNs, const SimLineSetting &setting);
    void hear(const Request &request);
    QByteArray replyFrame(const QByteArray &body, const std::optional<Fault> &fault) const;
    void send(const QByteArray &frame, qint64 startNs);
    void transmitDue(qint64 nowNs);
    // When a byte due at atNs reaches the program: at once, or at the adapter's next tick.
    qint64 releaseNs(qint64 atNs) const;
    // The adapter's tick now: 0 without a latency timer.
    qint64 currentTickNs() const;
    void followSchedule(qint64 nowNs);
    void vanish();
    void closeDevice();
    // at: when it happened, in CLOCK_MONOTONIC microseconds; -1: now.
    void record(const QString &event, const SimLineSetting &setting, const QByteArray &bytes,
                qint64 atMicros = -1);
    SimLineSetting ownSetting() const;

    SimConfig m_config;
    QString m_devicePath;
    QString m_linkPath;
    bool m_linked = false;
    // The folders that start() made for the link, deepest first.
    QStringList m_createdFolders;
    UniqueFd m_master;
    UniqueFd m_slave;
    UniqueFd m_wake;
    dev_t m_device = 0;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_hangUpRequested{false};
    std::atomic<bool> m_vanished{false};
    std::atomic<bool> m_away{false};

    mutable std::mutex m_mutex; // everything below
    ModuleBehaviour m_behaviour;
    FaultPlan m_faults;
    QList<TraceEntry> m_trace;
    QList<QByteArray> m_heard;
    QByteArray m_received;
    // Written without ever blocking the module, whatever reads it.
    std::shared_ptr<FrameTrace> m_traceLog;
    QByteArray m_receiving;
    bool m_inFrame = false;
    std::deque<Request> m_requests;
    std::deque<OutByte> m_output;
    QByteArray m_sending;
    std::optional<int> m_settingAfterReply;
    qint64 m_inLineFreeNs = 0;
    qint64 m_outLineFreeNs = 0;
    qint64 m_tickNs = 0;        // 0: bytes go to the program as they arrive
    qint64 m_babbleNextNs = -1; // -1: not babbling
    qint64 m_babbleUntilNs = 0; // 0: until cleared
    QList<QByteArray> m_schedule;
    qint64 m_schedulePeriodNs = 0;
    qint64 m_scheduleStartNs = 0;
};
