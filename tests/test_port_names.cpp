// Stable port names: tx4040 map and unmap, and what tx4040 ports says of an adapter,
// against a sysfs and a /dev/serial of the test's own.

#include "port_map.h"
#include "program_run.h"
#include "simulated_ports.h"
#include "system_consoles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include <memory>
#include <vector>

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using Run = ProgramRun;

// The adapter a pseudo-terminal stands for, as sysfs and udev would tell of it.
struct Adapter
{
    bool usb = false;
    QByteArray serial;     // null: no serial file
    int latencyTimer = -1; // -1: no latency_timer file
    bool byIdName = false; // udev's /dev/serial/by-id link
    bool byPathName = false;
    int driverLatency = 0; // what the simulated driver plays (0: a plain pty)
    bool driverRefuses = false;
};

// A machine of the test's own: the program's configuration in SimulatedPorts' folder,
// sysfs and /dev/serial under a temporary folder, and pseudo-terminals played by silent
// simulated modules whose links are in a folder that the program never looks at.
class Machine
{
public:
    Machine()
    {
        qputenv("TX4040_SYSFS_ROOT", QFile::encodeName(sysfs()));
        qputenv("TX4040_DEV_SERIAL_ROOT", QFile::encodeName(devSerial()));
        QDir().mkpath(sysfs() + QStringLiteral("/class/tty"));
        QDir().mkpath(devSerial() + QStringLiteral("/by-id"));
        QDir().mkpath(devSerial() + QStringLiteral("/by-path"));
        // The root hub has a vendor and a "serial" of its own, which no adapter below it
        // may take for its serial number.
        writeFile(usbBus() + QStringLiteral("/idVendor"), "1d6b");
        writeFile(usbBus() + QStringLiteral("/serial"), "0000:00:14.0");
    }
    ~Machine()
    {
        m_devices.clear();
        qunsetenv("TX4040_SYSFS_ROOT");
        qunsetenv("TX4040_DEV_SERIAL_ROOT");
    }

    QString sysfs() const { return m_root.path() + QStringLiteral("/sys"); }
    QString devSerial() const { return m_root.path() + QStringLiteral("/serial"); }
    QString portsFolder() const { return m_ports.portsFolder(); }
    SimulatedPorts &ports() { return m_ports; }
    bool removePortsFolder() { return QDir().rmdir(portsFolder()); }

    // A pseudo-terminal standing for that adapter; returns its device.
    QString addDevice(const Adapter &adapter = {})
    {
        const int k = int(m_devices.size()) + 1;
        SimConfig config;
        config.portsFolder = m_root.path() + QStringLiteral("/elsewhere");
        config.portNumber = k;
        config.silent = true;
        config.latencyMs = adapter.driverLatency;
        config.refusesLowLatency = adapter.driverRefuses;
        auto module = std::make_unique<SimulatedModule>(config);
        QString error;
        if (!module->start(&error))
            qFatal("pseudo-terminal %d: %s", k, qPrintable(error));
        const QString device = module->devicePath();
        m_devices.push_back(std::move(module));

        const QString usbDevice = usbBus() + QStringLiteral("/1-%1").arg(k);
        const QString port =
            adapter.usb ? usbDevice + QStringLiteral("/1-%1:1.0/ttyUSB%1").arg(k)
                        : sysfs() + QStringLiteral("/devices/pnp0/00:0%1/tty/ttyS%1").arg(k);
        QDir().mkpath(port);
        if (adapter.usb) {
            writeFile(usbDevice + QStringLiteral("/idVendor"), "1a86\n");
            writeFile(usbDevice + QStringLiteral("/idProduct"), "7523\n");
            if (!adapter.serial.isNull())
                writeFile(usbDevice + QStringLiteral("/serial"), adapter.serial + '\n');
        }
        if (adapter.latencyTimer >= 0)
            writeFile(port + QStringLiteral("/latency_timer"),
                      QByteArray::number(adapter.latencyTimer) + '\n');
        if (adapter.usb || adapter.latencyTimer >= 0) {
            // /dev/pts/N is "N" to sysfs; its device link is relative, as the kernel's.
            const QString entry = sysfs() + QStringLiteral("/class/tty/") + baseName(device);
            QDir().mkpath(entry);
            QFile::link(QDir(entry).relativeFilePath(port), entry + QStringLiteral("/device"));
        }
        if (adapter.byIdName)
            QFile::link(device, byIdName(k));
        if (adapter.byPathName)
            QFile::link(device, byPathName(k));
        return device;
    }

