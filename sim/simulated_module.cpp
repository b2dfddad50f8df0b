#include "simulated_module.h"

#include "frame_trace.h"
#include "link_owner.h"
#include "ptyline/line_report.h"

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

namespace {

constexpr char Tab = '\t';
constexpr char CarriageReturn = '\r';
constexpr int LongestRequest = 300;
constexpr qsizetype ReceivedBytesKept = 64 * 1024;
constexpr qint64 SpinNs = 150'000;

qint64 monotonicNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

int baudOf(speed_t speed)
{
    switch (speed) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    default:
        return 0;
    }
}

bool checksumMatches(const QByteArray &frame)
{
    // frame: tab, command, two digits, carriage return
    if (frame.size() < 4)
        return false;
    const QByteArray command = frame.mid(1, frame.size() - 4);
    return frame.mid(frame.size() - 3, 2) ==
           SimFrame::checksumDigits(SimFrame::xorOf(command, quint8(Tab)));
}

bool hasHexLetter(const QByteArray &digits)
{
    return std::any_of(digits.begin(), digits.end(), [](char c) { return c >= 'A'; });
}

} // namespace

SimulatedModule::SimulatedModule(SimConfig config)
    : m_config(std::move(config)), m_behaviour(m_config.state)
{}

SimulatedModule::~SimulatedModule()
{
    stop();
}

bool SimulatedModule::start(QString *error)
{
    auto fail = [&](const QString &message) {
        if (error)
            *error = message;
        closeDevice();
        return false;
    };

    m_master.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!m_master.isValid() || ::grantpt(m_master.get()) != 0 || ::unlockpt(m_master.get()) != 0)
        return fail(QStringLiteral("cannot create a pseudo-terminal"));
    m_devicePath = QString::fromLocal8Bit(::ptsname(m_master.get()));

    // Held open and never read: it keeps the pty alive while no program has the port.
    m_slave.reset(::open(::ptsname(m_master.get()), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!m_slave.isValid())
        return fail(QStringLiteral("cannot open %1").arg(m_devicePath));
    termios raw{};
    ::tcgetattr(m_slave.get(), &raw);
    ::cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    ::cfsetspeed(&raw, B9600);
    ::tcsetattr(m_slave.get(), TCSANOW, &raw);

    struct stat st
    {
    };
    ::fstat(m_slave.get(), &st);
    m_device = st.st_rdev;
    if (!ptyline::createReport(m_device) ||
        !ptyline::writeAdapter(m_device,
                               ptyline::Adapter{m_config.latencyMs, m_config.refusesParity,
                                                m_config.refusesLowLatency}))
        return fail(QStringLiteral("cannot create %1")
                        .arg(QString::fromStdString(ptyline::reportPath(m_device))));
    m_tickNs = currentTickNs();

    // The folders made here go again when they are left empty: an empty ports folder
    // would hide every real adapter from the program.
    m_createdFolders.clear();
    for (QDir folder(m_config.portsFolder); !folder.exists() && !folder.isRoot();
         folder.setPath(QFileInfo(folder.absolutePath()).path()))
        m_createdFolders.append(folder.absolutePath());
    if (!QDir().mkpath(m_config.portsFolder))
        return fail(QStringLiteral("cannot create %1").arg(m_config.portsFolder));
    m_linkPath = m_config.portsFolder + QStringLiteral("/COM%1").arg(m_config.portNumber);
    // A link left by a module that did not end cleanly is taken over: a dangling one,
    // or one whose module no longer runs (its pty number may since serve another
    // program, which must not get the scan's frames).
    const QFileInfo existing(m_linkPath);
    if (existing.isSymLink() && (!existing.exists() || LinkOwner::isGone(m_linkPath))) {
        QFile::remove(m_linkPath);
        LinkOwner::forget(m_linkPath);
    }
    if (!QFile::link(m_devicePath, m_linkPath))
        return fail(QStringLiteral("cannot link %1: it exists already").arg(m_linkPath));
    m_linked = true;
    if (!LinkOwner::record(m_linkPath))
        return fail(QStringLiteral("cannot record the owner of %1").arg(m_linkPath));

    if (!m_config.tracePath.isEmpty()) {
        QString why;
        m_traceLog = FrameTrace::open(m_config.tracePath, why);
        if (!m_traceLog)
            return fail(QStringLiteral("cannot write the trace to %1").arg(why));
    }

    m_wake.reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!m_wake.isValid())
        return fail(QStringLiteral("cannot create an eventfd"));
    m_stopping = false;
    m_thread = std::thread([this] { run(); });
    return true;
}

