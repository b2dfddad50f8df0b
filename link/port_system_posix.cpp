// The link's system calls on Linux and the other Unixes (port_system.h).

#include "port_system.h"

#include "system_roots.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#endif

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool statOf(const QString &path, struct stat &status)
{
    return ::stat(QFile::encodeName(path).constData(), &status) == 0;
}

QByteArray fileText(const QString &path)
{
    QFile file(path);
    // These files are small; the bound only guards against a strange one.
    return file.open(QIODevice::ReadOnly) ? file.read(64 * 1024) : QByteArray();
}

// Unix98 pseudo-terminal slaves.
bool isPseudoTerminalMajor(unsigned int major)
{
    return major >= 136 && major <= 143;
}

bool isRunning(qint64 pid)
{
    return pid > 0 && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

// The longest a character can take on the line: a start bit, 8 data bits, parity
// and two stop bits.
constexpr int LongestCharacterBits = 12;

// The speed codes of the rates the program offers; a rate outside them goes through
// another interface and is not checked here.
speed_t speedCodeOf(qint32 baudRate)
{
    switch (baudRate) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

tcflag_t parityFlagsOf(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::EvenParity:
        return PARENB;
    case QSerialPort::OddParity:
        return PARENB | PARODD;
    case QSerialPort::SpaceParity:
        return PARENB | CMSPAR;
    case QSerialPort::MarkParity:
        return PARENB | PARODD | CMSPAR;
    default:
        return 0;
    }
}

QString parityName(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::EvenParity:
        return QStringLiteral("even parity");
    case QSerialPort::OddParity:
        return QStringLiteral("odd parity");
    case QSerialPort::SpaceParity:
        return QStringLiteral("space parity");
    case QSerialPort::MarkParity:
        return QStringLiteral("mark parity");
    default:
        return QStringLiteral("no parity");
    }
}

tcflag_t sizeFlagOf(QSerialPort::DataBits bits)
{
    switch (bits) {
    case QSerialPort::Data5:
        return CS5;
    case QSerialPort::Data6:
        return CS6;
    case QSerialPort::Data7:
        return CS7;
    default:
        return CS8;
    }
}

bool processHasGroup(gid_t group)
{
    if (::getegid() == group)
        return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return false;
    QList<gid_t> groups(count);
    const int got = ::getgroups(count, groups.data());
    return got > 0 && groups.mid(0, got).contains(group);
}

QString groupName(gid_t group)
{
    const struct group *entry = ::getgrgid(group);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(group);
}

// The names of a serial-port lock file for a device: Qt's, the path below /dev with "/"
// as "_" ("LCK..pts_3"), and the UUCP name for a device directly in /dev
// ("LCK..ttyUSB0").
QStringList lockFileNames(const QString &device)
{
    QString belowDev = device;
    if (belowDev.startsWith(QStringLiteral("/dev/")))
        belowDev.remove(0, 5);
    const QString name = QStringLiteral("LCK..") + belowDev.replace(u'/', u'_');
    const QString uucpName = QStringLiteral("LCK..") + QFileInfo(device).fileName();
    return name == uucpName ? QStringList{name} : QStringList{name, uucpName};
}

} // namespace

// --- A port the link holds

UniqueFd OpenLocked(const QString &device, QString &reason)
{
    UniqueFd fd(
        ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.isValid()) {
        reason = systemError();
        return fd;
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        reason = errno == EWOULDBLOCK ? QStringLiteral("busy: another program holds its lock")
                                      : systemError();
        fd.reset();
    }
    return fd;
}

struct FoundLine::Settings
{
    termios found{};
};

FoundLine::FoundLine(std::unique_ptr<Settings> settings) : m_settings(std::move(settings)) {}

FoundLine::~FoundLine() = default;

std::unique_ptr<FoundLine> FoundLine::read(int descriptor)
{
    auto settings = std::make_unique<Settings>();
    if (!::isatty(descriptor) || ::tcgetattr(descriptor, &settings->found) != 0)
        return nullptr;
    return std::unique_ptr<FoundLine>(new FoundLine(std::move(settings)));
}

