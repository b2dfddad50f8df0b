#include "port_access.h"

#include "frame_trace.h"
#include "mode_string.h"
#include "port_diagnosis.h"
#include "port_system.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QSerialPort>

Q_LOGGING_CATEGORY(lcLink, "tx4040.link", QtWarningMsg)

namespace {

// Writes have no time-out of their own: without flow control a UART always drains.
// This bound on handing the bytes over and seeing them leave only keeps a wedged
// driver from freezing the window.
constexpr int WriteDrainBoundMs = 2000;

} // namespace

PortAccess::PortAccess(PortMap map, LinkServices services)
    : m_map(std::move(map)), m_services(std::move(services))
{}

PortAccess::~PortAccess()
{
    if (IsOpen())
        ClosePort();
}

bool PortAccess::OpenPort(int portNumber, const QString &modeString)
{
    if (IsOpen())
        ClosePort();
    m_lastOpenFailure.clear();
    m_lastOpenFoundNothing = false;
    m_linkFailure.clear();
    m_settingRefused = false;
    m_lost = false;
    if (isTraced()) {
        m_traceName = QStringLiteral("COM%1").arg(portNumber);
        m_traceMode = modeString;
    }

    const QString device = m_map.devicePath(portNumber);
    if (device.isEmpty())
        return openFailed(portNumber, device, QStringLiteral("no serial device by that number"));
    m_portName = QStringLiteral("COM%1 (%2)").arg(portNumber).arg(device);

    // The lock comes first, on the first descriptor: a port another program holds is
    // never reconfigured under it. The same descriptor reads the settings found, which
    // are what a refused mode string leaves the port at, since QSerialPort applies its
    // own as it opens and cannot report the ones it found.
    QString reason;
    m_lock = OpenLocked(device, reason);
    if (!m_lock.isValid())
        return openFailed(portNumber, device, reason);
    std::unique_ptr<FoundLine> found = FoundLine::read(m_lock.get());
    if (!found) {
        m_lock.reset();
        return openFailed(portNumber, device, QStringLiteral("not a terminal"));
    }

    auto port = std::make_unique<QSerialPort>();
    port->setPortName(device);
    if (!port->open(QIODevice::ReadWrite)) {
        m_lock.reset();
        return openFailed(portNumber, device, port->errorString());
    }

    m_port = std::move(port);
    m_foundSettings = std::move(found);
    m_devicePath = device;
    ++m_successfulOpens;
    traceEvent(QStringLiteral("open"));
    askLowLatency();
    applyModeString(modeString);
    return true;
}

void PortAccess::askLowLatency()
{
    // Without it an FTDI-type adapter holds every short reply for its latency timer.
    if (m_lowLatency.request(int(m_port->handle())))
        traceEvent(QStringLiteral("low-latency"), {}, QStringLiteral("on"));
    else
        traceEvent(QStringLiteral("low-latency"), {},
                   QStringLiteral("refused: ") + m_lowLatency.refusal());
}

bool PortAccess::openFailed(int portNumber, const QString &device, const QString &reason)
{
    const PortDiagnosis diagnosis = DiagnosePort(m_map, portNumber);
    const bool explained = diagnosis.state != PortDiagnosis::State::Ok &&
                           diagnosis.state != PortDiagnosis::State::Missing;
    const QString where = device.isEmpty() ? diagnosis.device : device;
    m_lastOpenFailure =
        (where.isEmpty() ? QStringLiteral("COM%1: ").arg(portNumber)
                         : QStringLiteral("COM%1 (%2): ").arg(portNumber).arg(where)) +
        (explained ? diagnosis.text() : reason);
    // A number that names nothing is the search's daily bread; anything else the user
    // should hear of.
    m_lastOpenFoundNothing = diagnosis.state == PortDiagnosis::State::Missing;
    if (m_lastOpenFoundNothing)
        qCInfo(lcLink, "%s", qPrintable(m_lastOpenFailure));
    else
        qCWarning(lcLink, "%s", qPrintable(m_lastOpenFailure));
    traceEvent(QStringLiteral("open-failed"), {}, m_lastOpenFailure);
    return false;
}