void SimulatedModule::stop()
{
    if (m_thread.joinable()) {
        m_stopping = true;
        const quint64 one = 1;
        [[maybe_unused]] const auto written = ::write(m_wake.get(), &one, sizeof one);
        m_thread.join();
    }
    closeDevice();
    m_wake.reset();
    m_traceLog.reset();
}

void SimulatedModule::closeDevice()
{
    // The link goes only if it is still ours.
    if (m_linked && QFileInfo(m_linkPath).symLinkTarget() == m_devicePath) {
        QFile::remove(m_linkPath);
        LinkOwner::forget(m_linkPath);
    }
    m_linked = false;
    // Deepest first; a folder that holds anything else, another module's link say, stays.
    for (const QString &folder : std::as_const(m_createdFolders))
        QDir().rmdir(folder);
    m_createdFolders.clear();
    if (m_device != 0)
        ptyline::removeReport(m_device);
    m_device = 0;
    m_slave.reset();
    m_master.reset();
}

ModuleState SimulatedModule::state() const
{
    std::lock_guard lock(m_mutex);
    return m_behaviour.state();
}

void SimulatedModule::setState(const ModuleState &state)
{
    std::lock_guard lock(m_mutex);
    m_behaviour.state() = state;
}

void SimulatedModule::setContacts(const QByteArray &contacts)
{
    std::lock_guard lock(m_mutex);
    m_schedule.clear();
    m_behaviour.state().contacts = contacts;
}

void SimulatedModule::setContactSchedule(const QList<QByteArray> &patterns, int periodMs)
{
    {
        std::lock_guard lock(m_mutex);
        m_schedule = patterns;
        m_schedulePeriodNs = qint64(std::max(periodMs, 1)) * 1'000'000;
        m_scheduleStartNs = monotonicNs();
    }
    const quint64 one = 1;
    [[maybe_unused]] const auto written = ::write(m_wake.get(), &one, sizeof one);
}

void SimulatedModule::addFault(const Fault &fault)
{
    std::lock_guard lock(m_mutex);
    m_faults.add(fault);
}

void SimulatedModule::clearFaults()
{
    std::lock_guard lock(m_mutex);
    m_faults.clear();
    m_babbleNextNs = -1;
}

void SimulatedModule::hangUp()
{
    m_hangUpRequested = true;
    const quint64 one = 1;
    if (m_wake.isValid()) {
        [[maybe_unused]] const auto written = ::write(m_wake.get(), &one, sizeof one);
    }
}

void SimulatedModule::takeAway()
{
    m_away = true;
}

void SimulatedModule::putOn(const ModuleState &state)
{
    {
        std::lock_guard lock(m_mutex);
        m_behaviour.state() = state;
    }
    m_away = false;
}

QList<TraceEntry> SimulatedModule::trace() const
{
    std::lock_guard lock(m_mutex);
    return m_trace;
}

void SimulatedModule::clearTrace()
{
    std::lock_guard lock(m_mutex);
    m_trace.clear();
    m_heard.clear();
    m_received.clear();
}

QByteArray SimulatedModule::receivedBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

QList<QByteArray> SimulatedModule::heardCommands() const
{
    std::lock_guard lock(m_mutex);
    return m_heard;
}

SimLineSetting SimulatedModule::ownSetting() const
{
    return ModuleSetting(m_behaviour.state().settingIndex);
}

