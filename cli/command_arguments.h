#pragma once

#include "module_window.h"

#include <QString>

#include <optional>

// The values a command line names, checked before anything goes to the module. Each is
// empty for text that is not one.

// A module ID as the ID panel holds it: 1 to 99 in two digits ("7" and "07" are "07").
std::optional<QString> ModuleIdArgument(const QString &text);
// A serial line setting: one of the twelve mode strings, or its index 0 to 11.
std::optional<int> SettingArgument(const QString &text);
// Four "0"/"1" characters, first to fourth (DI1 to DI4, DO1 to DO4).
std::optional<FourFlags> FlagsArgument(const QString &text);
// "hold" or "normal", in any case.
std::optional<OutputMode> ModeArgument(const QString &text);
// A language's column in the message table: English, ChineseGB, ChineseBIG5 (as stored),
// or en, gb, big5; any case.
std::optional<int> LanguageArgument(const QString &text);
// A COM port number, 1 or more.
std::optional<int> PortArgument(const QString &text);
