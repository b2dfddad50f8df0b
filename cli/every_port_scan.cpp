#include "every_port_scan.h"

#include "baud_rate_modes.h"
#include "cli_session.h"
#include "exit_status.h"
#include "console_output.h"
#include "module_commands.h"
#include "module_facts.h"
#include "module_scan.h"
#include "work.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>

#include <atomic>
#include <memory>

namespace {

// One port's search, on a thread of its own.
struct PortSearch
{
    int port = 0;
    std::optional<ModuleFacts> found;
    QStringList reasons;
    bool opened = false;
};

QList<int> portsToSearch(const PortMap &ports)
{
    if (ports.usesPortsFolder())
        return ports.folderPortNumbers();
    QList<int> numbers;
    for (int port = 1; port <= ScanLimits::HighestPort; ++port)
        numbers.append(port);
    return numbers;
}

void search(PortSearch &result, CliSession &session, SharedState state, bool locked,
            const std::atomic<bool> &stop)
{
    ConsoleWindow window(false);
    window.values().baudRateLocked = locked;
    LinkServices services = session.services();
    // No events on this thread: the main thread takes the signals and passes a stop on.
    services.pumpMessages = [&] {
        if (stop)
            state.StopRequested = true;
    };
    bool answered = false;
    // Found places are stored by the main thread, once all have ended.
    const StoredSettings notStoring = session.settings().readOnly();
    Workflows workflows(
        state, session.messages(), notStoring, session.ports(), services,
        [&](int frequencyHz, int) { answered = frequencyHz == ToneHzOf(Outcome::Success); });
    ScanLimits limits;
    limits.firstPort = limits.lastPort = result.port;
    limits.rememberedPlaceAnywhere = false;
    workflows.scanModule(window, limits);
    result.opened = workflows.port().SuccessfulOpens() > 0;
    if (answered && !state.StopRequested)
        result.found = ModuleFacts::from(window, state, session.ports());
    else if (!result.opened)
        result.reasons = window.reasons();
}

void report(const QList<ModuleFacts> &modules, const CliSession &session, bool stored,
            const QStringList &reasons, bool json)
{
    // A search cut short by a stop from outside found nothing to say "Module Not Find" of.
    const QString notFound =
        session.stopped()
            ? QString()
            : session.messages().text(MessageRow::ModuleNotFind, session.state().LanguageIndex);
    if (json) {
        QJsonArray list;
        for (const ModuleFacts &facts : modules)
            list.append(facts.json());
        const QJsonObject object{
            {QStringLiteral("found"), !modules.isEmpty()},
            {QStringLiteral("message"), modules.isEmpty() ? notFound : QString()},
            {QStringLiteral("modules"), list},
            {QStringLiteral("stored"), stored},
            {QStringLiteral("reasons"), QJsonArray::fromStringList(reasons)}};
        WriteTo(stdout, QJsonDocument(object).toJson(QJsonDocument::Indented));
    } else if (modules.isEmpty()) {
        if (!notFound.isEmpty())
            WriteTo(stdout, notFound.toUtf8() + '\n');
    } else {
        QByteArray text;
        for (const ModuleFacts &facts : modules)
            text += (text.isEmpty() ? "" : "\n") + facts.text();
        WriteTo(stdout, text);
    }
    for (const QString &reason : reasons)
        WriteTo(stderr, "tx4040: " + reason.toUtf8() + '\n');
}

} // namespace

int RunEveryPortScan(CliSession &session, const ScanRequest &request)
{
    SharedState start = session.state();
    if (request.settingIndex) {
        start.ScanBaudRateNo = *request.settingIndex;
        start.ScanBaudRate = BaudRateModes().at(*request.settingIndex);
    }
    QList<PortSearch> searches;
    for (const int port : portsToSearch(session.ports()))
        searches.append(PortSearch{port, {}, {}, false});

    std::atomic<bool> stop = false;
    std::atomic<int> running = int(searches.size());
    // QThreads, since the serial port needs a thread that Qt started.
    std::vector<std::unique_ptr<QThread>> threads;
    for (PortSearch &result : searches) {
        threads.emplace_back(QThread::create([&, locked = request.settingIndex.has_value()] {
            search(result, session, start, locked, stop);
            --running;
        }));
        threads.back()->start();
    }
    // The main thread keeps taking Ctrl+C and SIGTERM while the searches run.
    while (running > 0) {
        QCoreApplication::processEvents();
        stop = session.state().StopRequested;
        session.services().sleepMs(5);
    }
    for (const std::unique_ptr<QThread> &thread : threads)
        thread->wait();

    QList<ModuleFacts> modules;
    QStringList reasons;
    bool anyOpened = false;
    for (const PortSearch &result : searches) {
        if (result.found)
            modules.append(*result.found);
        reasons += result.reasons;
        anyOpened = anyOpened || result.opened;
    }
    // Where one module answered it is the one to remember; among several, none is.
    bool stored = modules.size() == 1 && session.stores() && !session.stopped();
    if (stored) {
        SharedState &state = session.state();
        state.ScanCommNo = modules.first().port;
        state.ScanBaudRate = modules.first().setting;
        state.ScanBaudRateNo = int(BaudRateModes().indexOf(modules.first().setting));
        const QString failure = session.settings().SaveScanSettings(state);
        stored = failure.isEmpty();
        if (!stored)
            reasons.append(failure);
    }
    report(modules, session, stored, reasons, request.json);
    if (session.stopped())
        WriteTo(stderr, "tx4040: stopped\n");
    if (!modules.isEmpty())
        return ExitStatus::Done;
    if (!anyOpened && reasons.isEmpty() && !session.stopped())
        WriteTo(stderr, NoPortOpenedHint);
    return anyOpened || reasons.isEmpty() ? ExitStatus::NoAnswer : ExitStatus::PortNotOpened;
}
