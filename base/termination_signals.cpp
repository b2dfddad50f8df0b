#include "termination_signals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// Set once a write found its pipe closed: the program then ends as SIGPIPE would have
// ended it, after its orderly stop.
volatile std::sig_atomic_t pipeBroken = 0;

// The write end of the wake-up sockets, for the signal handler; -1 while no object
// listens. The object owns and closes the sockets.
volatile std::sig_atomic_t wakeDescriptor = -1;

void onSignal(int signal)
{
    if (signal == SIGPIPE)
        pipeBroken = 1;
    // Only async-signal-safe calls here: the byte wakes the event loop.
    const int fd = wakeDescriptor;
    if (fd < 0)
        return;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(fd, &byte, 1);
}

void handleSignals(void (*handler)(int))
{
    struct sigaction action
    {
    };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : Signals)
        ::sigaction(signal, &action, nullptr);
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    int sockets[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, sockets) != 0)
        return;
    m_wakeWrite.reset(sockets[0]);
    m_wakeRead.reset(sockets[1]);
    m_notifier = new QSocketNotifier(m_wakeRead.get(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(m_wakeRead.get(), bytes, sizeof bytes) > 0) {
        }
        emit terminationRequested();
    });
    wakeDescriptor = m_wakeWrite.get();
    handleSignals(onSignal);
}

TerminationSignals::~TerminationSignals()
{
    handleSignals(SIG_DFL);
    wakeDescriptor = -1;
    // The notifier goes before the socket it watches.
    delete m_notifier;
}

void EndAsABrokenPipeDoes()
{
    if (!pipeBroken)
        return;
    std::signal(SIGPIPE, SIG_DFL);
    std::raise(SIGPIPE);
}