void FoundLine::restoreLine(int descriptor) const
{
    termios current{};
    if (::tcgetattr(descriptor, &current) != 0)
        return;
    const termios &found = m_settings->found;
    const tcflag_t lineFlags = CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CMSPAR;
    current.c_cflag = (current.c_cflag & ~lineFlags) | (found.c_cflag & lineFlags);
    const tcflag_t softwareFlow = IXON | IXOFF | IXANY;
    current.c_iflag = (current.c_iflag & ~softwareFlow) | (found.c_iflag & softwareFlow);
    ::cfsetispeed(&current, ::cfgetispeed(&found));
    ::cfsetospeed(&current, ::cfgetospeed(&found));
    ::tcsetattr(descriptor, TCSANOW, &current);
}

QString SettingNotTaken(int descriptor, const LineSettings &wanted)
{
    termios now{};
    if (::tcgetattr(descriptor, &now) != 0)
        return QStringLiteral("the driver did not report the line setting back");
    QStringList missed;
    const speed_t speed = speedCodeOf(wanted.baudRate);
    if (speed != B0 && ::cfgetospeed(&now) != speed)
        missed << QStringLiteral("%1 baud").arg(wanted.baudRate);
    if ((now.c_cflag & (PARENB | PARODD | CMSPAR)) != parityFlagsOf(wanted.parity))
        missed << parityName(wanted.parity);
    if ((now.c_cflag & CSIZE) != sizeFlagOf(wanted.dataBits))
        missed << QStringLiteral("%1 data bits").arg(int(wanted.dataBits));
    if (wanted.stopBits != QSerialPort::OneAndHalfStop &&
        bool(now.c_cflag & CSTOPB) != (wanted.stopBits == QSerialPort::TwoStop))
        missed
            << QStringLiteral("%1 stop bits").arg(wanted.stopBits == QSerialPort::TwoStop ? 2 : 1);
    if (missed.isEmpty())
        return {};
    return QStringLiteral("the driver did not accept ") + missed.join(QStringLiteral(", "));
}

bool DrainLine(int descriptor, qint32 baudRate, QDeadlineTimer deadline)
{
    // tcdrain() has no time limit of its own. The driver's queue is watched against
    // the deadline first, so that a wedged driver cannot hold the window; once it is
    // empty only the UART's own FIFO is left, which without flow control always
    // empties at the line's rate, and tcdrain() waits for that.
    const qint64 characterUs = 1'000'000LL * LongestCharacterBits / std::max(baudRate, 1);
    for (;;) {
        int queued = 0;
        if (::ioctl(descriptor, TIOCOUTQ, &queued) != 0 || queued <= 0)
            break;
        if (deadline.hasExpired())
            return false;
        const qint64 remainingUs = deadline.remainingTime() * 1000LL;
        std::this_thread::sleep_for(std::chrono::microseconds(
            std::clamp<qint64>(queued * characterUs, 100, std::max<qint64>(remainingUs, 100))));
    }
    while (::tcdrain(descriptor) != 0) {
        if (errno != EINTR || deadline.hasExpired())
            return false;
    }
    return true;
}

LineWait WaitForInput(int descriptor, int milliseconds)
{
    pollfd line{descriptor, POLLIN, 0};
    const int ready = ::poll(&line, 1, milliseconds);
    if (ready > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return LineWait::HungUp;
    return ready > 0 ? LineWait::Readable : LineWait::Idle;
}

bool LowLatency::request(int descriptor)
{
    m_changed = false;
    m_refusal.clear();
#ifdef Q_OS_LINUX
    serial_struct serial{};
    if (::ioctl(descriptor, TIOCGSERIAL, &serial) != 0) {
        m_refusal = systemError();
        return false;
    }
    if (serial.flags & ASYNC_LOW_LATENCY)
        return true;
    m_foundFlags = serial.flags;
    serial.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(descriptor, TIOCSSERIAL, &serial) != 0) {
        m_refusal = systemError();
        return false;
    }
    m_changed = true;
    return true;
#else
    Q_UNUSED(descriptor);
    m_refusal = QStringLiteral("not on this system");
    return false;
#endif
}

