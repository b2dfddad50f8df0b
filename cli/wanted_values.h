#pragma once

#include "module_apply.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The wanted values of a JSON text: a module object, with the keys "id", "setting", "mode"
// and "polarity" in the forms "info --json" prints (other keys are left alone), or a
// whole "info --json" or "scan --json" report that holds exactly one module. Nothing,
// with why in error, for anything else.
std::optional<WantedConfiguration> WantedOfJson(const QByteArray &text, QString &error);
