#include "command_set.h"

namespace {

// The module's baud codes: 0 to 9, then A and B.
constexpr int BaudCodeCount = 12;

QByteArray field(const QByteArray &reply, int firstPosition, int length)
{
    // QByteArray::mid() stops at the end of the reply.
    return reply.mid(firstPosition - 1, length);
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
    return field(reply, 3, 2);
}

QByteArray ReplySerialNo(const QByteArray &reply)
{
    return field(reply, 6, 8);
}

QByteArray ReplyVersion(const QByteArray &reply)
{
    return field(reply, 6, 8);
}

QByteArray ReplyModeFlag(const QByteArray &reply)
{
    return field(reply, 6, 1);
}

QByteArray ReplyPolarityFlags(const QByteArray &reply)
{
    return field(reply, 6, 4);
}

QByteArray ReplyInputStates(const QByteArray &reply)
{
    return field(reply, 6, 4);
}

bool IsHoldMode(const QByteArray &modeFlag)
{
    return modeFlag == "H";
}

FourFlags FlagsFromField(const QByteArray &field)
{
    FourFlags flags{};
    for (int i = 0; i < 4; ++i)
        flags[i] = i < field.size() && field[i] == '1';
    return flags;
}
