#pragma once

#include "command_set.h"

#include <QList>
#include <QString>

#include <optional>

// How a piece of work ended. Each has its lamp and its tone (see work.cpp):
// Success      yellow, 1000 Hz
// Failure      red, 300 Hz
// Refusal      the lamp as it is, 300 Hz: work that may not start yet
// Stopped      yellow, 1000 Hz: the live loop ended by the operator; a scan stopped
//              from outside ends without lamp, message or tone
enum class Outcome
{
    Success,
    Failure,
    Refusal,
    Stopped
};

// One reason why work failed, or could not do all it meant to, with its kind.
struct Reason
{
    enum class Kind
    {
        PortNotOpened,  // a port that exists would not open, or none is mapped
        DeviceGone,     // the port's device went away while it was open
        SettingRefused, // the port's driver did not take the line setting
        ModuleRejected, // the module answered no
        SaveFailed      // what was found could not be kept for the next run
    };

    Kind kind;
    QString text;

    bool operator==(const Reason &) const = default;
};

// What the module said of itself, as far as the work read it, and where.
struct ModuleFacts
{
    int port = 0;
    QString device;
    QString setting;
    QString id;
    QString serialNo;
    QString version;
    std::optional<OutputMode> mode;
    std::optional<FourFlags> polarity;
};

// What a workflow did, for each front end to show in its own way.
struct WorkResult
{
    Outcome outcome = Outcome::Failure;
    // The message table row the work ended with, and the message as it was shown (some
    // rows are followed by a port number); -1 and empty where it ended without one.
    int messageRow = -1;
    QString message;
    ModuleFacts facts;
    // True when any port opened during the work.
    bool portOpened = false;
    QList<Reason> reasons;

    bool has(Reason::Kind kind) const;
    // The reasons' texts, one a line.
    QString explanation() const;
};
