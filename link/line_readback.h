#pragma once

#include "mode_string.h"

#include <QString>

// What a serial terminal's driver did not take of the line settings asked of it, read
// back from the terminal: "the driver did not accept even parity". Empty when the line
// runs as asked. Some drivers (CH340 clones, some converters) accept any setting and
// quietly keep their own; the module would then hear nothing but noise.
QString SettingNotTaken(int descriptor, const LineSettings &wanted);
