#include "port_diagnosis.h"

#include "system_consoles.h"

#include "port_system.h"

PortDiagnosis DiagnosePort(const PortMap &map, int portNumber)
{
    PortDiagnosis d;
    d.device = map.mappedPath(portNumber);
    if (d.device.isEmpty())
        return d;
    if (map.isStaleLink(portNumber)) {
        d.state = PortDiagnosis::State::Stale;
        return d;
    }
    if (!IsTerminalDevice(d.device)) {
        d.state = PortDiagnosis::State::NotATerminal;
        return d;
    }
    if (IsConsole(d.device)) {
        d.state = PortDiagnosis::State::Console;
        return d;
    }
    // Decided without opening the device: opening a port can reset what hangs on it.
    const DeviceAccess access = AccessOf(d.device);
    if (access.denied) {
        d.state = PortDiagnosis::State::PermissionDenied;
        d.group = access.group;
        d.inGroup = access.inGroup;
        return d;
    }
    // A pseudo-terminal's slave is held open by whoever serves it, which is no sign of
    // another program using the port; a real device held by anyone else is.
    qint64 holder = FlockHolder(d.device);
    if (holder == 0)
        holder = LockFileHolder(d.device);
    d.holderPid = holder != 0 ? holder : (IsPseudoTerminal(d.device) ? 0 : OpenedBy(d.device));
    if (d.holderPid != 0) {
        d.state = PortDiagnosis::State::Busy;
        d.holderName = ProcessName(d.holderPid);
        return d;
    }
    d.state = PortDiagnosis::State::Ok;
    return d;
}

QString PortDiagnosis::stateName() const
{
    switch (state) {
    case State::Ok:
        return QStringLiteral("ok");
    case State::Missing:
        return QStringLiteral("missing");
    case State::Stale:
        return QStringLiteral("stale");
    case State::NotATerminal:
        return QStringLiteral("not a terminal");
    case State::Console:
        return QStringLiteral("console");
    case State::PermissionDenied:
        return QStringLiteral("permission denied");
    case State::Busy:
        return QStringLiteral("busy");
    }
    return {};
}

QString PortDiagnosis::text() const
{
    switch (state) {
    case State::Console:
        return QStringLiteral("console (skipped)");
    case State::Stale:
        return QStringLiteral("stale link: the simulated module that made it is gone, and "
                              "its device may be another program's terminal by now");
    case State::PermissionDenied:
        if (group.isEmpty())
            return QStringLiteral("permission denied: %1").arg(device);
        if (inGroup)
            return QStringLiteral("permission denied: %1 belongs to group %2, which you are in, "
                                  "but the device does not let the group read and write it")
                .arg(device, group);
        return QStringLiteral("permission denied: %1 belongs to group %2, which you are not in: "
                              "add yourself to group %2 and log in again")
            .arg(device, group);
    case State::Busy:
        return QStringLiteral("busy: held by %1 (PID %2)")
            .arg(holderName.isEmpty() ? QStringLiteral("a process") : holderName)
            .arg(holderPid);
    default:
        return stateName();
    }
}
