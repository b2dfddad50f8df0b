#include "module_identity.h"

#include "baud_rate_modes.h"
#include "message_table.h"
#include "operation_frame.h"
#include "setting_exchange.h"

namespace {

// Nothing is said to the module before a scan has found it.
bool refusedBeforeScan(WorkflowContext &c, OperationFrame &frame)
{
    if (c.state.ModuleFound)
        return false;
    frame.end(LampColour::Red, MessageRow::StartScanModule, 300);
    return true;
}

void endWith(OperationFrame &frame, bool succeeded, int okRow, int errorRow)
{
    if (succeeded)
        frame.end(LampColour::Yellow, okRow, 1000);
    else
        frame.end(LampColour::Red, errorRow, 300);
}

} // namespace

void SetModuleId(WorkflowContext &c)
{
    OperationFrame frame(c.window);
    if (refusedBeforeScan(c, frame))
        return;
    const QString id = c.window.moduleId();
    c.window.showMessage(c.window.text(MessageRow::SetModuleId) + QStringLiteral(" = ") + id);
    const bool done = ExchangeAfterIdentity(c, [&](const QByteArray &serialNo) {
        return QByteArrayList{SetIdCommand(serialNo, id.toLatin1())};
    });
    endWith(frame, done, MessageRow::SetModuleIdOk, MessageRow::SetModuleIdError);
}

void SetModuleBaudRate(WorkflowContext &c)
{
    OperationFrame frame(c.window);
    if (refusedBeforeScan(c, frame))
        return;
    const int index = c.window.baudRateIndex();
    const std::optional<QByteArray> command = SetBaudRateCommand(index);
    // A list without a valid selection builds no command.
    if (!command) {
        endWith(frame, false, MessageRow::SetModuleBaudRateOk, MessageRow::SetModuleBaudRateError);
        return;
    }
    c.window.showMessage(c.window.text(MessageRow::SetModuleBaudRate) + QStringLiteral(" = ") +
                         BaudRateModes().at(index));
    const bool done = ExchangeAfterIdentity(
        c, [&](const QByteArray &) { return QByteArrayList{*command}; },
        [&] {
            c.state.ScanBaudRateNo = index;
            c.state.ScanBaudRate = BaudRateModes().at(index);
        });
    endWith(frame, done, MessageRow::SetModuleBaudRateOk, MessageRow::SetModuleBaudRateError);
}