void PortAccess::applyModeString(const QString &modeString)
{
    const auto settings = ParseModeString(modeString);
    const bool applied = settings && m_port->setBaudRate(settings->baudRate) &&
                         m_port->setDataBits(settings->dataBits) &&
                         m_port->setParity(settings->parity) &&
                         m_port->setStopBits(settings->stopBits) &&
                         m_port->setFlowControl(QSerialPort::NoFlowControl);
    // Only the line itself goes back (rate, framing, flow control); the raw mode that
    // QSerialPort set for reading stays.
    if (!applied)
        m_foundSettings->restoreLine(int(m_port->handle()));
    m_port->clearError();
    if (!settings)
        return;
    // Read back: some drivers take any setting without a word and keep their own.
    const QString notTaken = SettingNotTaken(int(m_port->handle()), *settings);
    if (notTaken.isEmpty())
        return;
    m_settingRefused = true;
    m_linkFailure = m_portName + QStringLiteral(": ") + notTaken;
    qCWarning(lcLink, "%s", qPrintable(m_linkFailure));
    traceEvent(QStringLiteral("setting-refused"), {}, notTaken);
}

void PortAccess::ClosePort()
{
    if (!m_port)
        return;
    // Whatever is still queued goes: a close would otherwise wait for a stuck line to
    // drain, up to the driver's closing wait of 30 s.
    m_port->clear(QSerialPort::Output);
    m_lowLatency.restore(int(m_port->handle()));
    // QSerialPort puts back the settings it found at open as it closes.
    m_port->close();
    m_port.reset();
    m_lock.reset();
    m_foundSettings.reset();
    traceEvent(QStringLiteral("close"));
}

bool PortAccess::IsOpen() const
{
    return m_port != nullptr;
}

void PortAccess::writeOut(const char *bytes, int count)
{
    if (!m_port)
        return;
    if (deviceLost()) {
        noticeLost();
        return;
    }
    const QDeadlineTimer deadline(WriteDrainBoundMs);
    m_port->write(bytes, count);
    // QSerialPort::write() only fills a buffer: hand the bytes to the driver, then
    // wait until they have left the port, so that the pause after a write, and the
    // reply wait after the last one, begin when the line is quiet again.
    m_port->flush();
    while (m_port->bytesToWrite() > 0 && !deadline.hasExpired() &&
           m_port->waitForBytesWritten(int(deadline.remainingTime()))) {
    }
    if (m_port->bytesToWrite() == 0)
        DrainLine(int(m_port->handle()), m_port->baudRate(), deadline);
}

void PortAccess::WriteByte(quint8 byte)
{
    writeOut(reinterpret_cast<const char *>(&byte), 1);
    m_services.sleepMs(1);
}

void PortAccess::WriteBlock(const char *bytes, int count)
{
    writeOut(bytes, count);
    m_services.sleepMs(5);
}

void PortAccess::DiscardInput()
{
    // Both what the driver holds and what QSerialPort has read ahead into its buffer.
    if (m_port)
        m_port->clear(QSerialPort::Input);
}

PortAccess::ReadResult PortAccess::ReadByte(quint8 &byte)
{
    if (!m_port)
        return ReadResult::Lost;
    if (deviceLost()) {
        noticeLost();
        return ReadResult::Lost;
    }
    if (m_port->bytesAvailable() == 0) {
        // Waited on here rather than in QSerialPort, which takes a hang-up for an idle
        // line and would spin through the millisecond.
        const LineWait waited = WaitForInput(int(m_port->handle()), 1);
        if (waited == LineWait::HungUp) {
            noticeLost();
            return ReadResult::Lost;
        }
        if (waited == LineWait::Readable)
            m_port->waitForReadyRead(0);
    }
    char c = 0;
    if (m_port->getChar(&c)) {
        byte = static_cast<quint8>(c);
        return ReadResult::Byte;
    }
    if (m_port->error() == QSerialPort::TimeoutError)
        m_port->clearError();
    if (deviceLost()) {
        noticeLost();
        return ReadResult::Lost;
    }
    return ReadResult::Idle;
}

void PortAccess::noticeLost()
{
    if (m_lost)
        return;
    m_lost = true;
    m_linkFailure = m_portName + QStringLiteral(" went away");
    qCWarning(lcLink, "%s", qPrintable(m_linkFailure));
    traceEvent(QStringLiteral("lost"));
}

void PortAccess::traceEvent(const QString &event, const QByteArray &bytes,
                            const QString &detail) const
{
    if (m_services.trace)
        m_services.trace->record(m_traceName, m_traceMode, event, bytes, detail);
}

bool PortAccess::deviceLost() const
{
    // A USB adapter pulled out, or a pseudo-terminal whose other side has gone: reads
    // find the end of the file and writes fail, and that does not pass.
    switch (m_port->error()) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        return true;
    default:
        return !m_port->isOpen();
    }
}

void PortAccess::WaitMs(int milliseconds)
{
    if (milliseconds <= 0)
        return;
    const quint32 start = m_services.clockMs();
    while (ElapsedMs(start, m_services.clockMs()) < static_cast<quint32>(milliseconds)) {
    }
}