    // The names udev would give the k-th device.
    QString byIdName(int k) const
    {
        return devSerial() + QStringLiteral("/by-id/usb-1a86_USB_Serial-if0%1-port0").arg(k);
    }
    QString byPathName(int k) const
    {
        return devSerial() + QStringLiteral("/by-path/pci-0000:00:14.0-usb-0:%1:1.0-port0").arg(k);
    }
    QString latencyTimerPath(const QString &device) const
    {
        return sysfs() + QStringLiteral("/class/tty/") + baseName(device) +
               QStringLiteral("/device/latency_timer");
    }

    Run tx4040(const QStringList &arguments) const
    {
        return RunProgram(QStringLiteral("tx4040"), arguments);
    }

    // "tx4040 ports --json", by COM number (0: the consoles).
    QMap<int, QJsonObject> listedPorts() const
    {
        const Run run = tx4040({QStringLiteral("ports"), QStringLiteral("--json")});
        QMap<int, QJsonObject> ports;
        if (run.exitCode != 0)
            return ports;
        const QJsonObject report = QJsonDocument::fromJson(run.output).object();
        for (const QJsonValue &value : report.value(QStringLiteral("ports")).toArray())
            ports.insert(value.toObject().value(QStringLiteral("port")).toInt(), value.toObject());
        return ports;
    }

private:
    QString usbBus() const
    {
        return sysfs() + QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1");
    }
    static QString baseName(const QString &device) { return QFileInfo(device).fileName(); }
    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
    }

    SimulatedPorts m_ports;
    QTemporaryDir m_root;
    std::vector<std::unique_ptr<SimulatedModule>> m_devices;
};

QString linkTarget(const QString &path)
{
    return QFileInfo(path).symLinkTarget();
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                  QDir::NoDotAndDotDot);
}

} // namespace

class PortNamesTest : public QObject
{
    Q_OBJECT

private slots:
    void mapLinksTheStableName_data();
    void mapLinksTheStableName();
    void firstMapKeepsTheSystemNumbering();
    void mapOverALinkSaysWhatItWas();
    void unmap_data();
    void unmap();
    void refusals_data();
    void refusals();
    void portsShowsTheAdapter_data();
    void portsShowsTheAdapter();
};

void PortNamesTest::mapLinksTheStableName_data()
{
    QTest::addColumn<Adapter>("adapter");
    QTest::addColumn<QString>("givenAs"); // device, by-id, by-path
    QTest::addColumn<QString>("linkedAs");
    const Adapter ftdi{true, "A50285BI", -1, true, true};
    const Adapter ch340{true, {}, -1, true, true};
    QTest::newRow("serial number: by-id") << ftdi << "device"
                                          << "by-id";
    QTest::newRow("serial number, given by its by-path name") << ftdi << "by-path"
                                                              << "by-id";
    QTest::newRow("serial number but no by-id name: by-path")
        << Adapter{true, "A50285BI", -1, false, true} << "device"
        << "by-path";
    QTest::newRow("no serial number: by-path") << ch340 << "device"
                                               << "by-path";
    QTest::newRow("no serial number, given by its by-id name") << ch340 << "by-id"
                                                               << "by-path";
    QTest::newRow("empty serial number: by-path") << Adapter{true, "", -1, true, true} << "device"
                                                  << "by-path";
    QTest::newRow("no stable name: the device") << Adapter{} << "device"
                                                << "device";
}

