// The workflows through the real window, offscreen, against a simulated module.

#include "frm_module.h"
#include "shape_widget.h"
#include "simulated_ports.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

// The window on simulated ports, with a tone that only counts.
class Station
{
public:
    Station()
        : settings(ports.configFolder() + QStringLiteral("/VANTREL/Morvale.reg")),
          workflows(state, messages, settings, ports.portMap(), LinkServices::system(),
                    [this](int hz, int) { tones << hz; }),
          port(workflows.port()), window(state, messages, settings, workflows)
    {
        window.show();
    }

    template <typename T = QWidget> T *control(const char *name)
    {
        return window.findChild<T *>(QLatin1String(name));
    }
    void click(const char *name)
    {
        QTest::mouseClick(control<QAbstractButton>(name), Qt::LeftButton);
    }
    QString text(const char *name) { return control<QLabel>(name)->text(); }

    SimulatedPorts ports;
    MessageTable messages;
    SharedState state;
    StoredSettings settings;
    QList<int> tones;
    Workflows workflows;
    PortAccess &port;
    TfrmModule window;
};

} // namespace

class WindowWorkflowsTest : public QObject
{
    Q_OBJECT

private slots:
    void scanFillsTheWindow();
    void setIdAndBaudRateFromTheControls();
    void enterStartsAScan();
    void modeAndFactoryDefault();
    void liveLoopStoppedBy_data();
    void liveLoopStoppedBy();
    void closeDuringTheLiveLoop();
    void closeDuringAScan();
    void permissionFailureInTheTooltip();
    void deviceThatWentAwayInTheTooltip();
    void whatTheModuleSentIsShownAsSent();
};

void WindowWorkflowsTest::scanFillsTheWindow()
{
    Station s;
    ModuleState module;
    module.id = "23";
    module.serialNo = "AB123456";
    module.version = "02.10-07";
    module.holdMode = false;
    module.polarity = "0110" + QByteArray(12, '0');
    s.ports.addModule(4, 5, module);

    s.click("btnScan");

    QCOMPARE(s.text("pnMsg"), QStringLiteral("Get Module Info Ok. (COM : #4)"));
    QCOMPARE(s.text("pnSerial"), QStringLiteral("S/N : AB123456"));
    QCOMPARE(s.text("pnVersion"), QStringLiteral("VER : 02.10-07"));
    QCOMPARE(s.text("pnID"), QStringLiteral("23"));
    QCOMPARE(s.control<QScrollBar>("sbID")->value(), 23);
    QCOMPARE(s.control<QComboBox>("cmbMode")->currentIndex(), 1);
    QVERIFY(!s.control<QCheckBox>("chkDI1")->isChecked());
    QVERIFY(s.control<QCheckBox>("chkDI2")->isChecked());
    QVERIFY(s.control<QCheckBox>("chkDI3")->isChecked());
    QCOMPARE(s.control<TShape>("shComm")->brushColor(), QColor(255, 255, 0));
    QCOMPARE(s.tones, QList<int>{1000});
    QVERIFY(s.window.isEnabled());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(!s.window.findChild<QTimer *>(QStringLiteral("tmrBusy"))->isActive());
    QVERIFY(s.state.ModuleFound);
}

void WindowWorkflowsTest::setIdAndBaudRateFromTheControls()
{
    Station s;
    SimulatedModule &module = s.ports.addModule(2, 5);
    s.click("btnScan");
    QVERIFY(s.state.ModuleFound);

    s.control<QScrollBar>("sbID")->setValue(57);
    s.click("btnID");
    QCOMPARE(s.text("pnMsg"), QStringLiteral("Set Module ID Ok"));
    QCOMPARE(module.state().id, QByteArray("57"));

    s.control<QComboBox>("cmbBaudRate")->setCurrentIndex(8);
    s.click("btnBaudRate");
    QCOMPARE(s.text("pnMsg"), QStringLiteral("Set Module BaudRate Ok"));
    QTRY_COMPARE(module.state().settingIndex, 8);
    QCOMPARE(s.state.ScanBaudRate, QStringLiteral("57600,n,8,1"));

    // The next scan finds it at the remembered port with the new setting.
    s.click("btnScan");
    QCOMPARE(s.text("pnMsg"), QStringLiteral("Get Module Info Ok. (COM : #2)"));
    QCOMPARE(s.text("pnID"), QStringLiteral("57"));
    QCOMPARE(s.tones, (QList<int>{1000, 1000, 1000, 1000}));
}

