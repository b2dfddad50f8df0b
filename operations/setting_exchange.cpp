#include "setting_exchange.h"

namespace {

constexpr int Tries = 2;
constexpr int PauseMs = 100;

} // namespace

bool ExchangeAfterIdentity(
    WorkflowContext &c, Work &work,
    const std::function<QByteArrayList(const QByteArray &serialNo)> &commands,
    const std::function<void()> &onSuccess)
{
    const OpenedPort opened(c.port, c.state.ScanCommNo, c.state.ScanBaudRate);
    if (!opened.isOpen()) {
        work.addReason(Reason::Kind::PortNotOpened, c.port.LastOpenFailure());
        return false;
    }
    for (int i = 0; i < Tries; ++i) {
        c.sleepMs(PauseMs);
        if (!c.identityAnswered())
            continue;
        const QByteArrayList sequence = commands(ReplySerialNo(c.exchange.LastReply()));
        bool allAccepted = true;
        for (const QByteArray &command : sequence) {
            c.sleepMs(PauseMs);
            if (!c.exchange.SendCommand(command)) {
                allAccepted = false;
                break;
            }
        }
        if (allAccepted) {
            if (onSuccess)
                onSuccess();
            return true;
        }
    }
    // A device that went away, a setting its driver did not take, the module's no.
    work.addLinkFailure();
    return false;
}
