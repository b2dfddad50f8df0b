#pragma once

#include <QByteArray>
#include <QString>

// The usage of "tx4040" and of each of its subcommands, for --help and "tx4040 help".

// The whole: every subcommand's synopsis, the options all share, the exit statuses.
QByteArray ProgramUsage();
// One subcommand's usage; empty for a name that is none.
QByteArray SubcommandUsage(const QString &name);
