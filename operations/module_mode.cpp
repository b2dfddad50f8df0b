#include "module_mode.h"

#include "baud_rate_modes.h"
#include "message_table.h"
#include "operation_frame.h"
#include "setting_exchange.h"

void SetModuleMode(WorkflowContext &c)
{
    OperationFrame frame(c);
    if (frame.refusedBeforeScan(c.state.ModuleFound))
        return;
    const bool done = ExchangeAfterIdentity(c, [&](const QByteArray &) {
        const ControlValues controls = c.window.controls();
        return QByteArrayList{SetModeCommand(controls.mode), SetPolarityCommand(controls.polarity)};
    });
    frame.endWith(done, MessageRow::SetModuleModeOk, MessageRow::SetModuleModeError);
}

void SetFactoryDefault(WorkflowContext &c)
{
    OperationFrame frame(c);
    // Before a scan the controls stay as they are too.
    if (frame.refusedBeforeScan(c.state.ModuleFound))
        return;
    // The controls stay at the factory values whatever the module says.
    c.window.setIdPosition(1);
    c.window.selectBaudRate(DefaultBaudRateIndex);
    c.window.selectMode(OutputMode::Hold);
    c.window.setPolarity({});
    c.window.showMessage(c.text(MessageRow::SetFactoryDefault));
    // Still at the setting in use: the program goes on talking at it afterwards.
    const bool done = ExchangeAfterIdentity(c, [](const QByteArray &serialNo) {
        return QByteArrayList{SetIdCommand(serialNo, "01"), Command::FactoryPolarity,
                              Command::SetModeHold, Command::FactoryBaudRate};
    });
    frame.endWith(done, MessageRow::SetFactoryDefaultOk, MessageRow::SetFactoryDefaultError);
}
