#include "every_port_scan.h"

#include "baud_rate_modes.h"
#include "cli_session.h"
#include "exit_status.h"
#include "console_output.h"
#include "module_commands.h"
#include "module_facts.h"
#include "module_scan.h"

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
    WorkResult result;
};

void search(PortSearch &search, CliSession &session, SharedState state, bool locked,
            const std::atomic<bool> &stop)
{
    ConsoleWindow window(false);
    ChosenValues choices;
    choices.values.baudRateLocked = locked;
    LinkServices services = session.services();
    // No events on this thread: the main thread takes the signals and passes a stop on.
    services.pumpMessages = [&] {
        if (stop)
            state.StopRequested = true;
    };
    // Found places are stored by the main thread, once all have ended.
    const StoredSettings notStoring = session.settings().readOnly();
    Workflows workflows(state, session.messages(), notStoring, session.ports(), services,
                        [](int, int) {});
    ScanLimits limits;
    limits.firstPort = limits.lastPort = search.port;
    limits.rememberedPlaceAnywhere = false;
    search.result = workflows.scanModule(window, choices, limits);
}

void report(const QList<WorkResult> &modules, const CliSession &session, bool stored,
            const QStringList &reasons, bool json)
{
    // A search cut short by a stop from outside found nothing to say "Module Not Find" of.
    const QString notFound =
        session.stopped()
            ? QString()
            : session.messages().text(MessageRow::ModuleNotFind, session.state().LanguageIndex);
    if (json) {
        QJsonArray list;
        for (const WorkResult &module : modules)
            list.append(FactsJson(module.facts, module.message));
        const QJsonObject object{
            {QStringLiteral("found"), !modules.isEmpty()},
            {QStringLiteral("message"), modules.isEmpty() ? notFound : QString()},
            {QStringLiteral("modules"), list},
            {QStringLiteral("stored"), stored},
            {QStringLiteral("reasons"), QJsonArray::fromStringList(reasons)}};
        WriteTo(stdout, JsonReport(object));
    } else if (modules.isEmpty()) {
        if (!notFound.isEmpty())
            WriteTo(stderr, notFound.toUtf8() + '\n');
    } else {
        QByteArray text;
        for (const WorkResult &module : modules)
            text += (text.isEmpty() ? "" : "\n") + FactsText(module.facts, module.message);
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
    for (const int port : session.ports().numbersToSearch())
        searches.append(PortSearch{port, {}});

    std::atomic<bool> stop = false;
    std::atomic<int> running = int(searches.size());
    // QThreads, since the serial port needs a thread that Qt started.
    std::vector<std::unique_ptr<QThread>> threads;
    for (PortSearch &portSearch : searches) {
        threads.emplace_back(QThread::create([&, locked = request.settingIndex.has_value()] {
            search(portSearch, session, start, locked, stop);
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

    QList<WorkResult> modules;
    QStringList reasons;
    bool anyOpened = false;
    for (const PortSearch &portSearch : searches) {
        const WorkResult &result = portSearch.result;
        if (result.outcome == Outcome::Success)
            modules.append(result);
        else if (!result.portOpened)
            reasons << result.explanation().split(u'\n', Qt::SkipEmptyParts);
        anyOpened = anyOpened || result.portOpened;
    }
    // Where one module answered it is the one to remember; among several, none is.
    bool stored = modules.size() == 1 && session.stores() && !session.stopped();
    if (stored) {
        SharedState &state = session.state();
        state.ScanCommNo = modules.first().facts.port;
        state.ScanBaudRate = modules.first().facts.setting;
        state.ScanBaudRateNo = int(BaudRateModes().indexOf(modules.first().facts.setting));
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
