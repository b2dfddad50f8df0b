#pragma once

#include <QString>

// "tx4040 map N DEVICE": links COM<N> in the ports folder to the device's stable name
// (stable_port_names.h). The first map creates the folder with a link for each port of
// the system's list at the number it has there, since the folder replaces that list.
// Prints each link written; returns the exit status.
int RunMap(int portNumber, const QString &device);

// "tx4040 unmap N": removes COM<N>, and the ports folder with the last of them, so that
// the system's list applies again.
int RunUnmap(int portNumber);