void PortNamesTest::mapLinksTheStableName()
{
    QFETCH(Adapter, adapter);
    QFETCH(QString, givenAs);
    QFETCH(QString, linkedAs);
    Machine machine;
    const QString device = machine.addDevice(adapter);
    const auto name = [&](const QString &kind) {
        return kind == u"by-id" ? machine.byIdName(1)
                                : (kind == u"by-path" ? machine.byPathName(1) : device);
    };

    const Run run = machine.tx4040({QStringLiteral("map"), QStringLiteral("7"), name(givenAs)});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.output, QStringLiteral("COM7 -> %1\n").arg(name(linkedAs)).toUtf8());
    const QString link = machine.portsFolder() + QStringLiteral("/COM7");
    QCOMPARE(linkTarget(link), name(linkedAs));
    QCOMPARE(machine.ports().portMap().devicePath(7), device);
}

void PortNamesTest::firstMapKeepsTheSystemNumbering()
{
    // Without a ports folder the machine's own ports are the list: whatever they are,
    // each keeps its number and device.
    Machine machine;
    QVERIFY(machine.removePortsFolder());
    const QString device = machine.addDevice(Adapter{true, {}, -1, true, true});
    QMap<int, QJsonObject> before = machine.listedPorts();
    before.remove(0);

    const Run run = machine.tx4040({QStringLiteral("map"), QStringLiteral("9999"), device});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.output.startsWith(
                 QStringLiteral("created the ports folder %1").arg(machine.portsFolder()).toUtf8()),
             run.output.constData());
    QVERIFY2(run.output.endsWith(
                 QStringLiteral("\nCOM9999 -> %1\n").arg(machine.byPathName(1)).toUtf8()),
             run.output.constData());
    QVERIFY(QFileInfo(machine.portsFolder()).isDir());

    const QMap<int, QJsonObject> after = machine.listedPorts();
    for (auto port = before.cbegin(); port != before.cend(); ++port) {
        QVERIFY2(run.output.contains(QStringLiteral("\nCOM%1 -> ").arg(port.key()).toUtf8()),
                 run.output.constData());
        QCOMPARE(after.value(port.key()).value(QStringLiteral("device")),
                 port.value().value(QStringLiteral("device")));
        QCOMPARE(after.value(port.key()).value(QStringLiteral("mappedBy")).toString(),
                 QStringLiteral("ports folder"));
    }
    QCOMPARE(after.value(9999).value(QStringLiteral("device")).toString(), device);
}

void PortNamesTest::mapOverALinkSaysWhatItWas()
{
    Machine machine;
    const QString old = machine.ports().addSilentPort(3).devicePath();
    const QString device = machine.addDevice();

    const Run run = machine.tx4040({QStringLiteral("map"), QStringLiteral("3"), device});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.output, QStringLiteral("COM3 -> %1 (was %2)\n").arg(device, old).toUtf8());
    // Replaced in one step, and no longer the simulated module's to take over.
    QCOMPARE(folderEntries(machine.portsFolder()), QStringList{QStringLiteral("COM3")});
    QCOMPARE(linkTarget(machine.portsFolder() + QStringLiteral("/COM3")), device);
}

void PortNamesTest::unmap_data()
{
    QTest::addColumn<bool>("simulated"); // COM3 is a simulated module's own link
    QTest::addColumn<QList<int>>("mapped");
    QTest::addColumn<bool>("otherFile");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("said"); // <device>, <folder>
    QTest::addColumn<QByteArray>("error");
    QTest::addColumn<QStringList>("left"); // the folder's entries; empty: it is gone
    QTest::newRow("one of two") << false << QList<int>{3, 5} << false << 0
                                << QStringList{"COM3 removed (was <device>)"} << QByteArray()
                                << QStringList{"COM5"};
    QTest::newRow("the last: the system's list again")
        << false << QList<int>{3} << false << 0
        << QStringList{"COM3 removed (was <device>)", "removed the ports folder <folder>: the "
                                                      "system's list numbers the ports again"}
        << QByteArray() << QStringList{};
    QTest::newRow("the last, beside another file")
        << false << QList<int>{3} << true << 0 << QStringList{"COM3 removed (was <device>)"}
        << QByteArray("stays (it holds other files)") << QStringList{"notes.txt"};
    QTest::newRow("a simulated module's link, with its record")
        << true << QList<int>{} << false << 0
        << QStringList{"COM3 removed (was <device>)", "removed the ports folder <folder>: the "
                                                      "system's list numbers the ports again"}
        << QByteArray() << QStringList{};
    QTest::newRow("not mapped") << false << QList<int>{5} << false << 2 << QStringList{}
                                << QByteArray("COM3 is not mapped") << QStringList{"COM5"};
}

