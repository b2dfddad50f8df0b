#pragma once

#include "module_apply.h"

#include <QByteArray>
#include <QJsonObject>

class CliSession;

// tx4040 apply: the wanted values given to the module read where the command line names
// it, each read back. 0 when every value reads back as wanted, 1 when the module said no,
// did not answer or read back something else, 3 when no port opened. The remembered
// setting follows the module.
int RunApply(CliSession &session, const WantedConfiguration &wanted, bool json);

// One line a value: "setting: 9600,n,8,1 -> 19200,e,8,1 verified"; where it read back
// other than wanted, "(wanted ...)" after it.
QByteArray AppliedValuesText(const ApplyResult &result);
// {"name": {"before", "wanted", "after", "result"}} for each value.
QJsonObject AppliedValuesJson(const ApplyResult &result);
