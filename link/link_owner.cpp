#include "link_owner.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <csignal>

#include <unistd.h>

namespace {

QString recordPath(const QString &linkPath)
{
    const QFileInfo link(linkPath);
    return link.path() + QStringLiteral("/.") + link.fileName() + QStringLiteral(".owner");
}

// Field 22 of /proc/<pid>/stat: the start time in clock ticks since boot. Empty where
// there is no such process.
QByteArray startTimeOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    // The command name in parentheses may hold blanks; the fields after it do not.
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return {};
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    return fields.size() > 19 ? fields.at(19) : QByteArray();
}

} // namespace

namespace LinkOwner {

bool record(const QString &linkPath)
{
    const qint64 pid = ::getpid();
    QSaveFile file(recordPath(linkPath));
    return file.open(QIODevice::WriteOnly) &&
           file.write(QByteArray::number(pid) + ' ' + startTimeOf(pid) + '\n') > 0 && file.commit();
}

bool isGone(const QString &linkPath)
{
    QFile file(recordPath(linkPath));
    if (!file.open(QIODevice::ReadOnly))
        return false; // no record: not a simulator's link, or one of an older kind
    const QList<QByteArray> fields = file.readLine(64).trimmed().split(' ');
    bool ok = false;
    const qint64 pid = fields.value(0).toLongLong(&ok);
    if (!ok || pid <= 0)
        return true;
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return true;
    const QByteArray started = fields.value(1);
    return !started.isEmpty() && startTimeOf(pid) != started;
}

void forget(const QString &linkPath)
{
    QFile::remove(recordPath(linkPath));
}

} // namespace LinkOwner
