#pragma once

#include "port_system.h"

#include <QString>

// The link in <DevSerialRoot>/<kind> ("by-id" or "by-path") that resolves to device;
// empty where there is none.
QString SerialLinkTo(const QString &device, const QString &kind);

// The name that keeps naming the device when adapters come and go: its by-id name where
// its adapter has a USB serial number, else its by-path name (which names the USB
// socket), else the device itself.
QString StablePortName(const QString &device);
