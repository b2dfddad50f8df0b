#include "module_identity.h"

#include "baud_rate_modes.h"
#include "message_table.h"
#include "operation_frame.h"
#include "setting_exchange.h"

WorkResult SetModuleId(WorkflowContext &c)
{
    OperationFrame frame(c);
    if (frame.refusedBeforeScan(c.state.ModuleFound))
        return frame.result();
    const QString id = c.choices.controls().moduleId;
    c.window.showMessage(c.text(MessageRow::SetModuleId) + QStringLiteral(" = ") + id);
    const bool done = ExchangeAfterIdentity(c, frame.work(), [&](const QByteArray &serialNo) {
        return QByteArrayList{SetIdCommand(serialNo, id.toLatin1())};
    });
    if (done)
        frame.work().facts().id = id;
    return frame.endWith(done, MessageRow::SetModuleIdOk, MessageRow::SetModuleIdError);
}

WorkResult SetModuleBaudRate(WorkflowContext &c)
{
    OperationFrame frame(c);
    if (frame.refusedBeforeScan(c.state.ModuleFound))
        return frame.result();
    const int index = c.choices.controls().baudRateIndex;
    const std::optional<QByteArray> command = SetBaudRateCommand(index);
    // A list without a valid selection builds no command.
    if (!command)
        return frame.endWith(false, MessageRow::SetModuleBaudRateOk,
                             MessageRow::SetModuleBaudRateError);
    c.window.showMessage(c.text(MessageRow::SetModuleBaudRate) + QStringLiteral(" = ") +
                         BaudRateModes().at(index));
    const bool done = ExchangeAfterIdentity(
        c, frame.work(), [&](const QByteArray &) { return QByteArrayList{*command}; },
        [&] {
            c.state.ScanBaudRateNo = index;
            c.state.ScanBaudRate = BaudRateModes().at(index);
        });
    if (done)
        frame.work().facts().setting = BaudRateModes().at(index);
    return frame.endWith(done, MessageRow::SetModuleBaudRateOk, MessageRow::SetModuleBaudRateError);
}
