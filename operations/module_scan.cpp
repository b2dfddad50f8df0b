#include "module_scan.h"

#include "baud_rate_modes.h"
#include "message_table.h"
#include "stored_place.h"
#include "work.h"

#include <QLoggingCategory>

#include <cctype>

Q_LOGGING_CATEGORY(lcScan, "tx4040.scan", QtWarningMsg)

namespace {

constexpr int RememberedPlaceTries = 3;
constexpr int SearchTries = 2;
constexpr int InformationTries = 2;

QString portText(const WorkflowContext &c, int row, int port)
{
    return c.text(row) + QStringLiteral(" : #") + QString::number(port);
}

// What a scan learns on the way, for its ending to explain.
struct ScanNotes
{
    // Why ports did not open, or opened and did not answer.
    QList<Reason> reasons;
    // Why the place where the module answered could not be stored.
    QString saveFailure;

    void note(Reason::Kind kind, const QString &text)
    {
        const Reason reason{kind, text};
        if (!text.isEmpty() && !reasons.contains(reason))
            reasons.append(reason);
    }
};

// Why a port that exists did not open, for the scan's ending to explain.
void noteFailedOpen(const WorkflowContext &c, ScanNotes &notes)
{
    if (!c.port.LastOpenFoundNothing())
        notes.note(Reason::Kind::PortNotOpened, c.port.LastOpenFailure());
}

// Why a port that opened did not answer, where the link knows it.
void noteLinkFailure(const WorkflowContext &c, ScanNotes &notes)
{
    if (c.port.DeviceLost())
        notes.note(Reason::Kind::DeviceGone, c.port.LinkFailure());
    else if (c.port.SettingRefused())
        notes.note(Reason::Kind::SettingRefused, c.port.LinkFailure());
}

// Phase 1: the port and setting where the module was last found.
bool foundAtRememberedPlace(WorkflowContext &c, const ScanLimits &limits, ScanNotes &notes)
{
    if (c.state.ScanCommNo <= 0 ||
        (!limits.rememberedPlaceAnywhere && !limits.includes(c.state.ScanCommNo)))
        return false;
    c.window.selectBaudRate(ListIndexOfRememberedSetting(c.state));
    const OpenedPort opened(c.port, c.state.ScanCommNo, c.state.ScanBaudRate);
    if (!opened.isOpen()) {
        if (limits.search)
            qCWarning(lcScan,
                      "the remembered place COM%d cannot be opened; searching COM%d to COM%d",
                      c.state.ScanCommNo, limits.firstPort, limits.lastPort);
        // Said even where the number names nothing now: the module was last found there.
        notes.reasons.append({Reason::Kind::PortNotOpened, c.port.LastOpenFailure()});
        return false;
    }
    c.window.showMessage(portText(c, MessageRow::ScanCom, c.state.ScanCommNo));
    for (int i = 0; i < RememberedPlaceTries && !c.state.StopRequested; ++i) {
        if (c.identityAnswered())
            return !c.state.StopRequested;
    }
    noteLinkFailure(c, notes);
    return false;
}

// One port at one setting of the search; remembers the place when the module answers.
enum class Probe
{
    NotOpened,
    Silent,
    Answered
};

Probe probe(WorkflowContext &c, int port, int index, ScanNotes &notes)
{
    c.window.selectBaudRate(index);
    const OpenedPort opened(c.port, port, BaudRateModes().at(index));
    if (!opened.isOpen()) {
        noteFailedOpen(c, notes);
        return Probe::NotOpened;
    }
    c.window.showMessage(portText(c, MessageRow::ScanCom, port));
    for (int i = 0; i < SearchTries && !c.state.StopRequested; ++i) {
        // An answer that comes with a stop is not remembered: the search was given up.
        if (c.identityAnswered() && !c.state.StopRequested) {
            c.state.ScanCommNo = port;
            c.state.ScanBaudRate = BaudRateModes().at(index);
            c.state.ScanBaudRateNo = index;
            // At the moment of the answer, while the port is still open, whatever
            // the information read then brings.
            notes.saveFailure = c.settings.SaveScanSettings(c.state);
            return Probe::Answered;
        }
    }
    noteLinkFailure(c, notes);
    return Probe::Silent;
}

// Phase 2: COM1 to COM16, slowest setting first; a port that does not open is left.
bool foundBySearch(WorkflowContext &c, const ScanLimits &limits, ScanNotes &notes)
{
    if (!limits.search)
        return false;
    for (int port = limits.firstPort; port <= limits.lastPort && !c.state.StopRequested; ++port) {
        for (int index = 0; index < BaudRateModeCount && !c.state.StopRequested; ++index) {
            const bool locked = c.choices.controls().baudRateLocked;
            const Probe result =
                probe(c, port, locked ? ListIndexOfRememberedSetting(c.state) : index, notes);
            if (result == Probe::Answered)
                return true;
            if (result == Probe::NotOpened || locked)
                break;
        }
    }
    return false;
}

bool isTwoDecimalDigits(const QByteArray &id)
{
    return id.size() == 2 && std::isdigit(static_cast<unsigned char>(id[0])) &&
           std::isdigit(static_cast<unsigned char>(id[1]));
}

// Phase 3: the module's version, mode and input polarity, at the place it answered.
bool readInformation(WorkflowContext &c, Work &work)
{
    const QByteArray identity = c.exchange.LastReply();
    ModuleFacts &facts = work.facts();
    facts.port = c.state.ScanCommNo;
    facts.device = c.port.DevicePath();
    facts.setting = c.state.ScanBaudRate;
    facts.serialNo = QString::fromLatin1(ReplySerialNo(identity));
    c.window.selectBaudRate(ListIndexOfRememberedSetting(c.state));
    c.window.showIdentity(IdentityPanel::SerialNo,
                          c.text(MessageRow::SerialNo) + QStringLiteral(" : ") + facts.serialNo);
    const QByteArray id = ReplyModuleId(identity);
    facts.id = QString::fromLatin1(id);
    c.window.showIdentity(IdentityPanel::ModuleId, facts.id);
    // An ID that is not two digits is not this module's answer; the scan ends in error.
    if (!isTwoDecimalDigits(id))
        return false;
    c.window.setIdPosition(id.toInt());

    const OpenedPort opened(c.port, c.state.ScanCommNo, c.state.ScanBaudRate);
    if (!opened.isOpen()) {
        work.addReason(Reason::Kind::PortNotOpened, c.port.LastOpenFailure());
        return false;
    }
    for (int i = 0; i < InformationTries && !c.state.StopRequested; ++i) {
        c.sleepMs(100);
        if (!c.exchange.SendCommand(Command::ReadVersion))
            continue; // only a missing version earns a second try
        c.sleepMs(100);
        facts.version = QString::fromLatin1(ReplyVersion(c.exchange.LastReply()));
        c.window.showIdentity(IdentityPanel::Version,
                              c.text(MessageRow::Version) + QStringLiteral(" : ") + facts.version);
        if (c.state.StopRequested || !c.exchange.SendCommand(Command::ReadMode))
            return false;
        facts.mode = OutputModeOf(ReplyModeFlag(c.exchange.LastReply()));
        c.window.selectMode(*facts.mode);
        c.sleepMs(100);
        if (c.state.StopRequested || !c.exchange.SendCommand(Command::ReadPolarity))
            return false;
        facts.polarity = FlagsFromField(ReplyPolarityFlags(c.exchange.LastReply()));
        c.window.setPolarity(*facts.polarity);
        const QString found = portText(c, MessageRow::GetModuleInfoOk, c.state.ScanCommNo) + u')';
        c.window.showMessage(found);
        work.endsWithShown(MessageRow::GetModuleInfoOk, found);
        c.state.ModuleFound = true;
        return true;
    }
    return false;
}

} // namespace