void LowLatency::restore(int descriptor)
{
#ifdef Q_OS_LINUX
    if (!m_changed)
        return;
    m_changed = false;
    serial_struct serial{};
    if (::ioctl(descriptor, TIOCGSERIAL, &serial) != 0)
        return;
    serial.flags = m_foundFlags;
    ::ioctl(descriptor, TIOCSSERIAL, &serial);
#else
    Q_UNUSED(descriptor);
#endif
}

QString LatencyTimerPath(const QString &device)
{
    return SysfsRoot() + QStringLiteral("/class/tty/") + QFileInfo(device).fileName() +
           QStringLiteral("/device/latency_timer");
}

int LatencyTimerMs(const QString &device)
{
    QFile timer(LatencyTimerPath(device));
    if (!timer.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const int ms = timer.readLine(32).trimmed().toInt(&ok);
    return ok ? ms : -1;
}

// --- What a device is

bool IsPseudoTerminal(const QString &path)
{
    struct stat st
    {
    };
    return statOf(path, st) && S_ISCHR(st.st_mode) && isPseudoTerminalMajor(::major(st.st_rdev));
}

bool IsTerminalDevice(const QString &path)
{
    struct stat st
    {
    };
    if (!statOf(path, st) || !S_ISCHR(st.st_mode))
        return false;
    const unsigned int major = ::major(st.st_rdev);
    // Unix98 pseudo-terminal slaves have no sysfs entry.
    if (isPseudoTerminalMajor(major))
        return true;
    const QString subsystem =
        QFileInfo(
            QStringLiteral("/sys/dev/char/%1:%2/subsystem").arg(major).arg(::minor(st.st_rdev)))
            .canonicalFilePath();
    return subsystem.endsWith(QStringLiteral("/tty"));
}

bool HasConsoleNumber(const QString &path)
{
    struct stat st
    {
    };
    if (!statOf(path, st) || !S_ISCHR(st.st_mode))
        return false;
    // Major 5: /dev/tty, /dev/console, /dev/ptmx; major 4 below 64: the virtual consoles.
    const unsigned int major = ::major(st.st_rdev);
    return major == 5 || (major == 4 && ::minor(st.st_rdev) < 64);
}

QByteArray ProcConsolesText()
{
    return fileText(QStringLiteral("/proc/consoles"));
}

QByteArray ActiveConsolesText()
{
    return fileText(QStringLiteral("/sys/class/tty/console/active"));
}

namespace {

// A short sysfs attribute, without its line end; empty where there is none.
QString firstLineOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readLine(256)).trimmed();
}

} // namespace

UsbAdapter UsbAdapterOf(const QString &device)
{
    UsbAdapter adapter;
    const QString top = QFileInfo(SysfsRoot()).canonicalFilePath();
    QString folder = QFileInfo(SysfsRoot() + QStringLiteral("/class/tty/") +
                               QFileInfo(device).fileName() + QStringLiteral("/device"))
                         .canonicalFilePath();
    // The tty hangs on a USB interface, which hangs on the USB device; the walk ends at
    // the top of sysfs, which no device is above.
    while (!folder.isEmpty() && folder != top && folder != u"/") {
        if (QFileInfo::exists(folder + QStringLiteral("/idVendor"))) {
            adapter.isUsb = true;
            adapter.serialNumber = firstLineOf(folder + QStringLiteral("/serial"));
            adapter.usbId = firstLineOf(folder + QStringLiteral("/idVendor")) + u':' +
                            firstLineOf(folder + QStringLiteral("/idProduct"));
            return adapter;
        }
        folder = QFileInfo(folder).path();
    }
    return adapter;
}

