#include "module_apply.h"

#include "baud_rate_modes.h"
#include "module_identity.h"
#include "module_mode.h"
#include "work.h"

#include <functional>

namespace {

constexpr int PauseMs = 100;
// Reads of the ID, mode and polarity: as many as the change had.
constexpr int ReadBackTries = 2;
// A module that takes a new line setting may restart before it answers at it.
constexpr int NewSettingTries = 3;

// The values a setting workflow sends, as the window's controls would hold them.
class FixedChoices : public OperatorChoices
{
public:
    explicit FixedChoices(const ControlValues &values) : m_values(values) {}
    ControlValues controls() const override { return m_values; }

private:
    ControlValues m_values;
};

class Applying
{
public:
    Applying(WorkflowContext &context, const ModuleFacts &found) : m_c(context)
    {
        m_result.work.outcome = Outcome::Success;
        m_result.work.facts = found;
    }

    void applyId(const QString &wanted);
    void applyModeAndPolarity(std::optional<OutputMode> wantedMode,
                              std::optional<FourFlags> wantedPolarity);
    void applySetting(int wantedIndex);
    ApplyResult result() const { return m_result; }

private:
    ModuleFacts &facts() { return m_result.work.facts; }
    ControlValues controlsNow();
    // The value's entry; false when nothing is to be sent for it: the module has it
    // already, or a value before it failed.
    bool needsSending(AppliedValue &value);
    // Runs a setting workflow with these values; false when it failed.
    bool change(WorkResult (*workflow)(WorkflowContext &), const ControlValues &values);
    // After a read-back: verified when it read back as wanted, else failed, and why.
    void settle(AppliedValue &value, bool answered);
    void fail(AppliedValue &value, const QString &reason);
    void take(const WorkResult &part);
    // "B00B" answered by the module that was read, at the port as it is open now.
    bool identityAnswered();
    // Opens the port at this setting and reads, a pause before each try, until a read
    // answers; what went wrong with the link joins the reasons.
    bool readBack(const QString &setting, int tries, const std::function<bool()> &read);

