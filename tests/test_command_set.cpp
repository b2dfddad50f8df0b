// The module's vocabulary and the frame checksum, against the known frames.

#include "baud_rate_modes.h"
#include "command_exchange.h"
#include "command_set.h"
#include "mode_string.h"
#include "port_map.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class CommandSetTest : public QObject
{
    Q_OBJECT

private slots:
    void eachCommandItsRow_data();
    void eachCommandItsRow();
    void requestChecksum_data();
    void requestChecksum();
    void baudRateCommand_data();
    void baudRateCommand();
    void polarityCommand_data();
    void polarityCommand();
    void outputsCommand_data();
    void outputsCommand();
    void setIdCommand();
    void replyFields_data();
    void replyFields();
    void flagFields_data();
    void flagFields();
    void modeStrings_data();
    void modeStrings();
    void naturalOrder_data();
    void naturalOrder();
    void portsASearchGoesThrough();
};

void CommandSetTest::requestChecksum_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("digits");
    QTest::newRow("read identity") << Command::ReadIdentity << QByteArray("09");
    QTest::newRow("read version") << Command::ReadVersion << QByteArray("1D");
    QTest::newRow("read mode") << Command::ReadMode << QByteArray("0C");
    QTest::newRow("read polarity") << Command::ReadPolarity << QByteArray("0A");
    QTest::newRow("mode hold") << Command::SetModeHold << QByteArray("44");
    QTest::newRow("mode normal") << Command::SetModeNormal << QByteArray("5F");
    QTest::newRow("baud 5") << Command::FactoryBaudRate << QByteArray("3B");
    QTest::newRow("baud A") << QByteArray("B00EA") << QByteArray("4F");
    QTest::newRow("baud B") << QByteArray("B00EB") << QByteArray("4C");
    QTest::newRow("factory polarity") << Command::FactoryPolarity << QByteArray("0A");
}

void CommandSetTest::requestChecksum()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, digits);
    // The tab opens the frame and is part of the checksum.
    QCOMPARE(ChecksumDigits(FrameChecksum(command, 0x09)), digits);
}

void CommandSetTest::baudRateCommand_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("command"); // empty: none may be built
    QTest::newRow("below the list") << -1 << QByteArray();
    QTest::newRow("4800,n,8,1") << 0 << QByteArray("B00E0");
    QTest::newRow("19200,e,8,1") << 5 << QByteArray("B00E5");
    QTest::newRow("57600,e,8,1") << 9 << QByteArray("B00E9");
    QTest::newRow("115200,n,8,1") << 10 << QByteArray("B00EA");
    QTest::newRow("115200,e,8,1") << 11 << QByteArray("B00EB");
    QTest::newRow("past the list") << 12 << QByteArray();
    QTest::newRow("far past the list") << 1000 << QByteArray();
}

void CommandSetTest::baudRateCommand()
{
    QFETCH(int, index);
    QFETCH(QByteArray, command);
    const auto built = SetBaudRateCommand(index);
    QCOMPARE(built.has_value(), !command.isEmpty());
    if (built) {
        QCOMPARE(*built, command);
        QVERIFY(index >= 0 && index < BaudRateModes().size());
    }
}

void CommandSetTest::polarityCommand_data()
{
    QTest::addColumn<FourFlags>("checked");
    QTest::addColumn<QByteArray>("command");
    const QByteArray reserved(12, '0');
    QTest::newRow("DI4 only") << FourFlags{false, false, false, true} << "B00A0001" + reserved;
    QTest::newRow("DI1 and DI3") << FourFlags{true, false, true, false} << "B00A1010" + reserved;
    QTest::newRow("all") << FourFlags{true, true, true, true} << "B00A1111" + reserved;
    QTest::newRow("none is the factory command") << FourFlags{} << Command::FactoryPolarity;
}

void CommandSetTest::polarityCommand()
{
    QFETCH(FourFlags, checked);
    QFETCH(QByteArray, command);
    QCOMPARE(SetPolarityCommand(checked), command);
    QCOMPARE(SetPolarityCommand(checked).size(), 20);
}

