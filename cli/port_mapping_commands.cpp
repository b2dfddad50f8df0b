#include "port_mapping_commands.h"

#include "exit_status.h"
#include "config_folder.h"
#include "console_output.h"
#include "file_work_as_owner.h"
#include "port_map.h"
#include "stable_port_names.h"
#include "system_consoles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <cerrno>
#include <cstring>
#include <utility>

#include <unistd.h>

namespace {

int refuse(const QString &reason)
{
    WriteTo(stderr, "tx4040: " + reason.toUtf8() + '\n');
    return ExitStatus::Usage;
}

void say(const QString &line)
{
    WriteTo(stdout, line.toUtf8() + '\n');
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString linkPath(const QString &folder, int portNumber)
{
    return folder + QStringLiteral("/COM%1").arg(portNumber);
}

// Where the simulated module records that a link is its own; it takes over a link with
// a record whose process is gone, so the record must not outlive its link.
QString ownerRecordPath(const QString &folder, int portNumber)
{
    return folder + QStringLiteral("/.COM%1.owner").arg(portNumber);
}

// A reason not to map the device; empty where it may be mapped.
QString refusalOf(const QString &given, const QString &device)
{
    if (device.isEmpty())
        return QStringLiteral("no such device: %1").arg(given);
    const QString named = device == given ? device : QStringLiteral("%1 (%2)").arg(given, device);
    if (!IsTerminalDevice(device))
        return QStringLiteral("%1 is not a serial device").arg(named);
    if (IsConsole(given) || IsConsole(device))
        return QStringLiteral("%1 is a system console: the program never writes to one").arg(named);
    return {};
}

// Replaces whatever the link was in one step: a scan running meanwhile sees the old link
// or the new one, never none.
bool writeLink(const QString &path, const QString &target, QString &error)
{
    const QFileInfo link(path);
    const QByteArray temporary = QFile::encodeName(
        link.path() +
        QStringLiteral("/.%1.%2.new").arg(link.fileName()).arg(QCoreApplication::applicationPid()));
    ::unlink(temporary.constData()); // left by a run that was killed
    if (::symlink(QFile::encodeName(target).constData(), temporary.constData()) == 0 &&
        ::rename(temporary.constData(), QFile::encodeName(path).constData()) == 0)
        return true;
    error = QStringLiteral("cannot write %1: %2").arg(path, systemError());
    ::unlink(temporary.constData());
    return false;
}

// The system's list as it numbers the ports now: (n, device) for COM1, COM2 ...
QList<std::pair<int, QString>> systemPorts(const PortMap &system)
{
    QList<std::pair<int, QString>> ports;
    for (int n = 1;; ++n) {
        const QString device = system.mappedPath(n);
        if (device.isEmpty())
            return ports;
        ports.append({n, device});
    }
}

// Without a ports folder the system's list numbers the ports; the folder replaces that
// list, so it starts with a link for each port at the number the list gives it, or
// every other port would vanish and a remembered COM number would name another device.
// Says what it wrote; on failure takes it all back.
bool createPortsFolder(const QString &folder, int except, QString &error)
{
    const QList<std::pair<int, QString>> ports = systemPorts(PortMap(folder));
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("cannot create the ports folder %1").arg(folder);
        return false;
    }
    QStringList written;
    QStringList lines{QStringLiteral("created the ports folder %1: from now on it alone numbers "
                                     "the ports, and an adapter plugged in later needs a tx4040 "
                                     "map; the system's ports keep their numbers")
                          .arg(folder)};
    for (const auto &[number, device] : ports) {
        if (number == except)
            continue;
        const QString path = linkPath(folder, number);
        const QString target = StablePortName(device);
        if (!writeLink(path, target, error)) {
            for (const QString &link : std::as_const(written))
                QFile::remove(link);
            QDir().rmdir(folder);
            return false;
        }
        written << path;
        lines << QStringLiteral("COM%1 -> %2").arg(number).arg(target);
    }
    for (const QString &line : std::as_const(lines))
        say(line);
    return true;
}

} // namespace

int RunMap(int portNumber, const QString &device)
{
    // Under sudo, the user's folder is written as the user.
    const FileWorkAsOwner owner(linkPath(PortsFolder(), portNumber));
    const QString real = QFileInfo(device).canonicalFilePath();
    if (const QString refusal = refusalOf(device, real); !refusal.isEmpty())
        return refuse(refusal);

    const QString folder = PortsFolder();
    const QString path = linkPath(folder, portNumber);
    const QString target = StablePortName(real);
    QString was;
    QString error;
    if (!PortMap(folder).usesPortsFolder()) {
        was = PortMap(folder).mappedPath(portNumber);
        if (!createPortsFolder(folder, portNumber, error))
            return refuse(error);
    } else {
        const QFileInfo existing(path);
        if (existing.exists() && !existing.isSymLink())
            return refuse(QStringLiteral("%1 is not a link; it is left as it is").arg(path));
        if (existing.isSymLink())
            was = existing.symLinkTarget();
    }
    if (!writeLink(path, target, error))
        return refuse(error);
    // The link is the user's now, not a simulated module's.
    QFile::remove(ownerRecordPath(folder, portNumber));
    say(was.isEmpty() ? QStringLiteral("COM%1 -> %2").arg(portNumber).arg(target)
                      : QStringLiteral("COM%1 -> %2 (was %3)").arg(portNumber).arg(target, was));
    return ExitStatus::Done;
}

int RunUnmap(int portNumber)
{
    const QString folder = PortsFolder();
    const FileWorkAsOwner owner(linkPath(folder, portNumber));
    const QString path = linkPath(folder, portNumber);
    const QFileInfo link(path);
    if (!link.isSymLink()) {
        if (link.exists())
            return refuse(QStringLiteral("%1 is not a link; it is left as it is").arg(path));
        if (!PortMap(folder).usesPortsFolder())
            return refuse(QStringLiteral("COM%1 is not mapped: there is no ports folder, so the "
                                         "system's list numbers the ports")
                              .arg(portNumber));
        return refuse(QStringLiteral("COM%1 is not mapped in %2").arg(portNumber).arg(folder));
    }
    const QString was = link.symLinkTarget();
    if (::unlink(QFile::encodeName(path).constData()) != 0)
        return refuse(QStringLiteral("cannot remove %1: %2").arg(path, systemError()));
    QFile::remove(ownerRecordPath(folder, portNumber));
    say(QStringLiteral("COM%1 removed (was %2)").arg(portNumber).arg(was));

    // An empty folder would still hide every port of the system's.
    if (!PortMap(folder).folderPortNumbers().isEmpty())
        return ExitStatus::Done;
    if (::rmdir(QFile::encodeName(folder).constData()) == 0) {
        say(QStringLiteral("removed the ports folder %1: the system's list numbers the ports again")
                .arg(folder));
    } else {
        const QString why = errno == ENOTEMPTY || errno == EEXIST
                                ? QStringLiteral("it holds other files")
                                : systemError();
        WriteTo(stderr, QStringLiteral("tx4040: the ports folder %1 stays (%2), and while it is "
                                       "there the program sees none of the system's ports: "
                                       "remove it to use them\n")
                            .arg(folder, why)
                            .toUtf8());
    }
    return ExitStatus::Done;
}
