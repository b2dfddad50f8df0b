#pragma once

#include <QByteArray>

#include <optional>

// What the module keeps. Its settings survive as long as the simulated module runs.
struct ModuleState
{
    QByteArray id = "01";
    QByteArray serialNo = "TX040001";
    QByteArray version = "01.05-03";
    bool holdMode = true;
    QByteArray polarity = QByteArray(16, '0'); // DI1..DI4, then twelve reserved flags
    QByteArray outputs = "0000";               // DO1..DO4
    QByteArray contacts = "0000";              // DI1..DI4 as wired, before polarity
    int settingIndex = 5;

    // An input reads on when its contact differs from its polarity flag: a
    // normally-closed input (flag 1) reads on while its contact is open.
    QByteArray inputStates() const;
};

// The module's answer to one request it has heard.
struct ModuleResponse
{
    std::optional<QByteArray> body;     // nothing: the module stays silent
    std::optional<int> newSettingIndex; // taken up once the reply has gone out
};

// The module's command handling, free of timing and of the line. Every request
// begins with "B00" and a command letter; a reply body is "!", the module's ID,
// the command letter and the command's data. A command the module does not know,
// or one with malformed arguments, is answered "?" + ID + letter.
class ModuleBehaviour
{
public:
    explicit ModuleBehaviour(ModuleState state = {});

    ModuleResponse handle(const QByteArray &command);

    ModuleState &state() { return m_state; }
    const ModuleState &state() const { return m_state; }

private:
    QByteArray ack(char letter, const QByteArray &data = {}) const;
    QByteArray refuse(char letter) const;

    ModuleState m_state;
};

// Request and reply frames as the module builds and checks them.
namespace SimFrame {
QByteArray checksumDigits(quint8 checksum, bool lowercase = false);
quint8 xorOf(const QByteArray &bytes, quint8 start = 0);
// Line feed, body, checksum over both, carriage return.
QByteArray reply(const QByteArray &body);
} // namespace SimFrame