void CommandSetTest::outputsCommand_data()
{
    QTest::addColumn<FourFlags>("on");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("DO1 and DO3") << FourFlags{true, false, true, false} << QByteArray("B00F1010");
    QTest::newRow("DO3 only") << FourFlags{false, false, true, false} << QByteArray("B00F0010");
    QTest::newRow("all") << FourFlags{true, true, true, true} << QByteArray("B00F1111");
    QTest::newRow("none") << FourFlags{} << QByteArray("B00F0000");
}

void CommandSetTest::outputsCommand()
{
    QFETCH(FourFlags, on);
    QFETCH(QByteArray, command);
    QCOMPARE(SetOutputsCommand(on), command);
}

void CommandSetTest::setIdCommand()
{
    const QByteArray command = SetIdCommand("AB12CD34", "07");
    QCOMPARE(command, QByteArray("B00CAB12CD3407"));
    QCOMPARE(command.size(), 14);
}

void CommandSetTest::replyFields_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QByteArray>("serial");
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<QByteArray>("flags");
    QTest::newRow("identity reply")
        << QByteArray("\n!07BAB12CD34xx\r") << QByteArray("07") << QByteArray("AB12CD34")
        << QByteArray("A") << QByteArray("AB12");
    // A zero byte in a reply, or a reply that is not length-checked, leaves fields
    // short: they come back shorter, never read past the reply.
    QTest::newRow("cut after the ID")
        << QByteArray("\n!07") << QByteArray("07") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("cut inside the serial")
        << QByteArray("\n!07BAB1") << QByteArray("07") << QByteArray("AB1") << QByteArray("A")
        << QByteArray("AB1");
    QTest::newRow("one character")
        << QByteArray("\n") << QByteArray() << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray() << QByteArray()
                           << QByteArray();
}

void CommandSetTest::replyFields()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, id);
    QFETCH(QByteArray, serial);
    QFETCH(QByteArray, mode);
    QFETCH(QByteArray, flags);
    QCOMPARE(ReplyModuleId(reply), id);
    QCOMPARE(ReplySerialNo(reply), serial);
    QCOMPARE(ReplyVersion(reply), serial);
    QCOMPARE(ReplyModeFlag(reply), mode);
    QCOMPARE(ReplyPolarityFlags(reply), flags);
    QCOMPARE(ReplyInputStates(reply), flags);
}

void CommandSetTest::flagFields_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<FourFlags>("flags");
    QTest::addColumn<bool>("hold");
    QTest::newRow("H at the mode position is Hold")
        << QByteArray("\n!01AH010xx\r") << FourFlags{false, false, true, false} << true;
    QTest::newRow("1001") << QByteArray("\n!01F1001xx\r") << FourFlags{true, false, false, true}
                          << false;
    QTest::newRow("lowercase h is Normal")
        << QByteArray("\n!01Gh1\r") << FourFlags{false, true, false, false} << false;
    QTest::newRow("S is Normal, anything but 1 is off")
        << QByteArray("\n!01GSx1 \r") << FourFlags{false, false, true, false} << false;
    QTest::newRow("flags cut short are off")
        << QByteArray("\n!01F1") << FourFlags{true, false, false, false} << false;
    QTest::newRow("no mode character is Normal") << QByteArray("\n!01") << FourFlags{} << false;
}

void CommandSetTest::flagFields()
{
    QFETCH(QByteArray, reply);
    QFETCH(FourFlags, flags);
    QFETCH(bool, hold);
    QCOMPARE(FlagsFromField(ReplyInputStates(reply)), flags);
    QCOMPARE(IsHoldMode(ReplyModeFlag(reply)), hold);
}

void CommandSetTest::modeStrings_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parity");
    for (int i = 0; i < BaudRateModes().size(); ++i) {
        const QString mode = BaudRateModes().at(i);
        QTest::addRow("list %d %s", i, qPrintable(mode))
            << mode << true << mode.section(u',', 0, 0).toInt()
            << int(i % 2 ? QSerialPort::EvenParity : QSerialPort::NoParity);
    }
    QTest::newRow("uppercase parity")
        << "9600,E,8,1" << true << 9600 << int(QSerialPort::EvenParity);
    QTest::newRow("odd parity") << "2400,o,7,2" << true << 2400 << int(QSerialPort::OddParity);
    QTest::newRow("empty") << "" << false << 0 << 0;
    QTest::newRow("three fields") << "9600,n,8" << false << 0 << 0;
    QTest::newRow("unknown parity") << "9600,x,8,1" << false << 0 << 0;
    QTest::newRow("nine data bits") << "9600,n,9,1" << false << 0 << 0;
    QTest::newRow("three stop bits") << "9600,n,8,3" << false << 0 << 0;
    QTest::newRow("negative rate") << "-9600,n,8,1" << false << 0 << 0;
    QTest::newRow("text") << "fast,n,8,1" << false << 0 << 0;
}

