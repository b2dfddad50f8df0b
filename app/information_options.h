#pragma once

#include <memory>
#include <optional>

class FrameTrace;

// "--version" and "--help": prints the answer and gives the exit status; nothing for
// any other command line, which goes on to the window system.
std::optional<int> AnswerInformationOptions(int argc, char *argv[]);

// "--trace FILE", "--trace=FILE" or "--trace -" (standard error): taken out of argv, so
// that Qt's own option parsing never sees it, and opened into trace. A trace that cannot
// be written, or the option without a file: one line on standard error and exit status 2.
std::optional<int> TakeTraceOption(int &argc, char *argv[], std::shared_ptr<FrameTrace> &trace);

// Without any display to open a window on, one line on standard error and exit status 1,
// instead of the window system's abort; nothing where there is one (or where
// QT_QPA_PLATFORM names a platform to use).
std::optional<int> RefuseWithoutDisplay();
