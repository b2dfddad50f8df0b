#pragma once

#include "port_map.h"

#include <QString>

// Whether this user can open a COM port now and, where not, why: in words that a
// technician can act on.
struct PortDiagnosis
{
    enum class State
    {
        Ok,
        Missing,          // the number names nothing
        Stale,            // a link left by a simulated module that is gone
        NotATerminal,     // it names something that is no serial device
        Console,          // a system console: never probed
        PermissionDenied, // this user may not open it
        Busy              // another program holds it
    };

    State state = State::Missing;
    QString device;       // what the number names, where it names anything
    QString group;        // PermissionDenied: the group that owns the device
    bool inGroup = false; // ... and whether this process has that group
    qint64 holderPid = 0; // Busy: the process holding it, where it can be seen
    QString holderName;

    // "ok", "missing", "stale link: ...", "not a terminal", "console (skipped)",
    // "permission denied: /dev/ttyUSB0 belongs to group dialout, which you are not in:
    // add yourself to group dialout and log in again", "busy: held by minicom (PID 4242)".
    QString text() const;
    // The state alone, as a word: "ok", "missing", "stale", "not a terminal", "console",
    // "permission denied", "busy".
    QString stateName() const;
};

// Looks at what port n names without opening it: nothing reaches the device.
PortDiagnosis DiagnosePort(const PortMap &map, int portNumber);
