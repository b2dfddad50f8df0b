#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

// What a program run to its end left: its exit status (-1 for a crash or a time-out)
// and what it wrote.
struct ProgramRun
{
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

// One of the project's programs (tx4040, tx4040-config, tx4040-sim) from the build's
// bin folder, as a technician runs it beside simulated modules: with the pty line
// library preloaded (WithPtyLine), in this process's environment.
void StartProgram(QProcess &process, const QString &program, const QStringList &arguments);
// The same, run to its end, for 30 s at the most.
ProgramRun RunProgram(const QString &program, const QStringList &arguments);
