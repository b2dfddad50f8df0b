#pragma once

// The system calls behind the serial link, in one place: what opens, locks, sets,
// drains and watches a port, and what is looked up of devices and of the processes that
// hold them (terminal settings, ioctls, advisory locks, sysfs, /proc). One file per
// platform implements it, chosen in CMake: port_system_posix.cpp for Linux and the
// other Unixes. Everything else in the link is the same on every platform.

#include "mode_string.h"
#include "unique_fd.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

#include <memory>

// --- A port the link holds

// Opens a device for reading and writing without blocking, and takes its advisory lock
// (flock) for this process alone. Invalid, with the reason, where either fails: "busy:
// another program holds its lock", or the system's reason.
UniqueFd OpenLocked(const QString &device, QString &reason);

// The line settings a terminal had when the link found it, to be put back.
class FoundLine
{
public:
    // Null for a descriptor that is not a terminal.
    static std::unique_ptr<FoundLine> read(int descriptor);
    ~FoundLine();
    // Puts back the line itself (rate, framing, flow control), not the raw mode the
    // port is read in.
    void restoreLine(int descriptor) const;

private:
    struct Settings;
    explicit FoundLine(std::unique_ptr<Settings> settings);
    std::unique_ptr<Settings> m_settings;
};

// What a terminal's driver did not take of the line settings asked of it, read back
// from the terminal: "the driver did not accept even parity". Empty when the line runs
// as asked. Some drivers (CH340 clones, some converters) accept any setting and quietly
// keep their own.
QString SettingNotTaken(int descriptor, const LineSettings &wanted);

// Waits until every byte written to a serial terminal has left it, as a synchronous
// write does, or until the deadline. False when the deadline came first.
bool DrainLine(int descriptor, qint32 baudRate, QDeadlineTimer deadline);

// Waits up to that many ms for input.
enum class LineWait
{
    Readable,
    Idle,
    HungUp // the device went away (a USB adapter pulled out, a pty's other side closed)
};
LineWait WaitForInput(int descriptor, int milliseconds);

// Low latency from the driver of an open serial terminal (Linux: ASYNC_LOW_LATENCY
// through TIOCSSERIAL). An FTDI-type adapter otherwise holds short replies for its
// latency timer, 16 ms by default, on every exchange.
class LowLatency
{
public:
    // Asks for it; false, with the driver's reason, when the driver has no such setting
    // or will not take it. Many drivers have none, and the port works as well without.
    bool request(int descriptor);
    // Puts the driver's flags back as request() found them: some drivers (ftdi_sio)
    // keep the flag after the port is closed.
    void restore(int descriptor);

    const QString &refusal() const { return m_refusal; }

private:
    bool m_changed = false;
    int m_foundFlags = 0;
    QString m_refusal;
};

// The latency timer of an adapter that has one, in ms, from sysfs; -1 where none.
int LatencyTimerMs(const QString &device);
// The sysfs file that holds it (whether or not it exists).
QString LatencyTimerPath(const QString &device);

// --- What a device is

// True for character devices that are terminals: serial ports and pseudo-terminals.
// Decided without opening the device, since opening some devices has side effects.
bool IsTerminalDevice(const QString &path);
// True for a pseudo-terminal's slave side.
bool IsPseudoTerminal(const QString &path);
// True for a device whose number is the kernel's console, the calling process's
// terminal, the pty multiplexer or a virtual console, whatever its name.
bool HasConsoleNumber(const QString &path);
// The kernel's console list and its active consoles, as the files say them.
QByteArray ProcConsolesText();
QByteArray ActiveConsolesText();

// What sysfs tells of the USB adapter behind a serial device.
struct UsbAdapter
{
    bool isUsb = false;   // the device hangs on a USB device
    QString serialNumber; // that USB device's serial number; empty where it has none
    QString usbId;        // its vendor and product, "0403:6001"

    // Most CH340s: udev gives every such adapter of one kind the same by-id name and
    // keeps it for one of them only, so none can be told apart but by its USB socket.
    bool lacksSerialNumber() const { return isUsb && serialNumber.isEmpty(); }
};
// Looked up from <SysfsRoot>/class/tty/<name>/device, up to the first folder holding
// idVendor.
UsbAdapter UsbAdapterOf(const QString &device);

// --- Who may open a device, and who holds it

struct DeviceAccess
{
    bool denied = false; // this process may not read and write it
    QString group;       // the group that owns it
    bool inGroup = false;
};
DeviceAccess AccessOf(const QString &device);

// A live process other than this one that holds the device: by a lock file (the UUCP
// name, or Qt's), by an advisory lock (flock), or, for a real device, by having it
// open; 0 for none that can be seen.
qint64 LockFileHolder(const QString &device);
qint64 FlockHolder(const QString &device);
// The holder of an advisory lock on a file, from the text of /proc/locks: "1: FLOCK
// ADVISORY WRITE 4242 00:1a:3 0 EOF", the file as its file system's major:minor in
// hex and its inode; lines with "->" wait for a lock and hold none. self: never this one.
qint64 FlockHolderIn(const QByteArray &procLocks, quint64 fileSystem, quint64 inode, qint64 self);
qint64 OpenedBy(const QString &device);
// The first process other than `self` that has the device open, from the descriptor links
// of the process folders under procRoot ("/proc" on the system); 0 for none.
qint64 OpenedByIn(const QString &procRoot, const QString &device, qint64 self);
// Its short name ("minicom"), where it can be seen.
QString ProcessName(qint64 pid);

// The process and its start time, as a record of who made something: true once that
// process no longer runs (its ID may have been given to another since).
QByteArray ProcessStartTime(qint64 pid);
bool ProcessIsGone(qint64 pid, const QByteArray &startTime);