void WindowWorkflowsTest::enterStartsAScan()
{
    Station s;
    s.ports.addModule(9, 5);
    QVERIFY(QTest::qWaitForWindowActive(&s.window));
    s.control("sbID")->setFocus();
    QTest::keyClick(s.control("sbID"), Qt::Key_Return);
    QCOMPARE(s.text("pnMsg"), QStringLiteral("Get Module Info Ok. (COM : #9)"));
}

void WindowWorkflowsTest::modeAndFactoryDefault()
{
    Station s;
    SimulatedModule &module = s.ports.addModule(3, 5);
    s.click("btnScan");
    s.control<QComboBox>("cmbMode")->setCurrentIndex(1);
    s.control<QCheckBox>("chkDI2")->setChecked(true);
    s.click("btnMode");
    QCOMPARE(s.text("pnMsg"), QStringLiteral("Set Module Mode Ok"));
    QVERIFY(!module.state().holdMode);
    QCOMPARE(module.state().polarity, "0100" + QByteArray(12, '0'));

    s.control<QScrollBar>("sbID")->setValue(12);
    s.click("btnFactory");
    QCOMPARE(s.text("pnMsg"), QStringLiteral("Set Factory Default Ok"));
    QCOMPARE(s.text("pnID"), QStringLiteral("01"));
    QCOMPARE(s.control<QComboBox>("cmbMode")->currentIndex(), 0);
    QVERIFY(!s.control<QCheckBox>("chkDI2")->isChecked());
    QVERIFY(module.state().holdMode);
    QCOMPARE(module.state().polarity, QByteArray(16, '0'));
}

void WindowWorkflowsTest::liveLoopStoppedBy_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("a second click") << "click";
    QTest::newRow("the Space key") << "space";
}

void WindowWorkflowsTest::liveLoopStoppedBy()
{
    QFETCH(QString, how);
    Station s;
    SimulatedModule &module = s.ports.addModule(5, 5);
    module.setContacts("0010");
    s.click("btnScan");
    QVERIFY(s.state.ModuleFound);
    auto *process = s.control<QPushButton>("btnProcess");
    s.control<QCheckBox>("chkDO4")->setChecked(true);

    QStringList disabledDuringTheLoop;
    QStringList enabledDuringTheLoop;
    QColor di3Lamp;
    QString caption;
    QWidget *focusedDuringTheLoop = nullptr;
    QTimer::singleShot(300, [&] {
        for (QWidget *w : s.window.findChildren<QWidget *>()) {
            // Only the window's own controls, by their design names (btnScan, chkDI1 ...).
            if (w->objectName().isEmpty() || !w->objectName().at(0).isLower() ||
                w->objectName().startsWith(u"qt_"))
                continue;
            (w->isEnabledTo(&s.window) ? enabledDuringTheLoop : disabledDuringTheLoop)
                << w->objectName();
        }
        di3Lamp = s.control<TShape>("shDI3")->brushColor();
        caption = process->text();
        QVERIFY(s.window.isEnabled());
        // The button keeps the keyboard focus it had when the loop started.
        focusedDuringTheLoop = s.window.focusWidget();
        if (how == u"click")
            QTest::mouseClick(process, Qt::LeftButton);
        else
            QTest::keyClick(process, Qt::Key_Space);
    });
    if (how == u"click") {
        QTest::mouseClick(process, Qt::LeftButton);
    } else {
        QVERIFY(QTest::qWaitForWindowActive(&s.window));
        process->setFocus();
        QTest::keyClick(process, Qt::Key_Space);
    }

    QCOMPARE(caption, QStringLiteral("Cancel Process Module(Space Key)"));
    if (how == u"space")
        QCOMPARE(focusedDuringTheLoop, process);
    QCOMPARE(di3Lamp, QColor(255, 255, 0));
    disabledDuringTheLoop.sort();
    QStringList eleven{"btnExit", "btnScan", "btnFactory", "btnID", "btnBaudRate", "btnMode",
                       "gbDefault", "btnEng", "btnGB", "btnBIG5", "gbNONC",
                       // inside the two groups
                       "pcDefault", "tsDefault", "chkDI1", "chkDI2", "chkDI3", "chkDI4"};
    eleven.sort();
    QCOMPARE(disabledDuringTheLoop, eleven);
    for (const char *usable : {"btnProcess", "btnAll", "chkDO1", "chkDO4", "cmbBaudRate", "sbID"})
        QVERIFY2(enabledDuringTheLoop.contains(QLatin1String(usable)), usable);

    QCOMPARE(module.state().outputs, QByteArray("0001"));
    QCOMPARE(process->text(), QStringLiteral("Process Module"));
    QCOMPARE(s.control<TShape>("shComm")->brushColor(), QColor(255, 255, 0));
    QCOMPARE(s.control<TShape>("shDI3")->brushColor(), QColor(255, 255, 255));
    QVERIFY(!s.control<QCheckBox>("chkDO4")->isChecked());
    QVERIFY(s.control("btnExit")->isEnabled() && s.control("gbNONC")->isEnabled());
    QVERIFY(!s.state.ProcessRunning);
    QVERIFY(!s.port.IsOpen());
    QCOMPARE(s.tones, (QList<int>{1000, 1000}));
}

