#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// The module's vocabulary. Every command begins with "B00" and a command letter.
namespace Command {
inline const QByteArray ReadIdentity = QByteArrayLiteral("B00B");
inline const QByteArray ReadVersion = QByteArrayLiteral("B00V");
inline const QByteArray ReadMode = QByteArrayLiteral("B00G");
inline const QByteArray ReadPolarity = QByteArrayLiteral("B00A");
inline const QByteArray SetModeHold = QByteArrayLiteral("B00GH");
inline const QByteArray SetModeNormal = QByteArrayLiteral("B00GS");
inline const QByteArray FactoryPolarity = QByteArrayLiteral("B00A0000000000000000");
inline const QByteArray FactoryBaudRate = QByteArrayLiteral("B00E5");
} // namespace Command

// Four flags, one per input or output, first to fourth.
using FourFlags = std::array<bool, 4>;

// The module's output modes, in the order of the mode list: "Hold(default)", "Normal".
enum class OutputMode
{
    Hold,
    Normal
};

// Reply lengths, line feed and carriage return included, that the callers insist on.
inline constexpr int IdentityReplyLength = 16;
inline constexpr int OutputsReplyLength = 12;

// "B00C" + the eight-character serial number + the two ID characters.
QByteArray SetIdCommand(const QByteArray &serialNo, const QByteArray &id);
// "B00E" + the baud code of a list index; nothing for an index outside 0 to 11.
std::optional<QByteArray> SetBaudRateCommand(int modeIndex);
// "B00A" + DI1..DI4 as "1"/"0" + twelve "0".
QByteArray SetPolarityCommand(const FourFlags &checked);
// "B00F" + DO1..DO4 as "1"/"0".
QByteArray SetOutputsCommand(const FourFlags &on);

// Reply fields, by 1-based position counted from the reply's line feed. They never
// read past the reply: a field the reply is too short for comes back shorter.
QByteArray ReplyModuleId(const QByteArray &reply);      // positions 3-4 of "B00B"
QByteArray ReplySerialNo(const QByteArray &reply);      // positions 6-13 of "B00B"
QByteArray ReplyVersion(const QByteArray &reply);       // positions 6-13 of "B00V"
QByteArray ReplyModeFlag(const QByteArray &reply);      // position 6 of "B00G"
QByteArray ReplyPolarityFlags(const QByteArray &reply); // positions 6-9 of "B00A"
QByteArray ReplyInputStates(const QByteArray &reply);   // positions 6-9 of "B00F"

// One command of the module's vocabulary: how its text is formed ("B00", the letter and
// that many characters), what the program accepts and reads of its reply. The workflows
// and the frame log go by these rows; the simulated module keeps its own reading of the
// protocol, so that a mistake here is caught rather than mirrored.
struct CommandRow
{
    const char *name; // what it does, as the frame log says it
    char letter;
    int argumentLength;
    int replyLength;      // the reply length insisted on; 0 for any
    int lastPositionRead; // the last 1-based reply position read; 0 for none
    bool setsSomething;   // ID, line setting, mode, polarity: the reply only acknowledges
};

// The row of a command text; none for a text that is no command of the module's.
const CommandRow *CommandRowOf(const QByteArray &command);
// The last 1-based reply position that the program reads of the reply to this command;
// 0 for a command whose reply it does not read.
int LastPositionRead(const QByteArray &command);
// True for the commands that set something in the module (ID, line setting, mode,
// polarity), whose reply is only an acknowledgement.
bool IsSettingCommand(const QByteArray &command);
// The letter after "B00" that names a command; 0 for a text too short to have one.
char CommandLetter(const QByteArray &command);

// "H" at the mode position means Hold; anything else, or nothing, Normal.
bool IsHoldMode(const QByteArray &modeFlag);
OutputMode OutputModeOf(const QByteArray &modeFlag);
// "B00GH" or "B00GS".
QByteArray SetModeCommand(OutputMode mode);
// Flag n (0-based) of a four-character field is set only when it is exactly "1".
FourFlags FlagsFromField(const QByteArray &field);

// The values as people write them: "0101" for the flags first to fourth, and "hold" or
// "normal".
QString FlagsText(const FourFlags &flags);
QString OutputModeName(OutputMode mode);
