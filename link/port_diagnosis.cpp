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
#include <sys/sysmacros.h>
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

// The name of a serial-port lock file for a device: the UUCP name for a device
// directly in /dev ("LCK..ttyUSB0"), and, as Qt names its own, the path below /dev
// with "/" as "_" ("LCK..pts_3").
QStringList lockFileNames(const QString &device)
{
    QString belowDev = device;
    if (belowDev.startsWith(QStringLiteral("/dev/")))
        belowDev.remove(0, 5);
    const QString name = QStringLiteral("LCK..") + belowDev.replace(u'/', u'_');
    const QString uucpName = QStringLiteral("LCK..") + QFileInfo(device).fileName();
    return name == uucpName ? QStringList{name} : QStringList{name, uucpName};
}

// A live process named by a serial-port lock file, in the folders where serial
// programs (and Qt) keep them. The first line holds the PID.
qint64 lockFileHolder(const QString &device)
{
    const QStringList folders{QStringLiteral("/var/lock"),
                              QStringLiteral("/etc/locks"),
                              QStringLiteral("/var/spool/locks"),
                              QStringLiteral("/var/spool/uucp"),
                              QStringLiteral("/tmp"),
                              QStringLiteral("/var/tmp"),
                              QStringLiteral("/var/lock/lockdev"),
                              QStringLiteral("/run/lock"),
                              QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    for (const QString &folder : folders) {
        for (const QString &name : lockFileNames(device)) {
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

} // namespace

qint64 FlockHolder(const QByteArray &procLocks, quint64 fileSystem, quint64 inode, qint64 self)
{
    // "1: FLOCK  ADVISORY  WRITE 4242 00:05:3 0 EOF": the file as the file system's
    // major:minor in hex and the inode; lines with "->" wait for a lock and hold none.
    for (const QByteArray &line : procLocks.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields.at(1) != "FLOCK")
            continue;
        const QList<QByteArray> file = fields.at(5).split(':');
        if (file.size() != 3)
            continue;
        bool ok[4] = {};
        const quint64 major = file.at(0).toULongLong(&ok[0], 16);
        const quint64 minor = file.at(1).toULongLong(&ok[1], 16);
        const quint64 fileInode = file.at(2).toULongLong(&ok[2]);
        const qint64 pid = fields.at(4).toLongLong(&ok[3]);
        if (ok[0] && ok[1] && ok[2] && ok[3] && pid > 0 && pid != self &&
            ::makedev(major, minor) == fileSystem && fileInode == inode)
            return pid;
    }
    return 0;
}

namespace {

// A process holding an advisory lock (flock) on the device, as terminal programs take.
qint64 flockHolder(const QString &device)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(device).constData(), &st) != 0)
        return 0;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return 0;
    const qint64 pid = FlockHolder(locks.read(1024 * 1024), st.st_dev, st.st_ino,
                                   QCoreApplication::applicationPid());
    return isRunning(pid) ? pid : 0;
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
    if (map.isStaleLink(portNumber)) {
        d.state = PortDiagnosis::State::Stale;
        return d;
    }
    if (!IsTerminalDevice(d.device)) {
        d.state = PortDiagnosis::State::NotATerminal;
        return d;
    }
    if (IsConsole(d.device)) {
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
    qint64 holder = flockHolder(d.device);
    if (holder == 0)
        holder = lockFileHolder(d.device);
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
    case State::Stale:
        return QStringLiteral("stale");
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
    case State::Stale:
        return QStringLiteral("stale link: the simulated module that made it is gone, and "
                              "its device may be another program's terminal by now");
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
