#include "registry_file.h"

#include "unique_fd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file that a write of `filePath` replaces: where its links lead, or `filePath`
// itself while it does not exist.
QString storedPath(const QString &filePath)
{
    const QString canonical = QFileInfo(filePath).canonicalFilePath();
    return canonical.isEmpty() ? filePath : canonical;
}

// A rename lasts through a power failure only once its folder is on disk too.
void syncFolder(const QString &filePath)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(filePath).absolutePath());
    const UniqueFd fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.isValid())
        ::fsync(fd.get());
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Gives the new file the owner and mode of the one it replaces, so that a save run by
// root does not take the user's file away, and a file made read-only stays so. Only
// root may give a file away: anyone else's new file stays their own, which is why a
// failure here does not stop the save.
void keepOwnerAndMode(int fd, const QString &replaced)
{
    struct stat old = {};
    struct stat fresh = {};
    if (::stat(QFile::encodeName(replaced).constData(), &old) != 0 || ::fstat(fd, &fresh) != 0)
        return;
    if (old.st_uid != fresh.st_uid || old.st_gid != fresh.st_gid) [[maybe_unused]]
        const int given = ::fchown(fd, old.st_uid, old.st_gid);
    ::fchmod(fd, old.st_mode & 07777);
}

// Keeps the bytes of a file that a link leads to in a file of its own: linking the
// link would only give a second way to the bytes that the save is about to replace.
// Empty once done, else why not.
QString copyAside(const QString &source, const QString &bad)
{
    QFile from(source);
    QSaveFile to(bad);
    struct stat status = {};
    if (!from.open(QIODevice::ReadOnly) || ::fstat(from.handle(), &status) != 0)
        return from.errorString();
    if (!to.open(QIODevice::WriteOnly) || ::fchmod(to.handle(), status.st_mode & 07777) != 0)
        return to.errorString();
    for (;;) {
        const QByteArray chunk = from.read(64 * 1024);
        if (chunk.isEmpty())
            break;
        if (to.write(chunk) != chunk.size())
            return to.errorString();
    }
    if (!from.atEnd())
        return from.errorString();
    if (!to.flush() || ::fsync(to.handle()) != 0)
        return systemError();
    if (!to.commit())
        return to.errorString();
    syncFolder(bad);
    return {};
}

} // namespace

RegistryFile::RegistryFile(QString filePath, QString keyPath, WriteStepHook onStep)
    : m_filePath(std::move(filePath)), m_keyPath(std::move(keyPath)), m_text(m_keyPath),
      m_onStep(std::move(onStep))
{}

void RegistryFile::passStep(RegistryWriteStep step) const
{
    if (m_onStep)
        m_onStep(step);
}

bool RegistryFile::fail(const QString &reason) const
{
    m_error = reason;
    return false;
}

bool RegistryFile::open()
{
    close();
    QByteArray bytes;
    m_open = readFile(bytes) && m_text.parse(bytes) && m_text.hasKey();
    if (!m_open)
        close();
    return m_open;
}

bool RegistryFile::create()
{
    close();
    const QFileInfo info(m_filePath);
    if (info.exists() || info.isSymLink()) {
        QByteArray bytes;
        if (!readFile(bytes))
            return false;
        if (!m_text.parse(bytes)) {
            if (!setAside())
                return false;
            passStep(RegistryWriteStep::SetAside);
        }
    } else if (!QDir().mkpath(info.absolutePath())) {
        return fail(QStringLiteral("cannot create the folder %1").arg(info.absolutePath()));
    }
    if (!m_text.hasKey()) {
        RegistryText withKey = m_text;
        if (!withKey.addKey()) {
            close();
            return fail(QStringLiteral("the file cannot hold the key (it would grow past %1 "
                                       "bytes)")
                            .arg(RegistryText::MaxSize));
        }
        if (!rewrite(withKey)) {
            close();
            return false;
        }
        m_text = withKey;
    }
    m_open = true;
    return true;
}

RegistryFile::Query RegistryFile::queryValue(const QString &name, RegistryValue &value) const
{
    return m_open ? m_text.queryValue(name, value) : Query::Failed;
}

bool RegistryFile::setValues(const QList<NamedValue> &values)
{
    RegistryText next = m_text;
    if (!m_open)
        return fail(QStringLiteral("the key is not open"));
    if (!next.setValues(values))
        return fail(QStringLiteral("the file cannot hold the values (it would grow past %1 "
                                   "bytes, or its encoding cannot write them)")
                        .arg(RegistryText::MaxSize));
    if (!rewrite(next))
        return false;
    m_text = next;
    return true;
}

bool RegistryFile::setDword(const QString &name, quint32 value)
{
    return setValues({{name, RegistryValue::dword(value)}});
}

bool RegistryFile::setString(const QString &name, const QString &text)
{
    return setValues({{name, RegistryValue::text(text)}});
}

void RegistryFile::close()
{
    m_open = false;
    m_text = RegistryText(m_keyPath);
}

bool RegistryFile::readFile(QByteArray &bytes) const
{
    bytes.clear();
    const QFileInfo info(m_filePath);
    if (!info.isFile()) {
        if (info.isSymLink() && !info.exists())
            return fail(QStringLiteral("it is a link that leads to nothing"));
        return fail(info.isDir() ? QStringLiteral("it is a folder")
                                 : QStringLiteral("it is not a regular file"));
    }
    QFile file(m_filePath);
    // Opening for reading and writing is the test of full access; it changes nothing.
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return fail(file.errorString());
    // A larger file is not read into memory whole; one byte more tells it is larger.
    bytes = file.read(RegistryText::MaxSize + 1);
    return true;
}

bool RegistryFile::setAside() const
{
    const QString bad = m_filePath + QStringLiteral(".bad");
    QFile::remove(bad);
    if (QFileInfo(m_filePath).isSymLink()) {
        const QString failure = copyAside(m_filePath, bad);
        return failure.isEmpty() ||
               fail(QStringLiteral("cannot keep its bytes in %1: %2").arg(bad, failure));
    }
    // A hard link keeps the unreadable file in its place until the fresh one replaces
    // it, so a crash in between still leaves one of the two there.
    if (::link(QFile::encodeName(m_filePath).constData(), QFile::encodeName(bad).constData()) == 0)
        return true;
    QFile file(m_filePath);
    return file.rename(bad) ||
           fail(QStringLiteral("cannot keep its bytes in %1: %2").arg(bad, file.errorString()));
}

bool RegistryFile::rewrite(const RegistryText &text) const
{
    const QByteArray bytes = text.bytes();
    const QString stored = storedPath(m_filePath);
    // The new text goes to a file beside the old one and is renamed over it only once
    // it is complete and on disk; an unfinished QSaveFile removes its file.
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    keepOwnerAndMode(file.handle(), stored);
    passStep(RegistryWriteStep::TempOpened);
    if (file.write(bytes) != bytes.size() || !file.flush())
        return fail(file.errorString());
    if (::fsync(file.handle()) != 0)
        return fail(systemError());
    passStep(RegistryWriteStep::Synced);
    if (!file.commit())
        return fail(file.errorString());
    syncFolder(stored);
    passStep(RegistryWriteStep::Committed);
    return true;
}
