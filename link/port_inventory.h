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
};

// The ports folder's COM<n> entries in order of n, or, without the folder, COM1 to COM16
// of the system's list followed by the consoles it leaves out.
QList<PortEntry> ListPorts(const PortMap &map);
