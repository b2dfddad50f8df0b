#pragma once

#include <QString>

// The process-wide state of the program: one instance, owned by the application and
// handed to the window, the stored settings and the workflows.
struct SharedState
{
    // Where the last port search found the module: COM port number (0: none
    // remembered), mode string, and its index in BaudRateModes().
    qint32 ScanCommNo = 0;
    QString ScanBaudRate;
    qint32 ScanBaudRateNo = 0;
    // The language's name ("English", "ChineseGB", "ChineseBIG5") and its column in
    // the message table (0, 1, 2).
    QString LanguageFlag;
    int LanguageIndex = 0;
    // True once a scan has read the module's version, mode and input polarity.
    bool ModuleFound = false;
    // True while live I/O processing runs.
    bool ProcessRunning = false;
    // The program is to close while work runs: a scan ends at its next exchange.
    bool StopRequested = false;
};