void PortNamesTest::unmap()
{
    QFETCH(bool, simulated);
    QFETCH(QList<int>, mapped);
    QFETCH(bool, otherFile);
    QFETCH(int, exitCode);
    QFETCH(QStringList, said);
    QFETCH(QByteArray, error);
    QFETCH(QStringList, left);
    Machine machine;
    const QString device =
        simulated ? machine.ports().addSilentPort(3).devicePath() : machine.addDevice();
    for (const int n : mapped)
        QCOMPARE(machine
                     .tx4040({QStringLiteral("map"), QString::number(n),
                              n == 3 ? device : machine.addDevice()})
                     .exitCode,
                 0);
    if (otherFile)
        QVERIFY(
            QFile(machine.portsFolder() + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly));

    const Run run = machine.tx4040({QStringLiteral("unmap"), QStringLiteral("3")});
    QCOMPARE(run.exitCode, exitCode);
    QString expected;
    for (const QString &line : said)
        expected += QString(line)
                        .replace(QStringLiteral("<device>"), device)
                        .replace(QStringLiteral("<folder>"), machine.portsFolder()) +
                    u'\n';
    QCOMPARE(run.output, expected.toUtf8());
    QVERIFY2(run.errors.contains(error), run.errors.constData());
    QCOMPARE(folderEntries(machine.portsFolder()), left);
    QCOMPARE(QFileInfo::exists(machine.portsFolder()), !left.isEmpty());
}

void PortNamesTest::refusals_data()
{
    QTest::addColumn<QStringList>("arguments"); // "PTY": a pseudo-terminal
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("a regular file")
        << QStringList{"map", "3", QCoreApplication::applicationFilePath()}
        << QByteArray("is not a serial device");
    QTest::newRow("/dev/null") << QStringList{"map", "3", "/dev/null"}
                               << QByteArray("/dev/null is not a serial device");
    QTest::newRow("no such device") << QStringList{"map", "3", "/dev/ttyUSB-none"}
                                    << QByteArray("no such device: /dev/ttyUSB-none");
    QTest::newRow("the kernel's console")
        << QStringList{"map", "3", "/dev/console"} << QByteArray("system console");
    const QStringList consoles = SystemConsoleDevices();
    if (!consoles.isEmpty() && QFileInfo::exists(consoles.first()))
        QTest::newRow("this machine's console")
            << QStringList{"map", "3", consoles.first()} << QByteArray("system console");
    QTest::newRow("COM0") << QStringList{"map", "0", "PTY"} << QByteArray("from 1 to 9999: 0");
    QTest::newRow("COM10000") << QStringList{"map", "10000", "PTY"}
                              << QByteArray("from 1 to 9999: 10000");
    QTest::newRow("a name for a number")
        << QStringList{"map", "COM3", "PTY"} << QByteArray("from 1 to 9999: COM3");
    QTest::newRow("no device") << QStringList{"map", "3"} << QByteArray("takes 2 arguments");
    QTest::newRow("unmap without a ports folder")
        << QStringList{"unmap", "3"} << QByteArray("COM3 is not mapped: there is no ports folder");
}

void PortNamesTest::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, said);
    Machine machine;
    QVERIFY(machine.removePortsFolder());
    arguments.replaceInStrings(QStringLiteral("PTY"), machine.addDevice());
    const Run run = machine.tx4040(arguments);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.output, QByteArray());
    QVERIFY2(run.errors.contains(said), run.errors.constData());
    QVERIFY(!QFileInfo::exists(machine.portsFolder()));
}

