#include "apply_command.h"

#include "baud_rate_modes.h"
#include "cli_session.h"
#include "console_output.h"
#include "exit_status.h"
#include "module_commands.h"

#include <QJsonArray>

QByteArray AppliedValuesText(const ApplyResult &result)
{
    QByteArray text;
    for (const AppliedValue &value : result.values) {
        const QString after = value.after.isEmpty() ? value.wanted : value.after;
        QString line = QStringLiteral("%1: %2 -> %3 %4")
                           .arg(value.name, value.before, after, ValueCheckName(value.check));
        if (!value.after.isEmpty() && value.after != value.wanted)
            line += QStringLiteral(" (wanted %1)").arg(value.wanted);
        text += line.toUtf8() + '\n';
    }
    return text;
}

QJsonObject AppliedValuesJson(const ApplyResult &result)
{
    QJsonObject values;
    for (const AppliedValue &value : result.values) {
        values.insert(value.name,
                      QJsonObject{{QStringLiteral("before"), value.before},
                                  {QStringLiteral("wanted"), value.wanted},
                                  {QStringLiteral("after"), value.after},
                                  {QStringLiteral("result"), ValueCheckName(value.check)}});
    }
    return values;
}

int RunApply(CliSession &session, const WantedConfiguration &wanted, bool json)
{
    int status = 0;
    const std::optional<ModuleFacts> read = ReadModuleFirst(session, status);
    if (!read)
        return status;
    WorkflowContext context = session.context();
    const ApplyResult result = ApplyConfiguration(context, *read, wanted);
    // Kept for the next run where the module now listens elsewhere.
    if (result.work.facts.setting != read->setting)
        RememberSetting(session, session.state().ScanBaudRateNo);
    const bool verified = result.work.outcome == Outcome::Success;
    if (json) {
        QStringList reasons;
        for (const Reason &reason : result.work.reasons)
            reasons << reason.text;
        const ModuleFacts &facts = result.work.facts;
        WriteTo(stdout,
                JsonReport({{QStringLiteral("port"), facts.port},
                            {QStringLiteral("device"), facts.device},
                            {QStringLiteral("serial"), facts.serialNo},
                            {QStringLiteral("verified"), verified},
                            {QStringLiteral("sent"), result.sentAnything},
                            {QStringLiteral("values"), AppliedValuesJson(result)},
                            {QStringLiteral("reasons"), QJsonArray::fromStringList(reasons)}}));
    } else {
        WriteTo(stdout, AppliedValuesText(result));
    }
    if (verified)
        return ExitStatus::Done;
    session.tellReasons(result.work);
    return CliSession::statusOf(result.work);
}
