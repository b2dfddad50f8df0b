#pragma once

#include <QByteArray>
#include <QStringList>

// The devices that serve as system consoles, as /dev paths: every entry of the kernel's
// console list (/proc/consoles: the name is a line's first word) and of the active
// console list (/sys/class/tty/console/active: names apart by spaces). A scan must not
// write probe frames to a console or change its line settings.
QStringList ConsoleDevices(const QByteArray &procConsoles, const QByteArray &activeConsoles);

// The same, from this machine's files.
QStringList SystemConsoleDevices();

// True for a device that is a console of some kind, which no probe frame may reach: one
// of the system consoles above, the kernel's console (/dev/console), the calling
// process's terminal (/dev/tty), the pty multiplexer, or a virtual console (/dev/tty0
// to /dev/tty63), by name or by device number (in a container /dev/console may be a
// pseudo-terminal).
bool IsConsole(const QString &device);
