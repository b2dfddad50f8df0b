#pragma once

// The least time the line allows for an exchange with the module, at one of the twelve
// settings, in milliseconds. A request goes out as five writes, each followed by its
// pause once its characters have left the port: the tab (1 ms), the command (5 ms),
// the two checksum digits and the carriage return (1 ms each). The module answers
// once the carriage return has arrived, so its reply runs alongside the last pause.
double RequestMs(int settingIndex, int commandLength);
// The request, then the reply's characters (line feed to carriage return).
double AnsweredMs(int settingIndex, int commandLength, int replyCharacters);
// The request, its last pause, then the reply wait of 151 ms.
double UnansweredMs(int settingIndex, int commandLength);
