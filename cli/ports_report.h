#pragma once

#include "port_inventory.h"

#include <QByteArray>
#include <QList>

// "tx4040 ports": each COM number with its device, how it was mapped, what the system
// says of it and whether this user can open it now; as text for a person or as JSON.
QByteArray PortsText(const QList<PortEntry> &entries);
QByteArray PortsJson(const QList<PortEntry> &entries, const PortMap &map);
