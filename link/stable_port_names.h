#pragma once

#include <QString>

// What sysfs tells of the USB adapter behind a serial device.
struct UsbAdapter
{
    bool isUsb = false;   // the device hangs on a USB device
    QString serialNumber; // that USB device's serial number; empty where it has none

    // Most CH340s: udev gives every such adapter of one kind the same by-id name and
    // keeps it for one of them only, so none can be told apart but by its USB socket.
    bool lacksSerialNumber() const { return isUsb && serialNumber.isEmpty(); }
};

// Looked up from <SysfsRoot>/class/tty/<name>/device, up to the first folder holding
// idVendor.
UsbAdapter UsbAdapterOf(const QString &device);

// The link in <DevSerialRoot>/<kind> ("by-id" or "by-path") that resolves to device;
// empty where there is none.
QString SerialLinkTo(const QString &device, const QString &kind);

// The name that keeps naming the device when adapters come and go: its by-id name where
// its adapter has a USB serial number, else its by-path name (which names the USB
// socket), else the device itself.
QString StablePortName(const QString &device);
