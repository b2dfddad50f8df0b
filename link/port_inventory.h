#pragma once

#include "port_diagnosis.h"
#include "port_map.h"

#include <QList>
#include <QString>

// One COM number the program knows, with what it names and whether it can be opened.
struct PortEntry
{
    int number = 0;      // 0 for a system console, which has no number
    QString mappedBy;    // "ports folder" or "system list"
    QString description; // from the system, where it knows the device
    QString manufacturer;
    QString usbId; // "0403:6001"
    QString serialNumber;
    QString stableName; // the device's name in /dev/serial/by-id, where it has one
    PortDiagnosis diagnosis;

    // From sysfs and /dev/serial (system_roots.h).
    bool usbAdapter = false;
    bool usbSerialNumber = false; // ... which has a USB serial number of its own
    QString mapName;              // what "tx4040 map" links for the device
    int latencyTimerMs = -1;      // the adapter's latency timer; -1 where it has none
    QString latencyTimerPath;

    // Whether the driver takes low latency, which stands in for the latency timer while
    // the program holds the port. Asked only of a port that is free and whose timer is
    // above 1 ms.
    enum class LowLatencyAnswer
    {
        NotAsked,
        Taken,
        Refused
    };
    LowLatencyAnswer lowLatency = LowLatencyAnswer::NotAsked;
    QString lowLatencyRefusal; // the driver's reason
};

// The ports folder's COM<n> entries in order of n, or, without the folder, COM1 to COM16
// of the system's list followed by the consoles it leaves out.
QList<PortEntry> ListPorts(const PortMap &map);
