#include "command_arguments.h"

#include "baud_rate_modes.h"
#include "language.h"

namespace {

bool isDigits(const QString &text, int minLength, int maxLength)
{
    if (text.size() < minLength || text.size() > maxLength)
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace

std::optional<QString> ModuleIdArgument(const QString &text)
{
    if (!isDigits(text, 1, 2) || text.toInt() < 1)
        return std::nullopt;
    return QStringLiteral("%1").arg(text.toInt(), 2, 10, QChar(u'0'));
}

std::optional<int> SettingArgument(const QString &text)
{
    if (isDigits(text, 1, 2)) {
        const int index = text.toInt();
        if (index < BaudRateModeCount)
            return index;
        return std::nullopt;
    }
    const qsizetype index = BaudRateModes().indexOf(text.toLower());
    if (index < 0)
        return std::nullopt;
    return int(index);
}

std::optional<FourFlags> FlagsArgument(const QString &text)
{
    if (text.size() != 4)
        return std::nullopt;
    FourFlags flags{};
    for (int i = 0; i < 4; ++i) {
        if (text[i] != u'0' && text[i] != u'1')
            return std::nullopt;
        flags[size_t(i)] = text[i] == u'1';
    }
    return flags;
}

std::optional<OutputMode> ModeArgument(const QString &text)
{
    const QString mode = text.toLower();
    if (mode == u"hold")
        return OutputMode::Hold;
    if (mode == u"normal")
        return OutputMode::Normal;
    return std::nullopt;
}

std::optional<int> LanguageArgument(const QString &text)
{
    const std::optional<Language> language = LanguageNamed(text);
    return language ? std::optional<int>(language->index) : std::nullopt;
}

std::optional<int> PortArgument(const QString &text)
{
    if (!isDigits(text, 1, 4) || text.toInt() < 1)
        return std::nullopt;
    return text.toInt();
}