WorkResult ScanModule(WorkflowContext &c)
{
    return ScanModule(c, ScanLimits{});
}

WorkResult ScanModule(WorkflowContext &c, const ScanLimits &limits)
{
    ModuleWindow &w = c.window;
    Work work(c, Activity::Waiting);
    w.processMessages();
    work.switchTo(Activity::Busy);
    w.showMessage(c.text(MessageRow::ScanModule) + QStringLiteral(" ...."));
    w.showIdentity(IdentityPanel::SerialNo,
                   c.text(MessageRow::SerialNo) + QStringLiteral(" : ________"));
    w.showIdentity(IdentityPanel::Version,
                   c.text(MessageRow::Version) + QStringLiteral(" : __.__-__"));
    w.showIdentity(IdentityPanel::ModuleId, QStringLiteral("__"));
    w.processMessages();
    c.state.ModuleFound = false;

    ScanNotes notes;
    const bool answered =
        foundAtRememberedPlace(c, limits, notes) || foundBySearch(c, limits, notes);
    const bool informed = answered && readInformation(c, work);
    // Asked to close: the scan ends at the exchange it was in, with the port closed and
    // without an outcome; the window goes back to idle on the way out.
    if (c.state.StopRequested) {
        work.reportAs(Outcome::Stopped);
        return work.result();
    }
    if (!answered) {
        const QString emptyFolder = c.port.portMap().emptyFolderWarning();
        if (!emptyFolder.isEmpty()) {
            qCWarning(lcScan, "%s", qPrintable(emptyFolder));
            notes.reasons.append({Reason::Kind::PortNotOpened, emptyFolder});
        }
        for (const Reason &reason : std::as_const(notes.reasons))
            work.addReason(reason.kind, reason.text);
        w.selectBaudRate(DefaultBaudRateIndex);
        work.finish(Outcome::Failure, MessageRow::ModuleNotFind);
    } else if (informed) {
        // The place found is used whether or not it could be kept for the next run.
        work.addReason(Reason::Kind::SaveFailed, notes.saveFailure);
        // The message of the information read stays.
        work.finish(Outcome::Success);
    } else {
        // A device that went away meanwhile is why the information is missing.
        work.addLinkFailure();
        work.finish(Outcome::Failure, MessageRow::GetModuleInfoError,
                    portText(c, MessageRow::GetModuleInfoError, c.state.ScanCommNo) + u')');
    }
    return work.result();
}
