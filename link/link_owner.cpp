#include "link_owner.h"

#include "port_system.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QString recordPath(const QString &linkPath)
{
    const QFileInfo link(linkPath);
    return link.path() + QStringLiteral("/.") + link.fileName() + QStringLiteral(".owner");
}

} // namespace

namespace LinkOwner {

bool record(const QString &linkPath)
{
    const qint64 pid = QCoreApplication::applicationPid();
    QSaveFile file(recordPath(linkPath));
    return file.open(QIODevice::WriteOnly) &&
           file.write(QByteArray::number(pid) + ' ' + ProcessStartTime(pid) + '\n') > 0 &&
           file.commit();
}

bool isGone(const QString &linkPath)
{
    QFile file(recordPath(linkPath));
    if (!file.open(QIODevice::ReadOnly))
        return false; // no record: not a simulator's link, or one of an older kind
    const QList<QByteArray> fields = file.readLine(64).trimmed().split(' ');
    bool ok = false;
    const qint64 pid = fields.value(0).toLongLong(&ok);
    return !ok || ProcessIsGone(pid, fields.value(1));
}

void forget(const QString &linkPath)
{
    QFile::remove(recordPath(linkPath));
}

} // namespace LinkOwner
