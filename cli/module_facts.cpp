#include "module_facts.h"

#include "command_arguments.h"

namespace {

QString modeName(const std::optional<OutputMode> &mode)
{
    if (!mode)
        return {};
    return OutputModeName(*mode);
}

QString polarityText(const std::optional<FourFlags> &polarity)
{
    return polarity ? FlagsText(*polarity) : QString();
}

} // namespace

QByteArray FactsText(const ModuleFacts &facts, const QString &message)
{
    return QStringLiteral("%1\nport: COM%2\ndevice: %3\nsetting: %4\nid: %5\nserial: %6\n"
                          "version: %7\nmode: %8\npolarity: %9\n")
        .arg(message)
        .arg(facts.port)
        .arg(facts.device, facts.setting, facts.id, facts.serialNo, facts.version,
             modeName(facts.mode), polarityText(facts.polarity))
        .toUtf8();
}

QJsonObject FactsJson(const ModuleFacts &facts, const QString &message)
{
    return {{QStringLiteral("port"), facts.port},
            {QStringLiteral("device"), facts.device},
            {QStringLiteral("setting"), facts.setting},
            {QStringLiteral("id"), facts.id},
            {QStringLiteral("serial"), facts.serialNo},
            {QStringLiteral("version"), facts.version},
            {QStringLiteral("mode"), modeName(facts.mode)},
            {QStringLiteral("polarity"), polarityText(facts.polarity)},
            {QStringLiteral("message"), message}};
}
