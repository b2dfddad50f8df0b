#include "language.h"

using namespace Qt::StringLiterals;

const QList<Language> &Languages()
{
    static const QList<Language> languages{
        {0, u"English"_s, u"en"_s, u"English"_s},
        {1, u"ChineseGB"_s, u"gb"_s, u"简体中文"_s},
        {2, u"ChineseBIG5"_s, u"big5"_s, u"繁體中文"_s},
    };
    return languages;
}

const Language &LanguageOfStoredName(const QString &storedName)
{
    for (const Language &language : Languages()) {
        if (language.storedName == storedName)
            return language;
    }
    return Languages().first();
}

std::optional<Language> LanguageOfLocale(const QString &locale)
{
    if (locale.isEmpty() || locale == u"C" || locale == u"POSIX" || locale.startsWith(u"C."))
        return std::nullopt;
    for (const char *simplified : {"zh_CN", "zh_SG"}) {
        if (locale.startsWith(QLatin1String(simplified)))
            return Languages().at(1);
    }
    for (const char *traditional : {"zh_TW", "zh_HK", "zh_MO"}) {
        if (locale.startsWith(QLatin1String(traditional)))
            return Languages().at(2);
    }
    return Languages().first();
}

std::optional<Language> LanguageNamed(const QString &name)
{
    for (const Language &language : Languages()) {
        if (name.compare(language.storedName, Qt::CaseInsensitive) == 0 ||
            name.compare(language.shortName, Qt::CaseInsensitive) == 0)
            return language;
    }
    return std::nullopt;
}
