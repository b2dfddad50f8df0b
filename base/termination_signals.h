#pragma once

#include "unique_fd.h"

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM, SIGHUP and SIGPIPE into a Qt signal on the main thread, so
// that a stop from outside, or a reader that went away (tx4040 watch | head -1), goes
// the same way as the front end's own (the window's close, the command line's stop):
// the port is released and its settings put back. One object at a time: it owns the wake-up sockets
// and puts the default handling back when it goes.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested();

private:
    // A signal writes a byte into one end; the notifier wakes the event loop on the other.
    UniqueFd m_wakeWrite;
    UniqueFd m_wakeRead;
    QSocketNotifier *m_notifier = nullptr;
};

// At the very end of the program: where a write found its pipe closed while an object
// above listened, ends the process by SIGPIPE's own action, so that the shell sees the
// death by that signal it expects. Returns otherwise.
void EndAsABrokenPipeDoes();
