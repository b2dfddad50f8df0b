#pragma once

#include <optional>

// "--version" and "--help": prints the answer and gives the exit status; nothing for
// any other command line, which goes on to the window system.
std::optional<int> AnswerInformationOptions(int argc, char *argv[]);