    WorkflowContext &m_c;
    ApplyResult m_result;
    bool m_failed = false;
};

ControlValues Applying::controlsNow()
{
    ControlValues values;
    values.moduleId = facts().id;
    values.baudRateIndex = int(BaudRateModes().indexOf(facts().setting));
    values.mode = facts().mode.value_or(OutputMode::Hold);
    values.polarity = facts().polarity.value_or(FourFlags{});
    return values;
}

bool Applying::needsSending(AppliedValue &value)
{
    if (value.before == value.wanted) {
        value.after = value.before;
        value.check = ValueCheck::Unchanged;
        return false;
    }
    return !m_failed;
}

bool Applying::change(WorkResult (*workflow)(WorkflowContext &), const ControlValues &values)
{
    const FixedChoices choices(values);
    WorkflowContext inner{m_c.window, choices,      m_c.liveStop, m_c.state, m_c.messages,
                          m_c.port,   m_c.exchange, m_c.settings, m_c.tone};
    const WorkResult part = workflow(inner);
    take(part);
    m_result.sentAnything = m_result.sentAnything || part.portOpened;
    return part.outcome == Outcome::Success;
}

void Applying::take(const WorkResult &part)
{
    m_result.work.portOpened = m_result.work.portOpened || part.portOpened;
    for (const Reason &reason : part.reasons) {
        if (!m_result.work.reasons.contains(reason))
            m_result.work.reasons.append(reason);
    }
}

void Applying::fail(AppliedValue &value, const QString &reason)
{
    value.check = ValueCheck::Failed;
    m_failed = true;
    m_result.work.outcome = Outcome::Failure;
    if (!reason.isEmpty())
        m_result.work.reasons.append({Reason::Kind::ModuleRejected, reason});
}

void Applying::settle(AppliedValue &value, bool answered)
{
    if (!answered)
        return fail(
            value,
            QStringLiteral("the module did not answer when its %1 was read back").arg(value.name));
    if (value.after != value.wanted)
        return fail(value, QStringLiteral("the module's %1 read back as %2, not %3")
                               .arg(value.name, value.after, value.wanted));
    value.check = ValueCheck::Verified;
}

bool Applying::identityAnswered()
{
    return m_c.identityAnswered() &&
           QString::fromLatin1(ReplySerialNo(m_c.exchange.LastReply())) == facts().serialNo;
}

bool Applying::readBack(const QString &setting, int tries, const std::function<bool()> &read)
{
    Work check(m_c, Activity::Operation);
    bool answered = false;
    {
        const OpenedPort opened(m_c.port, m_c.state.ScanCommNo, setting);
        if (!opened.isOpen())
            check.addReason(Reason::Kind::PortNotOpened, m_c.port.LastOpenFailure());
        for (int i = 0; opened.isOpen() && i < tries && !answered; ++i) {
            m_c.sleepMs(PauseMs);
            answered = read();
        }
    }
    check.addLinkFailure();
    take(check.result());
    return answered;
}

void Applying::applyId(const QString &wanted)
{
    AppliedValue &value = m_result.values.emplace_back(
        AppliedValue{QStringLiteral("id"), facts().id, wanted, {}, ValueCheck::NotTried});
    if (!needsSending(value))
        return;
    ControlValues values = controlsNow();
    values.moduleId = wanted;
    if (!change(SetModuleId, values))
        return fail(value, {});
    const bool answered =
        readBack(m_c.state.ScanBaudRate, ReadBackTries, [this] { return identityAnswered(); });
    if (answered)
        value.after = QString::fromLatin1(ReplyModuleId(m_c.exchange.LastReply()));
    settle(value, answered);
    if (value.check == ValueCheck::Verified)
        facts().id = wanted;
}

void Applying::applyModeAndPolarity(std::optional<OutputMode> wantedMode,
                                    std::optional<FourFlags> wantedPolarity)
{
    const OutputMode modeBefore = facts().mode.value_or(OutputMode::Hold);
    const FourFlags polarityBefore = facts().polarity.value_or(FourFlags{});
    // Both go together, as the window sends them: the one not wanted as it is.
    const OutputMode mode = wantedMode.value_or(modeBefore);
    const FourFlags polarity = wantedPolarity.value_or(polarityBefore);
    AppliedValue modeValue{QStringLiteral("mode"),
                           OutputModeName(modeBefore),
                           OutputModeName(mode),
                           {},
                           ValueCheck::NotTried};
    AppliedValue polarityValue{QStringLiteral("polarity"),
                               FlagsText(polarityBefore),
                               FlagsText(polarity),
                               {},
                               ValueCheck::NotTried};
    const bool differs = mode != modeBefore || polarity != polarityBefore;
    if (differs && !m_failed) {
        ControlValues values = controlsNow();
        values.mode = mode;
        values.polarity = polarity;
        if (change(SetModuleMode, values)) {
            const bool answered = readBack(m_c.state.ScanBaudRate, ReadBackTries, [&] {
                if (!m_c.exchange.SendCommand(Command::ReadMode))
                    return false;
                modeValue.after =
                    OutputModeName(OutputModeOf(ReplyModeFlag(m_c.exchange.LastReply())));
                m_c.sleepMs(PauseMs);
                if (!m_c.exchange.SendCommand(Command::ReadPolarity))
                    return false;
                polarityValue.after =
                    FlagsText(FlagsFromField(ReplyPolarityFlags(m_c.exchange.LastReply())));
                return true;
            });
            settle(modeValue, answered);
            settle(polarityValue, answered);
            // The one sent as it was, and still so, did not change.
            for (AppliedValue *value : {&modeValue, &polarityValue}) {
                if (value->check == ValueCheck::Verified && value->before == value->wanted)
                    value->check = ValueCheck::Unchanged;
            }
            if (modeValue.check == ValueCheck::Verified)
                facts().mode = mode;
            if (polarityValue.check == ValueCheck::Verified)
                facts().polarity = polarity;
        } else {
            fail(modeValue, {});
            polarityValue.check = ValueCheck::Failed;
        }
    } else {
        needsSending(modeValue);
        needsSending(polarityValue);
    }
    // A value not wanted is told only where it did not stay as it was.
    if (wantedMode || modeValue.check == ValueCheck::Failed)
        m_result.values.append(modeValue);
    if (wantedPolarity || polarityValue.check == ValueCheck::Failed)
        m_result.values.append(polarityValue);
}

void Applying::applySetting(int wantedIndex)
{
    const QString oldSetting = m_c.state.ScanBaudRate;
    const int oldIndex = m_c.state.ScanBaudRateNo;
    const QString newSetting = BaudRateModes().at(wantedIndex);
    AppliedValue &value = m_result.values.emplace_back(AppliedValue{
        QStringLiteral("setting"), facts().setting, newSetting, {}, ValueCheck::NotTried});
    if (!needsSending(value))
        return;
    ControlValues values = controlsNow();
    values.baudRateIndex = wantedIndex;
    if (!change(SetModuleBaudRate, values))
        return fail(value, {});
    // Acknowledged: the remembered setting is the new one from here on.
    facts().setting = newSetting;
    const auto answersAt = [this](const QString &setting, int tries) {
        return readBack(setting, tries, [this] { return identityAnswered(); });
    };
    if (answersAt(newSetting, NewSettingTries)) {
        value.after = newSetting;
        value.check = ValueCheck::Verified;
        return;
    }
    if (!answersAt(oldSetting, 1)) {
        fail(value, QStringLiteral("the module acknowledged %1 and answers neither at it nor at %2")
                        .arg(newSetting, oldSetting));
        value.check = ValueCheck::Lost;
        return;
    }
    fail(value, QStringLiteral("the module acknowledged %1 but still answers at %2")
                    .arg(newSetting, oldSetting));
    value.check = ValueCheck::NotTaken;
    value.after = oldSetting;
    m_c.state.ScanBaudRate = oldSetting;
    m_c.state.ScanBaudRateNo = oldIndex;
    facts().setting = oldSetting;
}

} // namespace

QString ValueCheckName(ValueCheck check)
{
    switch (check) {
    case ValueCheck::Unchanged:
        return QStringLiteral("unchanged");
    case ValueCheck::Verified:
        return QStringLiteral("verified");
    case ValueCheck::Failed:
        return QStringLiteral("failed");
    case ValueCheck::NotTaken:
        return QStringLiteral("not taken");
    case ValueCheck::Lost:
        return QStringLiteral("lost");
    case ValueCheck::NotTried:
        return QStringLiteral("not tried");
    }
    return {};
}

ApplyResult ApplyConfiguration(WorkflowContext &context, const ModuleFacts &found,
                               const WantedConfiguration &wanted)
{
    Applying applying(context, found);
    if (wanted.id)
        applying.applyId(*wanted.id);
    if (wanted.mode || wanted.polarity)
        applying.applyModeAndPolarity(wanted.mode, wanted.polarity);
    if (wanted.settingIndex)
        applying.applySetting(*wanted.settingIndex);
    return applying.result();
}
