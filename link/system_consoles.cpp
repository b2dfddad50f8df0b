#include "system_consoles.h"

#include <QFile>
#include <QRegularExpression>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

QByteArray fileText(const QString &path)
{
    QFile file(path);
    // These files are small; the bound only guards against a strange one.
    return file.open(QIODevice::ReadOnly) ? file.read(64 * 1024) : QByteArray();
}

void addDevice(QStringList &devices, const QByteArray &name)
{
    // A name is a device in /dev, never a path of its own.
    if (name.isEmpty() || name.contains('/') || name.startsWith('.'))
        return;
    const QString device = QStringLiteral("/dev/") + QString::fromLocal8Bit(name);
    if (!devices.contains(device))
        devices.append(device);
}

} // namespace

QStringList ConsoleDevices(const QByteArray &procConsoles, const QByteArray &activeConsoles)
{
    QStringList devices;
    for (const QByteArray &line : procConsoles.split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        addDevice(devices, words.first());
    }
    for (const QByteArray &name : activeConsoles.simplified().split(' '))
        addDevice(devices, name);
    return devices;
}

QStringList SystemConsoleDevices()
{
    return ConsoleDevices(fileText(QStringLiteral("/proc/consoles")),
                          fileText(QStringLiteral("/sys/class/tty/console/active")));
}

bool IsConsole(const QString &device)
{
    static const QRegularExpression virtualConsole(QStringLiteral("^/dev/tty[0-9]*$"));
    if (device == u"/dev/console" || device == u"/dev/ptmx" ||
        virtualConsole.match(device).hasMatch() || SystemConsoleDevices().contains(device))
        return true;
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(device).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    // Major 5: /dev/tty, /dev/console, /dev/ptmx; major 4 below 64: the virtual consoles.
    const unsigned int major = ::major(st.st_rdev);
    return major == 5 || (major == 4 && ::minor(st.st_rdev) < 64);
}
