// The workflows through the real window, offscreen, against a simulated module.

#include "frm_module.h"
#include "shape_widget.h"
#include "simulated_ports.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

namespace {

// The window on simulated ports, with a tone that only counts.
class Station
{
public:
    Station()
        : settings(ports.configFolder() + QStringLiteral("/VANTREL/Morvale.reg")),
          port(ports.portMap(), LinkServices::system()), exchange(port),
          window(state, messages, settings, port, exchange, [this](int hz, int) { tones << hz; })
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
    PortAccess port;
    CommandExchange exchange;
    QList<int> tones;
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

QTEST_MAIN(WindowWorkflowsTest)
#include "test_window_workflows.moc"
