#pragma once

#include "work_result.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// A module as a scan read it, for the terminal: the message it ended with, then
// "key: value" lines.
QByteArray FactsText(const ModuleFacts &facts, const QString &message);
// English keys: port, device, setting, id, serial, version, mode, polarity, message.
QJsonObject FactsJson(const ModuleFacts &facts, const QString &message);