// --- Who may open a device, and who holds it

DeviceAccess AccessOf(const QString &device)
{
    DeviceAccess access;
    const QByteArray path = QFile::encodeName(device);
    if (::access(path.constData(), R_OK | W_OK) == 0 || (errno != EACCES && errno != EPERM))
        return access;
    access.denied = true;
    struct stat st
    {
    };
    if (::stat(path.constData(), &st) == 0) {
        access.group = groupName(st.st_gid);
        access.inGroup = processHasGroup(st.st_gid);
    }
    return access;
}

qint64 LockFileHolder(const QString &device)
{
    // The folders where serial programs keep them, Qt's own list among them. The first
    // line holds the PID.
    const QStringList folders{QStringLiteral("/var/lock"),
                              QStringLiteral("/etc/locks"),
                              QStringLiteral("/var/spool/locks"),
                              QStringLiteral("/var/spool/uucp"),
                              QStringLiteral("/tmp"),
                              QStringLiteral("/var/tmp"),
                              QStringLiteral("/var/lock/lockdev"),
                              QStringLiteral("/run/lock"),
                              QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    for (const QString &folder : folders) {
        for (const QString &name : lockFileNames(device)) {
            QFile lock(folder + u'/' + name);
            if (!lock.open(QIODevice::ReadOnly))
                continue;
            bool ok = false;
            const qint64 pid = QString::fromLatin1(lock.readLine(64)).trimmed().toLongLong(&ok);
            if (ok && pid != QCoreApplication::applicationPid() && isRunning(pid))
                return pid;
        }
    }
    return 0;
}

qint64 FlockHolderIn(const QByteArray &procLocks, quint64 fileSystem, quint64 inode, qint64 self)
{
    for (const QByteArray &line : procLocks.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields.at(1) != "FLOCK")
            continue;
        const QList<QByteArray> file = fields.at(5).split(':');
        if (file.size() != 3)
            continue;
        bool ok[4] = {};
        const quint64 major = file.at(0).toULongLong(&ok[0], 16);
        const quint64 minor = file.at(1).toULongLong(&ok[1], 16);
        const quint64 fileInode = file.at(2).toULongLong(&ok[2]);
        const qint64 pid = fields.at(4).toLongLong(&ok[3]);
        if (ok[0] && ok[1] && ok[2] && ok[3] && pid > 0 && pid != self &&
            ::makedev(major, minor) == fileSystem && fileInode == inode)
            return pid;
    }
    return 0;
}

qint64 FlockHolder(const QString &device)
{
    struct stat st
    {
    };
    if (!statOf(device, st))
        return 0;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return 0;
    const qint64 pid = FlockHolderIn(locks.read(1024 * 1024), st.st_dev, st.st_ino,
                                     QCoreApplication::applicationPid());
    return isRunning(pid) ? pid : 0;
}

qint64 OpenedBy(const QString &device)
{
    return OpenedByIn(QStringLiteral("/proc"), device, QCoreApplication::applicationPid());
}

qint64 OpenedByIn(const QString &procRoot, const QString &device, qint64 self)
{
    const QStringList processes = QDir(procRoot).entryList(QDir::Dirs);
    for (const QString &entry : processes) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || pid == self)
            continue;
        const QDir fds(procRoot + QStringLiteral("/%1/fd").arg(pid));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() == device)
                return pid;
        }
    }
    return 0;
}

QString ProcessName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readLine(256)).trimmed();
}

QByteArray ProcessStartTime(qint64 pid)
{
    // Field 22 of /proc/<pid>/stat: the start time in clock ticks since boot.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    // The command name in parentheses may hold blanks; the fields after it do not.
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return {};
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    return fields.size() > 19 ? fields.at(19) : QByteArray();
}

bool ProcessIsGone(qint64 pid, const QByteArray &startTime)
{
    if (pid <= 0)
        return true;
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return true;
    return !startTime.isEmpty() && ProcessStartTime(pid) != startTime;
}
