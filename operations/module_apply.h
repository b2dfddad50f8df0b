#pragma once

#include "work_result.h"
#include "workflow_context.h"

#include <QList>
#include <QString>

#include <optional>

// What is wanted of the module; a value left out stays as the module has it.
struct WantedConfiguration
{
    std::optional<QString> id;       // two digits, "01" to "99"
    std::optional<int> settingIndex; // in BaudRateModes()
    std::optional<OutputMode> mode;
    std::optional<FourFlags> polarity;

    bool isEmpty() const { return !id && !settingIndex && !mode && !polarity; }
};

// How one value ended.
enum class ValueCheck
{
    Unchanged, // the module had it already: nothing was sent for it
    Verified,  // sent, acknowledged, and read back as wanted
    Failed,    // refused, not answered, or read back as something else
    NotTaken,  // a line setting acknowledged, but the module still answers at the old one
    Lost,      // a line setting acknowledged, and the module answers at neither
    NotTried   // not sent, since a value before it failed
};

// "unchanged", "verified", "failed", "not taken", "lost", "not tried".
QString ValueCheckName(ValueCheck check);

// One value: as the module had it, as wanted, as it read back afterwards (empty where
// nothing read back), in the forms "info --json" prints ("07", "19200,e,8,1", "hold",
// "0101").
struct AppliedValue
{
    QString name; // id, setting, mode, polarity
    QString before;
    QString wanted;
    QString after;
    ValueCheck check = ValueCheck::NotTried;
};

struct ApplyResult
{
    // Success when every value read back as wanted; the module's facts as they are now,
    // and why it failed.
    WorkResult work;
    // The values wanted, in the order they were sent, and a value sent alongside one of
    // them that did not read back as it was.
    QList<AppliedValue> values;
    // False when the module had every value already.
    bool sentAnything = false;
};

// Gives the module read at the remembered place (ScanCommNo at ScanBaudRate; `found` is
// what that read said of it) the values wanted that it does not have: the ID, then the
// mode together with the polarity, then the line setting, last, since it moves the line.
// Each change goes as the window's button sends it and is then read back: "B00B" for the
// ID; "B00G" and "B00A" for mode and polarity; "B00B" at the new setting, up to three
// times 100 ms apart after a first pause (the module may restart), then once at the old
// setting to tell a setting not taken from a module lost. After the first value that
// fails, nothing more is sent. The remembered setting follows the module: to the new one
// once it answers there or has acknowledged it, back to the old one where it still
// answers there.
ApplyResult ApplyConfiguration(WorkflowContext &context, const ModuleFacts &found,
                               const WantedConfiguration &wanted);
