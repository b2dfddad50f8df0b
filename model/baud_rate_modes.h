#pragma once

#include <QString>
#include <QStringList>

// The twelve serial line settings the program offers, slowest first, no parity
// before even parity at each rate. A list index doubles as the module's baud code.
const QStringList &BaudRateModes();

inline constexpr int BaudRateModeCount = 12;
inline constexpr int DefaultBaudRateIndex = 5;

bool IsBaudRateIndex(int index);
