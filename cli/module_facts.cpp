#include "module_facts.h"

#include "command_arguments.h"
#include "console_window.h"
#include "port_map.h"
#include "shared_state.h"

namespace {

QString modeName(OutputMode mode)
{
    return mode == OutputMode::Hold ? QStringLiteral("hold") : QStringLiteral("normal");
}

} // namespace

ModuleFacts ModuleFacts::from(const ConsoleWindow &window, const SharedState &state,
                              const PortMap &ports)
{
    ModuleFacts facts;
    facts.port = state.ScanCommNo;
    facts.device = ports.mappedPath(state.ScanCommNo);
    facts.setting = state.ScanBaudRate;
    facts.id = window.identity(IdentityPanel::ModuleId);
    facts.serialNo = window.identity(IdentityPanel::SerialNo);
    facts.version = window.identity(IdentityPanel::Version);
    facts.mode = window.controls().mode;
    facts.polarity = window.controls().polarity;
    facts.message = window.lastMessage();
    return facts;
}

QByteArray ModuleFacts::text() const
{
    return QStringLiteral("%1\nport: COM%2\ndevice: %3\nsetting: %4\nid: %5\nserial: %6\n"
                          "version: %7\nmode: %8\npolarity: %9\n")
        .arg(message)
        .arg(port)
        .arg(device, setting, id, serialNo, version, modeName(mode), FlagsText(polarity))
        .toUtf8();
}

QJsonObject ModuleFacts::json() const
{
    return {{QStringLiteral("port"), port},
            {QStringLiteral("device"), device},
            {QStringLiteral("setting"), setting},
            {QStringLiteral("id"), id},
            {QStringLiteral("serial"), serialNo},
            {QStringLiteral("version"), version},
            {QStringLiteral("mode"), modeName(mode)},
            {QStringLiteral("polarity"), FlagsText(polarity)},
            {QStringLiteral("message"), message}};
}
