#pragma once

// A request that work which runs on (the live loop) stop at its next cycle: the
// window's second press, a signal to the command line, a close from outside. Set and
// read on the front end's own thread, from inside the work's message processing.
class StopRequest
{
public:
    void request() { m_requested = true; }
    void clear() { m_requested = false; }
    bool requested() const { return m_requested; }

private:
    bool m_requested = false;
};