void WindowWorkflowsTest::closeDuringTheLiveLoop()
{
    Station s;
    SimulatedModule &module = s.ports.addModule(6, 5);
    s.click("btnScan");
    bool visibleAfterClose = false;
    bool portOpenAfterClose = false;
    QTimer::singleShot(250, [&] {
        // As from the window manager: the loop is asked to end, the window waits.
        s.window.close();
        visibleAfterClose = s.window.isVisible();
        portOpenAfterClose = s.port.IsOpen();
    });
    s.click("btnProcess");
    QVERIFY(visibleAfterClose);
    QVERIFY(portOpenAfterClose);
    QVERIFY(!s.port.IsOpen());
    QVERIFY(!s.state.ProcessRunning);
    QTRY_VERIFY(!s.window.isVisible());
    // The port can be had again: it was closed, not abandoned.
    QVERIFY(s.port.OpenPort(6, QStringLiteral("19200,e,8,1")));
    s.port.ClosePort();
    QVERIFY(!module.hasVanished());
}

void WindowWorkflowsTest::closeDuringAScan()
{
    // Sixteen silent ports take a locked search about five seconds; a close from
    // outside ends it at the exchange it is in, stores nothing, and closes the window.
    Station s;
    QList<SimulatedModule *> silent;
    for (int port = 1; port <= 16; ++port)
        silent << &s.ports.addSilentPort(port);
    QTimer::singleShot(250, [&] { s.window.close(); });
    const qint64 ms = MeasureMs([&] { s.click("btnScan"); });
    QVERIFY2(ms < 250 + 400, qPrintable(QString::number(ms)));
    QVERIFY(!s.port.IsOpen());
    QTRY_VERIFY(!s.window.isVisible());
    QVERIFY(!QFile::exists(s.ports.configFolder() + QStringLiteral("/VANTREL/Morvale.reg")));
    QVERIFY(s.tones.isEmpty());
    QVERIFY(silent.last()->trace().isEmpty());
    // Nothing else was tried once the close had come.
    QTest::qWait(200);
    int requests = 0;
    for (const SimulatedModule *port : silent)
        requests += int(port->trace().size());
    QVERIFY2(requests <= 3, qPrintable(QString::number(requests)));
}

