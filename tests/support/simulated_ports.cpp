#include "simulated_ports.h"

#include "pty_line.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

SimulatedPorts::SimulatedPorts() : m_previousConfigHome(qgetenv("XDG_CONFIG_HOME"))
{
    // Without it the ptys could not carry parity, and every test at even parity would
    // fail for a reason that has nothing to do with the program.
    if (!tx4040_ptyline_interposed())
        qFatal("the pty line library is not in front of libc's tcsetattr()");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    // Made here, so that it stays while modules come and go: without it the program
    // would look at the machine's own serial ports.
    QDir().mkpath(portsFolder());
}

SimulatedPorts::~SimulatedPorts()
{
    m_modules.clear();
    qputenv("XDG_CONFIG_HOME", m_previousConfigHome);
}

QString SimulatedPorts::portsFolder() const
{
    return m_config.path() + QStringLiteral("/VANTREL/ports");
}

SimulatedModule &SimulatedPorts::addModule(int portNumber, int settingIndex, ModuleState state)
{
    state.settingIndex = settingIndex;
    SimConfig config{portsFolder(), portNumber, state, false, {}};
    auto module = std::make_unique<SimulatedModule>(config);
    QString error;
    if (!module->start(&error))
        qFatal("simulated module on COM%d: %s", portNumber, qPrintable(error));
    m_modules.push_back(std::move(module));
    return *m_modules.back();
}

SimulatedModule &SimulatedPorts::addModule(SimConfig config)
{
    config.portsFolder = portsFolder();
    const int portNumber = config.portNumber;
    auto module = std::make_unique<SimulatedModule>(std::move(config));
    QString error;
    if (!module->start(&error))
        qFatal("simulated module on COM%d: %s", portNumber, qPrintable(error));
    m_modules.push_back(std::move(module));
    return *m_modules.back();
}

SimulatedModule &SimulatedPorts::addSilentPort(int portNumber)
{
    SimConfig config{portsFolder(), portNumber, {}, true, {}};
    auto module = std::make_unique<SimulatedModule>(config);
    QString error;
    if (!module->start(&error))
        qFatal("silent port COM%d: %s", portNumber, qPrintable(error));
    m_modules.push_back(std::move(module));
    return *m_modules.back();
}

ModuleState ModuleWithSerial(const QByteArray &serialNo)
{
    ModuleState state;
    state.serialNo = serialNo;
    return state;
}

QProcessEnvironment WithPtyLine(QProcessEnvironment environment)
{
    environment.insert(QStringLiteral("LD_PRELOAD"),
                       QCoreApplication::applicationDirPath() +
                           QStringLiteral("/../lib/libtx4040_ptyline.so"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("verify_asan_link_order=0"));
    return environment;
}

bool CloseToUnprivileged(const SimulatedPorts &ports, const QString &device)
{
    const QByteArray path = QFile::encodeName(device);
    if (::geteuid() != 0)
        return ::chmod(path.constData(), 0) == 0;
    const struct group *dialout = ::getgrnam("dialout");
    if (!dialout || ::chown(path.constData(), 0, dialout->gr_gid) != 0 ||
        ::chmod(path.constData(), 0660) != 0)
        return false;
    for (const QString &folder :
         {ports.configFolder(), ports.configFolder() + "/VANTREL", ports.portsFolder()}) {
        if (::chmod(QFile::encodeName(folder).constData(), 0755) != 0)
            return false;
    }
    return true;
}

QStringList Unprivileged(const QString &program, const QStringList &arguments)
{
    if (::geteuid() != 0)
        return QStringList{program} + arguments;
    return QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
                       QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"), program} +
           arguments;
}
