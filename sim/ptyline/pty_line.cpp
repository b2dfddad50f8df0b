// Lets a program drive a pseudo-terminal as it would a real serial port. Linked
// into the test executables and preloaded for the program in demos; never part of
// the program itself.
//
// It stands in front of tcsetattr() and tcgetattr() for pty slaves only:
// - it remembers the parity and character size that were asked for and reports
//   them back to tcgetattr(), as a real port would;
// - it hides the one EINVAL that glibc returns when a change only touches the
//   parity or character size, which the pty driver cannot hold;
// - it reports the requested line setting to the simulated module (line_report.h).

#include "line_report.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <termios.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace {

constexpr tcflag_t DroppedByPty = CSIZE | PARENB;

using TcSetAttr = int (*)(int, int, const termios *);
using TcGetAttr = int (*)(int, termios *);

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

struct Requested
{
    dev_t device = 0;
    tcflag_t bits = 0;
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

void remember(dev_t device, tcflag_t bits)
{
    std::lock_guard lock(requestedMutex);
    Requested *slot = nullptr;
    for (Requested &r : requested) {
        if (r.device == device) {
            slot = &r;
            break;
        }
        if (!slot && r.device == 0)
            slot = &r;
    }
    if (!slot)
        slot = &requested[0];
    *slot = Requested{device, bits};
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
        remember(device, settings->c_cflag & DroppedByPty);
        ptyline::writeReport(device, modeStringOf(*settings));
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

// Lets a test check that these functions, not libc's, are the ones in use.
int tx4040_ptyline_interposed() noexcept
{
    return ::dlsym(RTLD_DEFAULT, "tcsetattr") == reinterpret_cast<void *>(&tcsetattr);
}

} // extern "C"
