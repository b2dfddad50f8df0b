#include "module_identity.h"

#include "baud_rate_modes.h"
#include "message_table.h"
#include "operation_frame.h"
#include "setting_exchange.h"

void SetModuleId(WorkflowContext &c)
{
    OperationFrame frame(c);
    if (frame.refusedBeforeScan(c.state.ModuleFound))
        return;
    const QString id = c.window.controls().moduleId;
    c.window.showMessage(c.text(MessageRow::SetModuleId) + QStringLiteral(" = ") + id);
    const bool done = ExchangeAfterIdentity(c, [&](const QByteArray &serialNo) {
        return QByteArrayList{SetIdCommand(serialNo, id.toLatin1())};
    });
    frame.endWith(done, MessageRow::SetModuleIdOk, MessageRow::SetModuleIdError);
}

void SetModuleBaudRate(WorkflowContext &c)
{
    OperationFrame frame(c);
    if (frame.refusedBeforeScan(c.state.ModuleFound))
        return;
    const int index = c.window.controls().baudRateIndex;
    const std::optional<QByteArray> command = SetBaudRateCommand(index);
    // A list without a valid selection builds no command.
    if (!command) {
        frame.endWith(false, MessageRow::SetModuleBaudRateOk, MessageRow::SetModuleBaudRateError);
        return;
    }
    c.window.showMessage(c.text(MessageRow::SetModuleBaudRate) + QStringLiteral(" = ") +
                         BaudRateModes().at(index));
    const bool done = ExchangeAfterIdentity(
        c, [&](const QByteArray &) { return QByteArrayList{*command}; },
        [&] {
            c.state.ScanBaudRateNo = index;
            c.state.ScanBaudRate = BaudRateModes().at(index);
        });
    frame.endWith(done, MessageRow::SetModuleBaudRateOk, MessageRow::SetModuleBaudRateError);
}
