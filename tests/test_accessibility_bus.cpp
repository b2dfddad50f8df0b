// The real window as a screen reader reads it: through the accessibility bus (AT-SPI) on a
// private D-Bus session, under Xvfb, after a scan of a simulated module.

#include "session_bus.h"
#include "simulated_ports.h"
#include "stored_settings.h"
#include "xvfb_display.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <optional>

namespace {

struct Accessible
{
    QString role;
    QString name;
    QString description;
    bool operator==(const Accessible &) const = default;
};

using Accessibles = QList<Accessible>;

// The program and the reader, on one display and one session bus.
class ScreenReaderBench
{
public:
    ScreenReaderBench(const XvfbDisplay &x, const SessionBus &bus)
    {
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("DISPLAY"), x.display());
        m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        m_environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    }

    void startProgram()
    {
        QProcessEnvironment environment = WithPtyLine(m_environment);
        // Qt speaks to the accessibility bus only when a screen reader is running, or
        // when told to.
        environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        m_program.setProcessEnvironment(environment);
        m_program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tx4040-config"));
        m_program.waitForStarted();
    }

    ~ScreenReaderBench()
    {
        m_program.terminate();
        if (!m_program.waitForFinished(10000))
            m_program.kill();
    }

    // What atspi_tree.py prints; nothing when it failed.
    std::optional<QByteArray> reader(const QStringList &arguments,
                                     QDeadlineTimer deadline = QDeadlineTimer(20000))
    {
        QProcess reader;
        reader.setProcessEnvironment(m_environment);
        reader.start(QStringLiteral("/usr/bin/python3"),
                     QStringList{QStringLiteral(TX4040_ATSPI_TREE)} + arguments);
        if (!reader.waitForFinished(int(std::max<qint64>(deadline.remainingTime(), 1))) ||
            reader.exitStatus() != QProcess::NormalExit || reader.exitCode() != 0) {
            qWarning("atspi_tree.py: %s", reader.readAllStandardError().constData());
            return std::nullopt;
        }
        return reader.readAllStandardOutput();
    }

    Accessibles tree(QDeadlineTimer deadline = QDeadlineTimer(20000))
    {
        Accessibles all;
        const QByteArray dump =
            reader({QStringLiteral("dump"), Application}, deadline).value_or(QByteArray());
        for (const QByteArray &line : dump.split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            if (!object.isEmpty())
                all.append({object.value(QStringLiteral("role")).toString(),
                            object.value(QStringLiteral("name")).toString(),
                            object.value(QStringLiteral("description")).toString()});
        }
        return all;
    }

    bool press(const QString &button)
    {
        return reader({QStringLiteral("press"), Application, button}).has_value();
    }

    static inline const QString Application = QStringLiteral("VANTREL TX4040 Module Config");

private:
    QProcessEnvironment m_environment;
    QProcess m_program;
};

QString describe(const Accessible &a)
{
    return QStringLiteral("%1 \"%2\" (%3)").arg(a.role, a.name, a.description);
}

} // namespace

Q_DECLARE_METATYPE(Accessibles)

class AccessibilityBusTest : public QObject
{
    Q_OBJECT

private slots:
    void windowAfterAScan_data();
    void windowAfterAScan();
};

void AccessibilityBusTest::windowAfterAScan_data()
{
    QTest::addColumn<QString>("storedLanguage");
    QTest::addColumn<QString>("scanButton");
    QTest::addColumn<Accessibles>("expected");
    QTest::newRow("English")
        << "English"
        << "Scan Module"
        << Accessibles{
               {"label", "Get Module Info Ok. (COM : #3)", ""},
               {"label", "S/N : TX040001", ""},
               {"label", "VER : 01.05-03", ""},
               {"label", "01", ""},
               {"image", "Communication lamp", "success"},
               {"image", "Input DI1", "off"},
               {"scroll bar", "ID", ""},
               {"check box", "Search at one baud rate only",
                "The scan tries each COM port only at the baud rate it last found the "
                "module at"},
               {"push button", "Set Module ID", ""},
               {"push button", "All outputs", "Turns DO1 to DO4 all on, or all off when DO1 is on"},
               {"push button", "English", ""},
               {"push button", "简体中文", "Simplified Chinese"},
               {"push button", "繁體中文", "Traditional Chinese"},
               {"filler", "Default", ""},
               {"push button", "(Factory Default)", ""}};
    QTest::newRow("Simplified Chinese")
        << "ChineseGB"
        << "扫描模组"
        << Accessibles{
               {"label", "读取模组资讯完成. (串口 : #3)", ""},
               {"label", "序号 : TX040001", ""},
               {"label", "版本 : 01.05-03", ""},
               {"image", "通讯灯", "成功"},
               {"image", "输入 DI1", "关"},
               {"scroll bar", "编号", ""},
               {"check box", "只以一种通讯速度扫描", "扫描时每个串口只试上次找到模组的通讯速度"},
               {"push button", "设定模组编号", ""},
               {"push button", "全部输出", "DO1 至 DO4 全部打开; DO1 已打开时全部关闭"},
               {"push button", "简体中文", "简体中文"},
               {"push button", "繁體中文", "繁体中文"},
               {"filler", "预设", ""},
               {"push button", "(出厂预设)", ""}};
}

void AccessibilityBusTest::windowAfterAScan()
{
    QFETCH(QString, storedLanguage);
    QFETCH(QString, scanButton);
    QFETCH(Accessibles, expected);
    XvfbDisplay x;
    QVERIFY2(!x.display().isEmpty(), "Xvfb did not start");
    SessionBus bus;
    QVERIFY2(!bus.address().isEmpty(), "dbus-daemon did not start");
    SimulatedPorts ports;
    ports.addModule(3);
    SharedState stored;
    stored.LanguageFlag = storedLanguage;
    StoredSettings().SaveLanguageFlag(stored);

    ScreenReaderBench bench(x, bus);
    bench.startProgram();
    QVERIFY(bench.press(scanButton));
    // A deadline, not QTRY's count of steps: a window too busy to answer makes each
    // reading slow, and the steps would add up to hours.
    const QDeadlineTimer deadline(30000);
    Accessibles tree = bench.tree(deadline);
    while (!tree.contains(expected.first()) && !deadline.hasExpired()) {
        QTest::qWait(100);
        tree = bench.tree(deadline);
    }
    QVERIFY2(tree.contains(expected.first()), qPrintable(describe(expected.first())));
    // Read once more: the lamp follows the message.
    tree = bench.tree();
    for (const Accessible &a : expected)
        QVERIFY2(tree.contains(a), qPrintable(describe(a)));
    // Nothing the operator can reach is left without a name.
    for (const Accessible &a : tree) {
        if (QStringList{"push button", "check box", "scroll bar", "combo box", "image", "label",
                        "page tab"}
                .contains(a.role))
            QVERIFY2(!a.name.isEmpty(), qPrintable(describe(a)));
    }
}

QTEST_GUILESS_MAIN(AccessibilityBusTest)
#include "test_accessibility_bus.moc"
