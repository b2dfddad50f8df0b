#include "command_set.h"

#include <algorithm>

namespace {

// The module's baud codes: 0 to 9, then A and B.
constexpr int BaudCodeCount = 12;
// "B00" and the command letter.
constexpr int CommandLetterIndex = 3;

// Where a reply's fields are: 1-based position counted from its line feed, and length.
struct Field
{
    int first;
    int length;

    constexpr int last() const { return first + length - 1; }
};

constexpr Field IdField{3, 2};
// The serial number of "B00B", the version of "B00V".
constexpr Field TextField{6, 8};
constexpr Field ModeField{6, 1};
// The polarity flags of "B00A", the input states of "B00F".
constexpr Field FlagsField{6, 4};

// The module's vocabulary, a row a command: its letter after "B00" and how many
// characters follow it, the reply length the program insists on (0: any), the last
// reply position it reads (0: the reply is only an acknowledgement), and whether it
// sets something in the module.
constexpr CommandRow Vocabulary[] = {
    {"read identity", 'B', 0, IdentityReplyLength, TextField.last(), false},
    {"read version", 'V', 0, 0, TextField.last(), false},
    {"read mode", 'G', 0, 0, ModeField.last(), false},
    {"read polarity", 'A', 0, 0, FlagsField.last(), false},
    {"set ID", 'C', 10, 0, 0, true},
    {"set line setting", 'E', 1, 0, 0, true},
    {"set mode", 'G', 1, 0, 0, true},
    {"set polarity", 'A', 16, 0, 0, true},
    // The inputs are read only from a reply of its length.
    {"set outputs, read inputs", 'F', 4, OutputsReplyLength, FlagsField.last(), false},
};

QByteArray read(const QByteArray &reply, Field field)
{
    // QByteArray::mid() stops at the end of the reply.
    return reply.mid(field.first - 1, field.length);
}

QByteArray flagText(const FourFlags &flags)
{
    QByteArray text;
    for (const bool on : flags)
        text.append(on ? '1' : '0');
    return text;
}

} // namespace

QByteArray SetIdCommand(const QByteArray &serialNo, const QByteArray &id)
{
    return QByteArrayLiteral("B00C") + serialNo + id;
}

std::optional<QByteArray> SetBaudRateCommand(int modeIndex)
{
    if (modeIndex < 0 || modeIndex >= BaudCodeCount)
        return std::nullopt;
    if (modeIndex == 10)
        return QByteArrayLiteral("B00EA");
    if (modeIndex == 11)
        return QByteArrayLiteral("B00EB");
    return QByteArrayLiteral("B00E") + QByteArray::number(modeIndex);
}

QByteArray SetPolarityCommand(const FourFlags &checked)
{
    return QByteArrayLiteral("B00A") + flagText(checked) + QByteArray(12, '0');
}

QByteArray SetOutputsCommand(const FourFlags &on)
{
    return QByteArrayLiteral("B00F") + flagText(on);
}

QByteArray ReplyModuleId(const QByteArray &reply)
{
    return read(reply, IdField);
}

QByteArray ReplySerialNo(const QByteArray &reply)
{
    return read(reply, TextField);
}

QByteArray ReplyVersion(const QByteArray &reply)
{
    return read(reply, TextField);
}

QByteArray ReplyModeFlag(const QByteArray &reply)
{
    return read(reply, ModeField);
}

QByteArray ReplyPolarityFlags(const QByteArray &reply)
{
    return read(reply, FlagsField);
}

QByteArray ReplyInputStates(const QByteArray &reply)
{
    return read(reply, FlagsField);
}

const CommandRow *CommandRowOf(const QByteArray &command)
{
    if (!command.startsWith("B00") || command.size() <= CommandLetterIndex)
        return nullptr;
    const char letter = command.at(CommandLetterIndex);
    const qsizetype arguments = command.size() - CommandLetterIndex - 1;
    for (const CommandRow &row : Vocabulary) {
        if (row.letter == letter && row.argumentLength == arguments)
            return &row;
    }
    return nullptr;
}

int LastPositionRead(const QByteArray &command)
{
    const CommandRow *row = CommandRowOf(command);
    return row ? row->lastPositionRead : 0;
}

bool IsSettingCommand(const QByteArray &command)
{
    const CommandRow *row = CommandRowOf(command);
    return row && row->setsSomething;
}

char CommandLetter(const QByteArray &command)
{
    return command.size() > CommandLetterIndex ? command.at(CommandLetterIndex) : '\0';
}

bool IsHoldMode(const QByteArray &modeFlag)
{
    return modeFlag == "H";
}

OutputMode OutputModeOf(const QByteArray &modeFlag)
{
    return IsHoldMode(modeFlag) ? OutputMode::Hold : OutputMode::Normal;
}

QByteArray SetModeCommand(OutputMode mode)
{
    return mode == OutputMode::Hold ? Command::SetModeHold : Command::SetModeNormal;
}

FourFlags FlagsFromField(const QByteArray &field)
{
    FourFlags flags{};
    for (int i = 0; i < 4; ++i)
        flags[i] = i < field.size() && field[i] == '1';
    return flags;
}

QString FlagsText(const FourFlags &flags)
{
    QString text;
    for (const bool on : flags)
        text += on ? u'1' : u'0';
    return text;
}

QString OutputModeName(OutputMode mode)
{
    return mode == OutputMode::Hold ? QStringLiteral("hold") : QStringLiteral("normal");
}
