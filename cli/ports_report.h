#pragma once

#include "port_inventory.h"

#include <QByteArray>
#include <QList>

// "tx4040 ports": each COM number with its device, how it was mapped, what the system
// says of it and whether this user can open it now; as text for a person or as JSON.
QByteArray PortsText(const QList<PortEntry> &entries);
QByteArray PortsJson(const QList<PortEntry> &entries, const PortMap &map);

// A word for a ports folder that exists and maps nothing, which hides every real
// adapter from the program; empty where there is nothing to say.
QString EmptyPortsFolderWarning(const PortMap &map, const QList<PortEntry> &entries);
