#include "system_consoles.h"

#include "port_system.h"

#include <QRegularExpression>

namespace {

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
    return ConsoleDevices(ProcConsolesText(), ActiveConsolesText());
}

bool IsConsole(const QString &device)
{
    static const QRegularExpression virtualConsole(QStringLiteral("^/dev/tty[0-9]*$"));
    return device == u"/dev/console" || device == u"/dev/ptmx" ||
           virtualConsole.match(device).hasMatch() || SystemConsoleDevices().contains(device) ||
           HasConsoleNumber(device);
}
