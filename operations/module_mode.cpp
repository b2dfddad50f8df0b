#include "module_mode.h"

#include "baud_rate_modes.h"
#include "message_table.h"
#include "operation_frame.h"
#include "setting_exchange.h"

WorkResult SetModuleMode(WorkflowContext &c)
{
    OperationFrame frame(c);
    if (frame.refusedBeforeScan(c.state.ModuleFound))
        return frame.result();
    const ControlValues chosen = c.choices.controls();
    const bool done = ExchangeAfterIdentity(c, frame.work(), [&](const QByteArray &) {
        return QByteArrayList{SetModeCommand(chosen.mode), SetPolarityCommand(chosen.polarity)};
    });
    if (done) {
        frame.work().facts().mode = chosen.mode;
        frame.work().facts().polarity = chosen.polarity;
    }
    return frame.endWith(done, MessageRow::SetModuleModeOk, MessageRow::SetModuleModeError);
}

WorkResult SetFactoryDefault(WorkflowContext &c)
{
    OperationFrame frame(c);
    // Before a scan the controls stay as they are too.
    if (frame.refusedBeforeScan(c.state.ModuleFound))
        return frame.result();
    // The controls stay at the factory values whatever the module says.
    c.window.setIdPosition(1);
    c.window.selectBaudRate(DefaultBaudRateIndex);
    c.window.selectMode(OutputMode::Hold);
    c.window.setPolarity({});
    c.window.showMessage(c.text(MessageRow::SetFactoryDefault));
    // Still at the setting in use: the program goes on talking at it afterwards.
    const bool done = ExchangeAfterIdentity(c, frame.work(), [](const QByteArray &serialNo) {
        return QByteArrayList{SetIdCommand(serialNo, "01"), Command::FactoryPolarity,
                              Command::SetModeHold, Command::FactoryBaudRate};
    });
    if (done) {
        ModuleFacts &facts = frame.work().facts();
        facts.id = QStringLiteral("01");
        facts.setting = BaudRateModes().at(DefaultBaudRateIndex);
        facts.mode = OutputMode::Hold;
        facts.polarity = FourFlags{};
    }
    return frame.endWith(done, MessageRow::SetFactoryDefaultOk, MessageRow::SetFactoryDefaultError);
}
