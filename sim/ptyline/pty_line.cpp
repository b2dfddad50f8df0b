// Lets a program drive a pseudo-terminal as it would a real serial port. Linked
// into the test executables and preloaded for the program in demos; never part of
// the program itself.
//
// It stands in front of tcsetattr() and tcgetattr() for pty slaves only:
// - it remembers the parity and character size that were asked for and reports
//   them back to tcgetattr(), as a real port would;
// - it hides the one EINVAL that glibc returns when a change only touches the
//   parity or character size, which the pty driver cannot hold;
// - it reports the requested line setting to the simulated module (line_report.h);
// - it gives the line a wire time: a pty takes written bytes at once, while a real
//   port sends one character after another at its baud rate. write() books the
//   characters on the line and tcdrain() returns when the last would have left it,
//   so a program that waits for its writes sees a real port's timing.
//
// And it plays the driver of the adapter that the module's line file names:
// - with a latency timer (an FTDI-type adapter), ioctl() answers TIOCGSERIAL and
//   TIOCSSERIAL as that driver does, and reports ASYNC_LOW_LATENCY to the module,
//   which then hands over its bytes at 1 ms ticks instead of the timer's;
// - a driver that refuses low latency fails TIOCSSERIAL with EINVAL;
// - a driver that ignores parity takes a setting with parity without a word, and
//   reads back without it.

#include "line_report.h"

#include <dlfcn.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <mutex>
#include <unistd.h>

namespace {

constexpr tcflag_t DroppedByPty = CSIZE | PARENB;

using TcSetAttr = int (*)(int, int, const termios *);
using TcGetAttr = int (*)(int, termios *);
using TcDrain = int (*)(int);
using Write = ssize_t (*)(int, const void *, size_t);
using Ioctl = int (*)(int, unsigned long, ...);

template <typename Fn> Fn next(const char *name)
{
    return reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, name));
}

TcSetAttr realTcSetAttr()
{
    static const auto fn = reinterpret_cast<TcSetAttr>(::dlsym(RTLD_NEXT, "tcsetattr"));
    return fn;
}

TcGetAttr realTcGetAttr()
{
    static const auto fn = reinterpret_cast<TcGetAttr>(::dlsym(RTLD_NEXT, "tcgetattr"));
    return fn;
}

TcDrain realTcDrain()
{
    static const auto fn = next<TcDrain>("tcdrain");
    return fn;
}

Write realWrite()
{
    static const auto fn = next<Write>("write");
    return fn;
}

Ioctl realIoctl()
{
    static const auto fn = next<Ioctl>("ioctl");
    return fn;
}

struct Requested
{
    dev_t device = 0;
    tcflag_t bits = 0;
    // When the last character written so far will have left the line.
    long long lineFreeNs = 0;
    // The driver's flags (TIOCSSERIAL) but ASYNC_LOW_LATENCY, which lives in the line
    // file: it outlives this process, as an FTDI driver's flag outlives a close, and
    // starts clear for each new module, whatever pty number it gets.
    int serialFlags = 0;
};

std::mutex requestedMutex;
Requested requested[64];

bool ptySlaveOf(int fd, dev_t &device)
{
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !ptyline::isPtySlave(st.st_rdev))
        return false;
    device = st.st_rdev;
    return true;
}

bool recall(dev_t device, tcflag_t &bits)
{
    std::lock_guard lock(requestedMutex);
    for (const Requested &r : requested) {
        if (r.device == device) {
            bits = r.bits;
            return true;
        }
    }
    return false;
}

// The caller holds requestedMutex.
Requested &slotFor(dev_t device)
{
    Requested *slot = nullptr;
    for (Requested &r : requested) {
        if (r.device == device)
            return r;
        if (!slot && r.device == 0)
            slot = &r;
    }
    if (!slot)
        slot = &requested[0];
    *slot = Requested{device};
    return *slot;
}

