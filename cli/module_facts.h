#pragma once

#include "module_window.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class ConsoleWindow;
class PortMap;
struct SharedState;

// What a scan learnt of one module: where it answered and what it said.
struct ModuleFacts
{
    int port = 0;
    QString device;
    QString setting;
    QString id;
    QString serialNo;
    QString version;
    OutputMode mode = OutputMode::Hold;
    FourFlags polarity{};
    QString message; // the scan's last message, in the chosen language

    // After a scan that read the module: the window shows it and the state remembers
    // where.
    static ModuleFacts from(const ConsoleWindow &window, const SharedState &state,
                            const PortMap &ports);

    // "key: value" lines, the message first.
    QByteArray text() const;
    // English keys: port, device, setting, id, serial, version, mode, polarity, message.
    QJsonObject json() const;
};
