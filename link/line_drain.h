#pragma once

#include <QDeadlineTimer>

// Waits until every byte written to a serial terminal has left it, as a synchronous
// write does, or until the deadline. False when the deadline came first.
bool DrainLine(int descriptor, qint32 baudRate, QDeadlineTimer deadline);