void WindowWorkflowsTest::permissionFailureInTheTooltip()
{
    // Root opens every device: as root the test gives COM3's device to group dialout and
    // runs itself again as nobody, in no group, on that ports folder.
    const QString preparedPorts = qEnvironmentVariable("TX4040_TEST_PORTS_FOLDER");
    if (::geteuid() == 0) {
        SimulatedPorts ports;
        QVERIFY(CloseToUnprivileged(ports, ports.addModule(3).devicePath()));
        QProcess nobody;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TX4040_TEST_PORTS_FOLDER"), ports.portsFolder());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        nobody.setProcessEnvironment(environment);
        nobody.setProcessChannelMode(QProcess::MergedChannels);
        QStringList command = Unprivileged(QCoreApplication::applicationFilePath(),
                                           {QStringLiteral("permissionFailureInTheTooltip")});
        nobody.start(command.takeFirst(), command);
        QVERIFY(nobody.waitForFinished(30000));
        QVERIFY2(nobody.exitCode() == 0, nobody.readAll().constData());
        return;
    }

    // Anyone else: a device closed to its own owner.
    std::optional<SimulatedPorts> ownPorts;
    QString portsFolder = preparedPorts;
    if (portsFolder.isEmpty()) {
        ownPorts.emplace();
        portsFolder = ownPorts->portsFolder();
        QVERIFY(CloseToUnprivileged(*ownPorts, ownPorts->addModule(3).devicePath()));
    }
    const QString device = PortMap(portsFolder).mappedPath(3);
    QTemporaryDir config;
    MessageTable messages;
    SharedState state;
    StoredSettings settings(config.path() + QStringLiteral("/Morvale.reg"));
    Workflows workflows(state, messages, settings, PortMap(portsFolder), LinkServices::system(),
                        [](int, int) {});
    TfrmModule window(state, messages, settings, workflows);
    window.show();
    QTest::mouseClick(window.findChild<QAbstractButton *>(QStringLiteral("btnScan")),
                      Qt::LeftButton);

    const QLabel *message = window.findChild<QLabel *>(QStringLiteral("pnMsg"));
    QCOMPARE(message->text(), QStringLiteral("Module Not Find"));
    const QString reason = message->toolTip();
    QVERIFY2(reason.contains(QStringLiteral("COM3 (%1): permission denied: ").arg(device)),
             qPrintable(reason));
    if (!preparedPorts.isEmpty())
        QVERIFY2(reason.contains(QStringLiteral("belongs to group dialout, which you are not in: "
                                                "add yourself to group dialout and log in again")),
                 qPrintable(reason));
}

void WindowWorkflowsTest::deviceThatWentAwayInTheTooltip()
{
    Station s;
    SimulatedModule &module = s.ports.addModule(2, 5);
    s.click("btnScan");
    QVERIFY(s.state.ModuleFound);
    // The adapter is pulled out as the module hears the new ID.
    module.addFault(*ParseFault(QStringLiteral("hang-up@B00C")));
    s.click("btnID");

    QCOMPARE(s.text("pnMsg"), QStringLiteral("Set Module ID Error"));
    QCOMPARE(s.window.findChild<QLabel *>(QStringLiteral("pnMsg"))->toolTip(),
             QStringLiteral("COM2 (%1) went away").arg(module.devicePath()));
}

void WindowWorkflowsTest::whatTheModuleSentIsShownAsSent()
{
    // A serial number that reads as markup is shown character for character, not bold.
    Station s;
    s.ports.addModule(4, 5, ModuleWithSerial("<b>12345"));
    s.click("btnScan");
    const QLabel *serial = s.window.findChild<QLabel *>(QStringLiteral("pnSerial"));
    QCOMPARE(serial->text(), QStringLiteral("S/N : <b>12345"));
    QVERIFY(serial->sizeHint().width() >
            serial->fontMetrics().horizontalAdvance(QStringLiteral("S/N : <b>12345")));
}

QTEST_MAIN(WindowWorkflowsTest)
#include "test_window_workflows.moc"
