#include "trace_entry.h"

#include "frame_trace.h"

QByteArray TraceEntry::line() const
{
    return FormatTraceLine(monotonicMicros, port, setting, event, bytes);
}
