#pragma once

#include <optional>

// "--version" and "--help": prints the answer and gives the exit status; nothing for
// any other command line, which goes on to the window system.
std::optional<int> AnswerInformationOptions(int argc, char *argv[]);

// Without any display to open a window on, one line on standard error and exit status 1,
// instead of the window system's abort; nothing where there is one (or where
// QT_QPA_PLATFORM names a platform to use).
std::optional<int> RefuseWithoutDisplay();
