#pragma once

#include <QString>

// The maker's folder in the user's configuration: $XDG_CONFIG_HOME/VANTREL, with
// XDG_CONFIG_HOME defaulting to ~/.config. The COM port links and the stored settings
// live there.
QString VantrelConfigFolder();

// Its "ports" folder, where COM<n> links name the devices of the program's port numbers.
QString PortsFolder();
