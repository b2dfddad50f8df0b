#include "port_diagnosis.h"

#include "system_consoles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool processHasGroup(gid_t group)
{
    if (::getegid() == group)
        return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return false;
    QList<gid_t> groups(count);
    const int got = ::getgroups(count, groups.data());
    return got > 0 && groups.mid(0, got).contains(group);
}

QString groupName(gid_t group)
{
    const struct group *entry = ::getgrgid(group);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(group);
}

QString processName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readLine(256)).trimmed();
}

bool isRunning(qint64 pid)
{
    return pid > 0 && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

// A process named by a serial-port lock file: the UUCP name "LCK..ttyUSB0" or Qt's
// "LCK.._dev_ttyUSB0", in the folders where serial programs keep them. The first line
// holds the PID.
qint64 lockFileHolder(const QString &device)
{
    const QString uucpName = QStringLiteral("LCK..") + QFileInfo(device).fileName();
    const QString qtName = QStringLiteral("LCK..") + QString(device).replace(u'/', u'_');
    const QStringList folders{QStringLiteral("/var/lock"), QStringLiteral("/run/lock"),
                              QStringLiteral("/var/spool/locks"), QStringLiteral("/tmp"),
                              QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    for (const QString &folder : folders) {
        for (const QString &name : {uucpName, qtName}) {
            QFile lock(folder + u'/' + name);
            if (!lock.open(QIODevice::ReadOnly))
                continue;
            bool ok = false;
            const qint64 pid = QString::fromLatin1(lock.readLine(64)).trimmed().toLongLong(&ok);
            if (ok && pid != QCoreApplication::applicationPid() && isRunning(pid))
                return pid;
        }
    }
    return 0;
}

// Another process with the device open, as far as this user may see.
qint64 openedBy(const QString &device)
{
    const qint64 self = QCoreApplication::applicationPid();
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : processes) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || pid == self)
            continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() == device)
                return pid;
        }
    }
    return 0;
}

} // namespace

PortDiagnosis DiagnosePort(const PortMap &map, int portNumber)
{
    PortDiagnosis d;
    d.device = map.mappedPath(portNumber);
    if (d.device.isEmpty())
        return d;
    if (!IsTerminalDevice(d.device)) {
        d.state = PortDiagnosis::State::NotATerminal;
        return d;
    }
    if (SystemConsoleDevices().contains(d.device)) {
        d.state = PortDiagnosis::State::Console;
        return d;
    }
    // Decided without opening the device: opening a port can reset what hangs on it.
    const QByteArray path = QFile::encodeName(d.device);
    if (::access(path.constData(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
        d.state = PortDiagnosis::State::PermissionDenied;
        struct stat st
        {
        };
        if (::stat(path.constData(), &st) == 0) {
            d.group = groupName(st.st_gid);
            d.inGroup = processHasGroup(st.st_gid);
        }
        return d;
    }
    // A pseudo-terminal's slave is held open by whoever serves it, which is no sign of
    // another program using the port; a real device held by anyone else is.
    const qint64 holder = lockFileHolder(d.device);
    d.holderPid = holder != 0 ? holder : (IsPseudoTerminal(d.device) ? 0 : openedBy(d.device));
    if (d.holderPid != 0) {
        d.state = PortDiagnosis::State::Busy;
        d.holderName = processName(d.holderPid);
        return d;
    }
    d.state = PortDiagnosis::State::Ok;
    return d;
}

QString PortDiagnosis::stateName() const
{
    switch (state) {
    case State::Ok:
        return QStringLiteral("ok");
    case State::Missing:
        return QStringLiteral("missing");
    case State::NotATerminal:
        return QStringLiteral("not a terminal");
    case State::Console:
        return QStringLiteral("console");
    case State::PermissionDenied:
        return QStringLiteral("permission denied");
    case State::Busy:
        return QStringLiteral("busy");
    }
    return {};
}

QString PortDiagnosis::text() const
{
    switch (state) {
    case State::Console:
        return QStringLiteral("console (skipped)");
    case State::PermissionDenied:
        if (group.isEmpty())
            return QStringLiteral("permission denied: %1").arg(device);
        if (inGroup)
            return QStringLiteral("permission denied: %1 belongs to group %2, which you are in, "
                                  "but the device does not let the group read and write it")
                .arg(device, group);
        return QStringLiteral("permission denied: %1 belongs to group %2, which you are not in: "
                              "add yourself to group %2 and log in again")
            .arg(device, group);
    case State::Busy:
        return QStringLiteral("busy: held by %1 (PID %2)")
            .arg(holderName.isEmpty() ? QStringLiteral("a process") : holderName)
            .arg(holderPid);
    default:
        return stateName();
    }
}