SimLineSetting SimulatedModule::programSetting() const
{
    if (!m_master.isValid())
        return {};
    termios kernel{};
    ::tcgetattr(m_master.get(), &kernel);
    const int baud = baudOf(::cfgetospeed(&kernel));
    // The pty keeps the rate; parity and character size come from the report, unless
    // the report is stale (the rate was changed without it).
    const auto reported =
        SimLineSetting::fromModeString(QString::fromStdString(ptyline::readReport(m_device)));
    if (reported && reported->baud == baud)
        return *reported;
    return SimLineSetting{baud, 'n', 8, (kernel.c_cflag & CSTOPB) ? 2 : 1};
}

void SimulatedModule::record(const QString &event, const SimLineSetting &setting,
                             const QByteArray &bytes, qint64 atMicros)
{
    TraceEntry entry{atMicros >= 0 ? atMicros : MonotonicMicrosNow(),
                     QStringLiteral("COM%1").arg(m_config.portNumber), event, setting.modeString(),
                     bytes};
    if (m_traceLog)
        m_traceLog->writeLine(entry.line());
    m_trace.append(std::move(entry));
}

void SimulatedModule::run()
{
    // Wake-ups to the microsecond: a character at 115200 baud takes 95 us.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    while (!m_stopping) {
        // Read on every turn: the program may ask for low latency at any time.
        const qint64 tick = currentTickNs();
        qint64 deadline = -1;
        {
            std::lock_guard lock(m_mutex);
            m_tickNs = tick;
            deadline = nextDeadlineNs();
        }
        pollfd fds[2] = {{m_wake.get(), POLLIN, 0}, {m_master.get(), POLLIN, 0}};
        timespec timeout{};
        timespec *timeoutPtr = nullptr;
        if (deadline >= 0) {
            // The last stretch is spun rather than slept: a wake-up can come a tenth of
            // a millisecond late, longer than a character at 115200 baud.
            qint64 wait = std::max<qint64>(0, deadline - monotonicNs());
            if (wait < SpinNs)
                wait = 0;
            timeout = {time_t(wait / 1'000'000'000), long(wait % 1'000'000'000)};
            timeoutPtr = &timeout;
        }
        ::ppoll(fds, m_master.isValid() ? 2 : 1, timeoutPtr, nullptr);
        if (fds[0].revents & POLLIN) {
            quint64 count = 0;
            [[maybe_unused]] const auto n = ::read(m_wake.get(), &count, sizeof count);
        }

        std::lock_guard lock(m_mutex);
        if (m_hangUpRequested && !m_vanished)
            vanish();
        if (m_vanished)
            continue;
        const qint64 now = monotonicNs();
        if (fds[1].revents & POLLIN)
            receive(now);
        followSchedule(now);
        while (!m_requests.empty() && m_requests.front().heardAtNs <= now) {
            const Request request = m_requests.front();
            m_requests.pop_front();
            hear(request);
            if (m_vanished)
                break;
        }
        if (!m_vanished)
            transmitDue(monotonicNs());
    }
}

qint64 SimulatedModule::nextDeadlineNs() const
{
    qint64 deadline = -1;
    auto consider = [&](qint64 t) {
        if (t >= 0 && (deadline < 0 || t < deadline))
            deadline = t;
    };
    if (!m_requests.empty())
        consider(m_requests.front().heardAtNs);
    if (!m_output.empty())
        consider(releaseNs(m_output.front().atNs));
    if (m_babbleNextNs >= 0)
        consider(releaseNs(m_babbleNextNs));
    if (!m_schedule.isEmpty())
        consider(monotonicNs() + m_schedulePeriodNs / 4);
    return deadline;
}

void SimulatedModule::receive(qint64 nowNs)
{
    char buffer[512];
    const ssize_t n = ::read(m_master.get(), buffer, sizeof buffer);
    if (n <= 0)
        return;
    // The program's bytes cross the wire at the rate it set: each one has arrived
    // only a character time after the one before it.
    const SimLineSetting setting = programSetting();
    const qint64 characterNs = setting.characterTimeNs();
    if (m_received.size() < ReceivedBytesKept)
        m_received.append(buffer, n);
    for (ssize_t i = 0; i < n; ++i) {
        m_inLineFreeNs = std::max(nowNs, m_inLineFreeNs) + characterNs;
        if (m_config.echo) {
            // On a two-wire line the program's own receiver hears it as the module does.
            const OutByte echo{m_inLineFreeNs, buffer[i], false, true};
            const auto later =
                std::upper_bound(m_output.begin(), m_output.end(), echo.atNs,
                                 [](qint64 at, const OutByte &out) { return at < out.atNs; });
            m_output.insert(later, echo);
        }
        receiveByte(buffer[i], m_inLineFreeNs, setting);
    }
}

