// tx4040-config: the configuration utility for the VANTREL TX4040 module.

#include "application.h"
#include "config_folder.h"
#include "frm_module.h"
#include "link_services.h"
#include "information_options.h"
#include "message_table.h"
#include "pictures.h"
#include "port_map.h"
#include "shared_state.h"
#include "stored_settings.h"
#include "termination_signals.h"
#include "tone.h"
#include "workflows.h"

#include <cstdio>
#include <exception>
#include <optional>

int main(int argc, char *argv[])
{
    // Answered before the window system is needed, so that they work without a display.
    if (const std::optional<int> status = AnswerInformationOptions(argc, argv))
        return *status;
    // Before the window and any port: the log must hold the first frame.
    LinkServices services = LinkServices::system();
    if (const std::optional<int> status = TakeTraceOption(argc, argv, services.trace))
        return *status;
    if (const std::optional<int> status = RefuseWithoutDisplay())
        return *status;

    // Before anything else: the message table, and the state with empty texts.
    const MessageTable messages;
    SharedState state;

    TApplication app(argc, argv);
    TApplication::setApplicationName(QStringLiteral("VANTREL TX4040 Module Config"));
    TApplication::setDesktopFileName(QStringLiteral(TX4040_DESKTOP_ID));
    TApplication::setStyle(QStringLiteral("Fusion"));
    TApplication::setWindowIcon(PictureIcon(Picture::ApplicationIcon));
    int status = 1;
    try {
        const StoredSettings settings;
        const PortMap ports(PortsFolder());
        // Said at once: a scan could only end "Module Not Find".
        if (const QString warning = ports.emptyFolderWarning(); !warning.isEmpty())
            std::fprintf(stderr, "tx4040-config: %s\n", qPrintable(warning));
        Workflows workflows(state, messages, settings, ports, services, Beep);
        TfrmModule frmModule(state, messages, settings, workflows);
        TerminationSignals termination;
        QObject::connect(&termination, &TerminationSignals::terminationRequested, &frmModule,
                         &QWidget::close);
        // The session ending closes the window as any other close from outside does.
        QObject::connect(&app, &QGuiApplication::commitDataRequest, &frmModule, &QWidget::close);
        frmModule.show();
        status = TApplication::exec();
    } catch (const std::exception &e) {
        TApplication::showException(e);
    }
    EndAsABrokenPipeDoes();
    return status;
}
