#pragma once

#include <QList>
#include <QString>

#include <optional>

// One of the three languages of the window and its messages: its column in the message
// table (LanguageIndex), the name the stored settings keep (LanguageFlag), a short name
// for the command line, and its name in its own writing.
struct Language
{
    int index;
    QString storedName; // "English", "ChineseGB", "ChineseBIG5"
    QString shortName;  // "en", "gb", "big5"
    QString ownName;    // "English", "简体中文", "繁體中文"
};

// English, Simplified Chinese, Traditional Chinese, in the order of their columns.
const QList<Language> &Languages();

// The language a stored name chooses: only the exact names do; any other is English, as
// the stored settings are read.
const Language &LanguageOfStoredName(const QString &storedName);
// The language a user names: its stored or short name, in any case; none for another.
std::optional<Language> LanguageNamed(const QString &name);
// The language of a POSIX locale name ("zh_CN.UTF-8", "zh_TW", "en_GB"): Simplified
// Chinese for China and Singapore, Traditional for Taiwan, Hong Kong and Macao, English
// for any other; none for an empty name or the C locale.
std::optional<Language> LanguageOfLocale(const QString &locale);
