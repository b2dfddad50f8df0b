#pragma once

#include <QString>

// Where the system tells about its serial devices: sysfs, and udev's stable names in
// /dev/serial. A test points them at a tree of its own through TX4040_SYSFS_ROOT and
// TX4040_DEV_SERIAL_ROOT; everyone else gets /sys and /dev/serial.
QString SysfsRoot();
QString DevSerialRoot();
