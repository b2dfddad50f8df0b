#pragma once

#include "command_exchange.h"
#include "module_window.h"
#include "port_access.h"
#include "shared_state.h"
#include "stored_settings.h"

// What every workflow works with: the window, the process-wide state, the link and
// the stored settings. Each exists once and belongs to the application.
struct WorkflowContext
{
    ModuleWindow &window;
    SharedState &state;
    PortAccess &port;
    CommandExchange &exchange;
    const StoredSettings &settings;

    void sleepMs(int milliseconds) const { port.services().sleepMs(milliseconds); }
    // "B00B" answered with a reply of the identity's length.
    bool identityAnswered() const
    {
        return exchange.SendCommand(Command::ReadIdentity) &&
               exchange.ReplyLength() == IdentityReplyLength;
    }
};
