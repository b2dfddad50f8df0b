#pragma once

#include "command_exchange.h"
#include "command_set.h"
#include "message_table.h"
#include "module_window.h"
#include "operator_choices.h"
#include "port_access.h"
#include "shared_state.h"
#include "stop_request.h"
#include "stored_settings.h"
#include "tone_call.h"

// What every workflow works with: the front end's window and the operator's choices,
// the process-wide state and texts, the link, the stored settings and the tone. Each
// exists once and belongs to the application.
struct WorkflowContext
{
    ModuleWindow &window;
    const OperatorChoices &choices;
    // The live loop's stop: a second press, a signal, a close from outside.
    StopRequest &liveStop;
    SharedState &state;
    const MessageTable &messages;
    PortAccess &port;
    CommandExchange &exchange;
    const StoredSettings &settings;
    const Tone &tone;

    // A message row in the current language.
    QString text(int messageRow) const { return messages.text(messageRow, state.LanguageIndex); }
    void sleepMs(int milliseconds) const { port.services().sleepMs(milliseconds); }
    // "B00B" answered with a reply of the length its row insists on.
    bool identityAnswered() const
    {
        return exchange.SendCommand(Command::ReadIdentity) &&
               exchange.ReplyLength() == CommandRowOf(Command::ReadIdentity)->replyLength;
    }
};