void SimulatedModule::receiveByte(char byte, qint64 arrivalNs, const SimLineSetting &setting)
{
    if (byte == Tab) {
        m_receiving = QByteArray(1, Tab);
        m_inFrame = true;
        return;
    }
    if (!m_inFrame)
        return; // noise between frames
    m_receiving.append(byte);
    if (byte == CarriageReturn) {
        m_requests.push_back(Request{m_receiving, arrivalNs, setting});
        m_inFrame = false;
    } else if (m_receiving.size() > LongestRequest) {
        m_inFrame = false;
    }
}

void SimulatedModule::hear(const Request &request)
{
    if (!(request.setting == ownSetting())) {
        // At another setting the module receives only garbled characters.
        record(QStringLiteral("rx-unheard"), request.setting, request.frame);
        return;
    }
    if (!checksumMatches(request.frame)) {
        record(QStringLiteral("rx-bad-checksum"), request.setting, request.frame);
        return;
    }
    const QByteArray command = request.frame.mid(1, request.frame.size() - 4);
    if (m_config.silent || m_away) {
        record(QStringLiteral("rx-ignored"), request.setting, request.frame);
        return;
    }
    const std::optional<Fault> fault = m_faults.take(command);
    if (fault && fault->kind == FaultKind::NoReply) {
        record(QStringLiteral("rx-ignored"), request.setting, request.frame);
        return;
    }
    record(QStringLiteral("rx"), request.setting, request.frame);
    m_heard.append(command);
    if (fault && fault->kind == FaultKind::HangUp) {
        vanish();
        return;
    }
    if (fault && fault->kind == FaultKind::Babble) {
        m_babbleNextNs = std::max(request.heardAtNs, m_outLineFreeNs);
        m_babbleUntilNs = fault->value > 0 ? m_babbleNextNs + qint64(fault->value) * 1'000'000 : 0;
        m_sending = "\n"; // a frame begins, and never ends
        return;
    }

    // A module that pretends answers as it would, and keeps its state as it was.
    ModuleBehaviour pretending = m_behaviour;
    const bool pretends = fault && fault->kind == FaultKind::Pretend;
    const ModuleResponse response = (pretends ? pretending : m_behaviour).handle(command);
    if (!response.body)
        return;
    if (!pretends)
        m_settingAfterReply = response.newSettingIndex;
    qint64 start = request.heardAtNs;
    if (fault && fault->kind == FaultKind::LateReply)
        start += qint64(fault->value) * 1'000'000;
    send(replyFrame(*response.body, fault), start);
    if (fault && fault->kind == FaultKind::Leave)
        m_away = true;
}

QByteArray SimulatedModule::replyFrame(const QByteArray &body,
                                       const std::optional<Fault> &fault) const
{
    if (!fault)
        return SimFrame::reply(body);
    QByteArray b = body;
    switch (fault->kind) {
    case FaultKind::BadChecksum: {
        const QByteArray head = '\n' + b;
        return head + SimFrame::checksumDigits(SimFrame::xorOf(head) ^ 0xFF) + '\r';
    }
    case FaultKind::LowercaseChecksum: {
        // Only a checksum with a letter in it can be written in lowercase; the first
        // body character is not read by the program, so choose it to get one.
        for (char c = '!'; c <= '~' && !b.isEmpty(); ++c) {
            b[0] = c;
            if (hasHexLetter(SimFrame::checksumDigits(SimFrame::xorOf('\n' + b))))
                break;
        }
        const QByteArray head = '\n' + b;
        return head + SimFrame::checksumDigits(SimFrame::xorOf(head), true) + '\r';
    }
    case FaultKind::WrongLength:
        if (fault->value > 0)
            b.append(QByteArray(fault->value, '0'));
        else
            b.chop(std::min<qsizetype>(-fault->value, b.size()));
        return SimFrame::reply(b);
    case FaultKind::StrayByte:
        return char(fault->value) + SimFrame::reply(b);
    case FaultKind::RawReply:
        return fault->raw;
    case FaultKind::ZeroByte:
        if (fault->value >= 2 && fault->value - 2 < b.size())
            b[fault->value - 2] = '\0';
        return SimFrame::reply(b);
    default:
        return SimFrame::reply(b);
    }
}

