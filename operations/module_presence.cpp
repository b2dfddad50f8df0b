#include "module_presence.h"

#include "work.h"

namespace {

constexpr int Tries = 3;

} // namespace

QString SerialAtRememberedPlace(WorkflowContext &c)
{
    const Work look(c, Activity::Operation);
    const OpenedPort opened(c.port, c.state.ScanCommNo, c.state.ScanBaudRate);
    for (int i = 0; opened.isOpen() && i < Tries; ++i) {
        if (c.identityAnswered())
            return QString::fromLatin1(ReplySerialNo(c.exchange.LastReply()));
    }
    return {};
}