void remember(dev_t device, tcflag_t bits)
{
    std::lock_guard lock(requestedMutex);
    slotFor(device).bits = bits;
}

long baudOf(speed_t speed)
{
    static const struct
    {
        speed_t code;
        long baud;
    } rates[] = {{B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},
                 {B150, 150},       {B200, 200},       {B300, 300},       {B600, 600},
                 {B1200, 1200},     {B1800, 1800},     {B2400, 2400},     {B4800, 4800},
                 {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
                 {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    for (const auto &r : rates) {
        if (r.code == speed)
            return r.baud;
    }
    return 0;
}

std::string modeStringOf(const termios &t)
{
    char parity = 'n';
    if (t.c_cflag & PARENB) {
        if (t.c_cflag & CMSPAR)
            parity = (t.c_cflag & PARODD) ? 'm' : 's';
        else
            parity = (t.c_cflag & PARODD) ? 'o' : 'e';
    }
    int dataBits = 8;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        dataBits = 5;
        break;
    case CS6:
        dataBits = 6;
        break;
    case CS7:
        dataBits = 7;
        break;
    default:
        break;
    }
    return std::to_string(baudOf(::cfgetospeed(&t))) + "," + parity + "," +
           std::to_string(dataBits) + "," + ((t.c_cflag & CSTOPB) ? "2" : "1");
}

long long monotonicNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

// The time one character takes at the setting asked for: a start bit, the data bits,
// the parity bit if any, and the stop bits.
long long characterNs(int fd, dev_t device)
{
    termios t{};
    if (realTcGetAttr()(fd, &t) != 0)
        return 0;
    tcflag_t bits = 0;
    if (recall(device, bits))
        t.c_cflag = (t.c_cflag & ~DroppedByPty) | bits;
    const long baud = baudOf(::cfgetospeed(&t));
    if (baud <= 0)
        return 0;
    int frameBits = 1 + 8 + ((t.c_cflag & CSTOPB) ? 2 : 1) + ((t.c_cflag & PARENB) ? 1 : 0);
    switch (t.c_cflag & CSIZE) {
    case CS5:
        frameBits -= 3;
        break;
    case CS6:
        frameBits -= 2;
        break;
    case CS7:
        frameBits -= 1;
        break;
    default:
        break;
    }
    return frameBits * 1'000'000'000LL / baud;
}

Requested *slotOf(dev_t device)
{
    for (Requested &r : requested) {
        if (r.device == device)
            return &r;
    }
    return nullptr;
}

// The characters go out one after another once the line is free.
void bookOnTheLine(int fd, dev_t device, long long count)
{
    const long long perCharacter = characterNs(fd, device);
    std::lock_guard lock(requestedMutex);
    Requested *slot = slotOf(device);
    if (!slot)
        return; // never set up: not a port anyone drives as a serial line
    slot->lineFreeNs = std::max(slot->lineFreeNs, monotonicNs()) + count * perCharacter;
}

long long lineFreeNs(dev_t device)
{
    std::lock_guard lock(requestedMutex);
    const Requested *slot = slotOf(device);
    return slot ? slot->lineFreeNs : 0;
}

// True when the pty holds everything that was asked of it except what it cannot.
bool heldAllButDropped(int fd, const termios &wanted)
{
    termios now{};
    if (realTcGetAttr()(fd, &now) != 0)
        return false;
    return ((now.c_cflag ^ wanted.c_cflag) & ~(DroppedByPty | CREAD)) == 0 &&
           now.c_iflag == wanted.c_iflag && now.c_oflag == wanted.c_oflag &&
           now.c_lflag == wanted.c_lflag && ::cfgetospeed(&now) == ::cfgetospeed(&wanted);
}

} // namespace

extern "C" {

int tcsetattr(int fd, int optionalActions, const termios *settings) noexcept
{
    dev_t device = 0;
    if (!settings || !ptySlaveOf(fd, device))
        return realTcSetAttr()(fd, optionalActions, settings);

    const int savedErrno = errno;
    int result = realTcSetAttr()(fd, optionalActions, settings);
    if (result != 0 && errno == EINVAL && heldAllButDropped(fd, *settings)) {
        errno = savedErrno;
        result = 0;
    }
    if (result == 0) {
        termios taken = *settings;
        // A driver that ignores parity says nothing: only reading the setting back shows it.
        if ((taken.c_cflag & PARENB) && ptyline::readAdapter(device).refusesParity)
            taken.c_cflag &= ~PARENB;
        remember(device, taken.c_cflag & DroppedByPty);
        ptyline::writeReport(device, modeStringOf(taken));
    }
    return result;
}

int tcgetattr(int fd, termios *settings) noexcept
{
    const int result = realTcGetAttr()(fd, settings);
    dev_t device = 0;
    tcflag_t bits = 0;
    if (result == 0 && ptySlaveOf(fd, device) && recall(device, bits))
        settings->c_cflag = (settings->c_cflag & ~DroppedByPty) | bits;
    return result;
}

ssize_t write(int fd, const void *buffer, size_t count)
{
    const ssize_t written = realWrite()(fd, buffer, count);
    dev_t device = 0;
    if (written > 0 && ptySlaveOf(fd, device))
        bookOnTheLine(fd, device, written);
    return written;
}

int tcdrain(int fd)
{
    const int result = realTcDrain()(fd);
    dev_t device = 0;
    if (result != 0 || !ptySlaveOf(fd, device))
        return result;
    // Slept until shortly before the line is free, then spun: a wake-up may come a
    // tenth of a millisecond late, which a real port's drain does not add.
    const long long freeNs = lineFreeNs(device);
    const long long wakeNs = freeNs - 150'000;
    const timespec until{time_t(wakeNs / 1'000'000'000), long(wakeNs % 1'000'000'000)};
    while (wakeNs > monotonicNs() &&
           ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
    while (monotonicNs() < freeNs) {
    }
    return 0;
}

int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);

    dev_t device = 0;
    if ((request != TIOCGSERIAL && request != TIOCSSERIAL) || !ptySlaveOf(fd, device))
        return realIoctl()(fd, request, argument);
    const ptyline::Adapter adapter = ptyline::readAdapter(device);
    if (adapter.latencyMs <= 0)
        return realIoctl()(fd, request, argument); // a plain pty: ENOTTY, as many drivers
    if (!argument) {
        errno = EFAULT;
        return -1;
    }
    auto *serial = static_cast<serial_struct *>(argument);

    if (request == TIOCSSERIAL) {
        if (adapter.refusesLowLatency) {
            errno = EINVAL;
            return -1;
        }
        {
            std::lock_guard lock(requestedMutex);
            slotFor(device).serialFlags = serial->flags & ~ASYNC_LOW_LATENCY;
        }
        ptyline::writeLowLatency(device, serial->flags & ASYNC_LOW_LATENCY);
        return 0;
    }

    int flags = 0;
    {
        std::lock_guard lock(requestedMutex);
        flags = slotFor(device).serialFlags;
    }
    if (ptyline::readLowLatency(device))
        flags |= ASYNC_LOW_LATENCY;
    // What ftdi_sio and the USB serial core answer for an FT232R.
    *serial = serial_struct{};
    serial->line = int(minor(device));
    serial->flags = flags;
    serial->baud_base = 48'000'000 / 2;
    serial->close_delay = 50;    // centiseconds: the tty layer's half second
    serial->closing_wait = 3000; // centiseconds: 30 s
    return 0;
}

// Lets a test check that these functions, not libc's, are the ones in use.
int tx4040_ptyline_interposed() noexcept
{
    return ::dlsym(RTLD_DEFAULT, "tcsetattr") == reinterpret_cast<void *>(&tcsetattr);
}

} // extern "C"