void CommandSetTest::modeStrings()
{
    QFETCH(QString, mode);
    QFETCH(bool, valid);
    QFETCH(int, baud);
    QFETCH(int, parity);
    const auto parsed = ParseModeString(mode);
    QCOMPARE(parsed.has_value(), valid);
    if (parsed) {
        QCOMPARE(parsed->baudRate, baud);
        QCOMPARE(int(parsed->parity), parity);
    }
}

void CommandSetTest::naturalOrder_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("2 before 10") << "/dev/ttyS2"
                                 << "/dev/ttyS10";
    QTest::newRow("ttyS before ttyUSB") << "/dev/ttyS9"
                                        << "/dev/ttyUSB0";
    QTest::newRow("USB1 before USB10") << "/dev/ttyUSB1"
                                       << "/dev/ttyUSB10";
    QTest::newRow("prefix first") << "/dev/ttyS"
                                  << "/dev/ttyS0";
}

void CommandSetTest::naturalOrder()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QVERIFY(NaturalLess(first, second));
    QVERIFY(!NaturalLess(second, first));
    QVERIFY(!NaturalLess(first, first));
}

void CommandSetTest::portsASearchGoesThrough()
{
    // Without a ports folder the system's list decides: COM1 to COM16, each searched
    // whether or not the system has that many ports.
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/ports");
    QList<int> sixteen;
    for (int n = 1; n <= 16; ++n)
        sixteen.append(n);
    QCOMPARE(PortMap(folder).numbersToSearch(), sixteen);

    // With one, only its COM<n> entries, in order, beyond 16 as well.
    QVERIFY(QDir().mkpath(folder));
    for (const char *name : {"COM12", "COM2", "COM30", "COM0", "COMx", "com3"})
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), folder + '/' + name));
    QCOMPARE(PortMap(folder).numbersToSearch(), (QList<int>{2, 12, 30}));
}

void CommandSetTest::eachCommandItsRow_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("row");          // empty: no command of the module's
    QTest::addColumn<int>("lastPositionRead"); // of its reply
    QTest::addColumn<bool>("setting");
    QTest::newRow("B00B") << Command::ReadIdentity << "read identity" << 13 << false;
    QTest::newRow("B00G") << Command::ReadMode << "read mode" << 6 << false;
    QTest::newRow("B00GS") << Command::SetModeNormal << "set mode" << 0 << true;
    QTest::newRow("B00A") << Command::ReadPolarity << "read polarity" << 9 << false;
    QTest::newRow("B00A and sixteen flags")
        << Command::FactoryPolarity << "set polarity" << 0 << true;
    QTest::newRow("B00C") << SetIdCommand("TX040001", "07") << "set ID" << 0 << true;
    QTest::newRow("B00EB") << *SetBaudRateCommand(11) << "set line setting" << 0 << true;
    QTest::newRow("B00F1010") << SetOutputsCommand({true, false, true, false})
                              << "set outputs, read inputs" << 9 << false;
    QTest::newRow("B00F with three flags") << QByteArray("B00F101") << "" << 0 << false;
    QTest::newRow("unknown letter") << QByteArray("B00X") << "" << 0 << false;
    QTest::newRow("not B00") << QByteArray("00X") << "" << 0 << false;
}

void CommandSetTest::eachCommandItsRow()
{
    QFETCH(QByteArray, command);
    QFETCH(QString, row);
    QFETCH(int, lastPositionRead);
    QFETCH(bool, setting);
    const CommandRow *found = CommandRowOf(command);
    QCOMPARE(found ? QString::fromLatin1(found->name) : QString(), row);
    QCOMPARE(LastPositionRead(command), lastPositionRead);
    QCOMPARE(IsSettingCommand(command), setting);
}

QTEST_GUILESS_MAIN(CommandSetTest)
#include "test_command_set.moc"