void SimulatedModule::send(const QByteArray &frame, qint64 startNs)
{
    // Each character is handed to the pty the moment its last bit would arrive.
    const qint64 characterNs = ownSetting().characterTimeNs();
    qint64 at = std::max(startNs, m_outLineFreeNs);
    for (qsizetype i = 0; i < frame.size(); ++i) {
        at += characterNs;
        m_output.push_back(OutByte{at, frame[i], i == frame.size() - 1});
    }
    m_outLineFreeNs = at;
}

qint64 SimulatedModule::currentTickNs() const
{
    if (m_config.latencyMs <= 0)
        return 0;
    // What an FTDI chip does with its latency timer set to 1.
    if (m_device != 0 && ptyline::readLowLatency(m_device))
        return 1'000'000;
    return qint64(m_config.latencyMs) * 1'000'000;
}

qint64 SimulatedModule::releaseNs(qint64 atNs) const
{
    if (m_tickNs <= 0)
        return atNs;
    return (atNs + m_tickNs - 1) / m_tickNs * m_tickNs;
}

void SimulatedModule::transmitDue(qint64 nowNs)
{
    while (!m_output.empty() && releaseNs(m_output.front().atNs) <= nowNs) {
        const OutByte out = m_output.front();
        m_output.pop_front();
        // Timed before the frame's last byte is out: the program may log its arrival at once.
        const qint64 sentAtMicros = out.endsFrame ? MonotonicMicrosNow() : -1;
        // A full pty (nobody reading) drops the byte, as a line would with no listener.
        [[maybe_unused]] const auto written = ::write(m_master.get(), &out.byte, 1);
        if (out.echo)
            continue;
        m_sending.append(out.byte);
        if (out.endsFrame) {
            record(QStringLiteral("tx"), ownSetting(), m_sending, sentAtMicros);
            m_sending.clear();
            // "B00E": the answer goes out at the old setting, then the module switches.
            if (m_settingAfterReply) {
                m_behaviour.state().settingIndex = *m_settingAfterReply;
                m_settingAfterReply.reset();
            }
        }
    }
    if (m_babbleNextNs >= 0) {
        const qint64 characterNs = ownSetting().characterTimeNs();
        while (releaseNs(m_babbleNextNs) <= nowNs) {
            if (m_babbleUntilNs > 0 && m_babbleNextNs >= m_babbleUntilNs) {
                record(QStringLiteral("tx"), ownSetting(), m_sending);
                m_sending.clear();
                m_babbleNextNs = -1;
                break;
            }
            const char byte = m_sending.isEmpty() ? '\n' : 'x';
            [[maybe_unused]] const auto written = ::write(m_master.get(), &byte, 1);
            if (m_sending.size() < 64)
                m_sending.append(byte);
            m_babbleNextNs += characterNs;
            m_outLineFreeNs = m_babbleNextNs;
        }
    }
}

void SimulatedModule::followSchedule(qint64 nowNs)
{
    if (m_schedule.isEmpty())
        return;
    const qint64 step = (nowNs - m_scheduleStartNs) / m_schedulePeriodNs;
    m_behaviour.state().contacts = m_schedule.at(step % m_schedule.size());
}

void SimulatedModule::vanish()
{
    record(QStringLiteral("hang-up"), ownSetting(), {});
    m_vanished = true;
    m_output.clear();
    m_requests.clear();
    m_babbleNextNs = -1;
    closeDevice();
}