void PortNamesTest::portsShowsTheAdapter_data()
{
    QTest::addColumn<Adapter>("adapter");
    QTest::addColumn<bool>("heldByAnother");
    QTest::addColumn<QJsonObject>("keys"); // what the JSON says; null: no such key
    QTest::addColumn<QString>("line");     // <by-path>: its name; <timer>: the latency file
    const QJsonValue none;
    QTest::newRow("serial number")
        << Adapter{true, "A50285BI", -1, true, true} << false
        << QJsonObject{{"usbSerialNumber", true}, {"usbId", "1a86:7523"}, {"latencyTimerMs", none}}
        << QString();
    QTest::newRow("no serial number")
        << Adapter{true, {}, -1, true, true} << false
        << QJsonObject{{"usbSerialNumber", false}, {"lowLatency", none}}
        << "USB adapter without a serial number: tx4040 map maps it by its USB path, <by-path>, "
           "which changes when the adapter is plugged into another USB socket";
    QTest::newRow("latency timer at 1 ms: nothing asked")
        << Adapter{true, "A50285BI", 1, true, true, 1} << false
        << QJsonObject{{"latencyTimerMs", 1}, {"lowLatency", none}} << "latency timer 1 ms\n";
    QTest::newRow("driver takes low latency")
        << Adapter{true, "A50285BI", 16, true, true, 16} << false
        << QJsonObject{{"latencyTimerMs", 16}, {"lowLatency", "taken"}}
        << "latency timer 16 ms: the driver takes low latency, so tx4040 lowers it to 1 ms "
           "while it holds the port\n";
    QTest::newRow("driver refuses low latency")
        << Adapter{true, "A50285BI", 16, true, true, 16, true} << false
        << QJsonObject{{"latencyTimerMs", 16}, {"lowLatency", "refused"}}
        << "latency timer 16 ms: the driver refused low latency (Invalid argument), so each "
           "reply may wait that long; lower the timer with: echo 1 | sudo tee <timer> ";
    QTest::newRow("driver without the setting")
        << Adapter{false, {}, 16, false, false, 0} << false
        << QJsonObject{{"usbSerialNumber", none}, {"lowLatency", "refused"}}
        << "the driver refused low latency (Inappropriate ioctl for device)";
    QTest::newRow("port held by another program: not asked")
        << Adapter{true, "A50285BI", 16, true, true, 16} << true
        << QJsonObject{{"latencyTimerMs", 16}, {"lowLatency", none}} << "latency timer 16 ms\n";
}

void PortNamesTest::portsShowsTheAdapter()
{
    QFETCH(Adapter, adapter);
    QFETCH(bool, heldByAnother);
    QFETCH(QJsonObject, keys);
    QFETCH(QString, line);
    Machine machine;
    const QString device = machine.addDevice(adapter);
    QCOMPARE(machine.tx4040({QStringLiteral("map"), QStringLiteral("2"), device}).exitCode, 0);
    const int held = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(held >= 0);
    const auto closeHeld = qScopeGuard([held] { ::close(held); });
    if (heldByAnother)
        QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);

    const QJsonObject port = machine.listedPorts().value(2);
    QCOMPARE(port.value(QStringLiteral("device")).toString(), device);
    for (auto key = keys.constBegin(); key != keys.constEnd(); ++key)
        QVERIFY2(key.value().isNull() ? !port.contains(key.key())
                                      : port.value(key.key()) == key.value(),
                 qPrintable(key.key() + QStringLiteral(": ") +
                            QJsonDocument(port).toJson(QJsonDocument::Compact)));
    const Run text = machine.tx4040({QStringLiteral("ports")});
    QCOMPARE(text.exitCode, 0);
    const QString expected =
        QString(line)
            .replace(QStringLiteral("<by-path>"), machine.byPathName(1))
            .replace(QStringLiteral("<timer>"), machine.latencyTimerPath(device));
    QVERIFY2(expected.isEmpty() ? !text.output.contains("USB adapter without")
                                : text.output.contains(expected.toUtf8()),
             text.output.constData());
    // A driver that took low latency for the question has it taken back.
    if (adapter.driverLatency > 0) {
        serial_struct serial{};
        QCOMPARE(::ioctl(held, TIOCGSERIAL, &serial), 0);
        QCOMPARE(serial.flags & ASYNC_LOW_LATENCY, 0);
    }
}

QTEST_GUILESS_MAIN(PortNamesTest)
#include "test_port_names.moc"
