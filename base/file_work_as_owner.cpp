#include "file_work_as_owner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef Q_OS_LINUX
#include <sys/fsuid.h>
#endif

namespace {

// The nearest folder that exists on the way to a path, as it is: a link on the way is
// not followed, since its owner is who placed it.
QString nearestExisting(const QString &path, struct stat &status)
{
    QString entry = QDir::cleanPath(QFileInfo(path).absolutePath());
    for (;;) {
        if (::lstat(QFile::encodeName(entry).constData(), &status) == 0)
            return entry;
        const QString parent = QFileInfo(entry).path();
        if (parent == entry)
            return {};
        entry = parent;
    }
}

} // namespace

FileWorkAsOwner::FileWorkAsOwner(const QString &path)
{
#ifdef Q_OS_LINUX
    if (::geteuid() != 0)
        return;
    struct stat status
    {
    };
    m_entry = nearestExisting(path, status);
    if (m_entry.isEmpty() || status.st_uid == 0)
        return;
    m_uid = status.st_uid;
    const struct passwd *owner = ::getpwuid(m_uid);
    const gid_t gid = owner ? owner->pw_gid : status.st_gid;
    m_previousGid = gid_t(::setfsgid(gid));
    m_previousUid = uid_t(::setfsuid(m_uid));
    m_active = true;
#else
    Q_UNUSED(path);
#endif
}

FileWorkAsOwner::~FileWorkAsOwner()
{
#ifdef Q_OS_LINUX
    if (!m_active)
        return;
    ::setfsuid(m_previousUid);
    ::setfsgid(m_previousGid);
#endif
}

QString FileWorkAsOwner::description() const
{
    if (!m_active)
        return {};
    const struct passwd *owner = ::getpwuid(m_uid);
    const QString name = owner ? QString::fromLocal8Bit(owner->pw_name) : QString::number(m_uid);
    return QStringLiteral("working as %1, who owns %2").arg(name, m_entry);
}
