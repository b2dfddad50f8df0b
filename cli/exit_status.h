#pragma once

// Exit statuses of "tx4040", as its manual page lists them.
namespace ExitStatus {
inline constexpr int Done = 0;
inline constexpr int NoAnswer = 1; // the module did not answer, refused, or its device went away
inline constexpr int Usage = 2;
inline constexpr int PortNotOpened = 3;
} // namespace ExitStatus
