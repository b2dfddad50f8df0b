#include "program_run.h"

#include "simulated_ports.h"

#include <QCoreApplication>

void StartProgram(QProcess &process, const QString &program, const QStringList &arguments)
{
    process.setProcessEnvironment(WithPtyLine(QProcessEnvironment::systemEnvironment()));
    process.start(QCoreApplication::applicationDirPath() + u'/' + program, arguments);
}

ProgramRun RunProgram(const QString &program, const QStringList &arguments)
{
    QProcess process;
    StartProgram(process, program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(30000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = process.readAllStandardOutput();
    run.errors = process.readAllStandardError();
    return run;
}
