#include "least_time.h"

#include "line_setting.h"

#include <algorithm>

namespace {

double characterMs(int settingIndex)
{
    return ModuleSetting(settingIndex).characterTimeNs() / 1e6;
}

// Up to the carriage return's last bit: the first four writes with their pauses,
// then the carriage return itself.
double untilLastCharacterMs(int settingIndex, int commandLength)
{
    const double c = characterMs(settingIndex);
    return (c + 1) + (commandLength * c + 5) + (c + 1) + (c + 1) + c;
}

constexpr double LastPauseMs = 1;
constexpr double ReplyBoundMs = 151; // the wait ends at the first idle read past 150 ms

} // namespace

double RequestMs(int settingIndex, int commandLength)
{
    return untilLastCharacterMs(settingIndex, commandLength) + LastPauseMs;
}

double AnsweredMs(int settingIndex, int commandLength, int replyCharacters)
{
    return untilLastCharacterMs(settingIndex, commandLength) +
           std::max(LastPauseMs, replyCharacters * characterMs(settingIndex));
}

double UnansweredMs(int settingIndex, int commandLength)
{
    return RequestMs(settingIndex, commandLength) + ReplyBoundMs;
}
