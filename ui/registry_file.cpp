#include "registry_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

namespace {

// A key's file holds a few hundred bytes; a larger one is not read into memory whole.
constexpr qint64 MaxFileSize = 64 * 1024;
constexpr char Header[] = "REGEDIT4";
constexpr char Bom[] = "\xEF\xBB\xBF";

std::function<void(RegistryWriteStep)> &writeStepHook()
{
    static std::function<void(RegistryWriteStep)> hook;
    return hook;
}

void passStep(RegistryWriteStep step)
{
    if (const auto &hook = writeStepHook())
        hook(step);
}

bool isHexDigits(const QByteArray &digits)
{
    return !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    });
}

// Reads a quoted text with regedit's two escapes, \" and \\, starting at the opening
// quote; leaves `at` just after the closing quote.
bool readQuoted(const QByteArray &line, qsizetype &at, QByteArray &text)
{
    for (++at; at < line.size(); ++at) {
        char c = line.at(at);
        if (c == '"') {
            ++at;
            return true;
        }
        if (c == '\\') {
            if (++at == line.size() || (line.at(at) != '\\' && line.at(at) != '"'))
                return false;
            c = line.at(at);
        }
        text += c;
    }
    return false;
}

QByteArray quoted(const QByteArray &text)
{
    QByteArray escaped = text;
    escaped.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + escaped + '"';
}

// Splits `"name"=data`; false for a line that names no value.
bool splitValueLine(const QByteArray &content, QString &name, QByteArray &data)
{
    const QByteArray line = content.trimmed();
    qsizetype at = 0;
    QByteArray rawName;
    if (!line.startsWith('"') || !readQuoted(line, at, rawName))
        return false;
    while (at < line.size() && (line.at(at) == ' ' || line.at(at) == '\t'))
        ++at;
    if (at == line.size() || line.at(at) != '=')
        return false;
    name = QString::fromUtf8(rawName);
    data = line.mid(at + 1).trimmed();
    return true;
}

RegistryType typeFromNumber(uint number)
{
    switch (number) {
    case 1:
        return RegistryType::Sz;
    case 2:
        return RegistryType::ExpandSz;
    case 4:
        return RegistryType::Dword;
    default:
        return RegistryType::Other;
    }
}

// The data part of a value line. `deleted`: "-", which removes the value on an import.
bool parseData(const QByteArray &data, RegistryValue &value, bool &deleted)
{
    deleted = data == "-";
    if (deleted)
        return true;
    if (data.startsWith('"')) {
        qsizetype at = 0;
        QByteArray text;
        if (!readQuoted(data, at, text) || at != data.size())
            return false;
        value = {RegistryType::Sz, text + '\0'};
        return true;
    }
    const qsizetype colon = data.indexOf(':');
    if (colon < 0)
        return false;
    const QByteArray kind = data.left(colon).toLower();
    const QByteArray body = data.mid(colon + 1).trimmed();
    if (kind == "dword") {
        if (!isHexDigits(body) || body.size() > 8)
            return false;
        value = {RegistryType::Dword, QByteArray(4, '\0')};
        qToLittleEndian(body.toUInt(nullptr, 16), value.data.data());
        return true;
    }
    uint type = 3; // REG_BINARY, written as plain "hex:"
    if (kind.startsWith("hex(") && kind.endsWith(')') && isHexDigits(kind.mid(4, kind.size() - 5)))
        type = kind.mid(4, kind.size() - 5).toUInt(nullptr, 16);
    else if (kind != "hex")
        return false;
    QByteArray bytes;
    for (const QByteArray &item : body.isEmpty() ? QByteArrayList{} : body.split(',')) {
        const QByteArray digits = item.trimmed();
        if (!isHexDigits(digits) || digits.size() > 2)
            return false;
        bytes += char(digits.toUInt(nullptr, 16));
    }
    value = {typeFromNumber(type), bytes};
    return true;
}

// regedit wraps long hex data with a backslash at the end of each line but the last.
bool continuesOnNextLine(const QByteArray &content)
{
    QString name;
    QByteArray data;
    return splitValueLine(content, name, data) && data.toLower().startsWith("hex") &&
           data.endsWith('\\');
}

// A hard link keeps the unreadable file in its place until the fresh one replaces it,
// so a crash in between still leaves one of the two there.
bool setAside(const QString &filePath)
{
    const QString bad = filePath + QStringLiteral(".bad");
    QFile::remove(bad);
    if (::link(QFile::encodeName(filePath).constData(), QFile::encodeName(bad).constData()) == 0)
        return true;
    return QFile::rename(filePath, bad);
}

// The rename that replaced the file lasts through a power failure only once its folder
// is on disk too.
void syncFolder(const QString &filePath)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(filePath).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

RegistryFile::RegistryFile(QString filePath, QString keyPath)
    : m_filePath(std::move(filePath)), m_keyPath(std::move(keyPath))
{}

void RegistryFile::setWriteStepHook(std::function<void(RegistryWriteStep)> hook)
{
    writeStepHook() = std::move(hook);
}

bool RegistryFile::open()
{
    close();
    bool readable = false;
    qsizetype lastInSection = -1;
    if (!readFile(readable) || !readable) {
        m_entries.clear();
        return false;
    }
    keyValueEntries({}, lastInSection);
    m_open = lastInSection >= 0;
    if (!m_open)
        m_entries.clear();
    return m_open;
}

bool RegistryFile::create()
{
    close();
    const QFileInfo info(m_filePath);
    if (info.exists() || info.isSymLink()) {
        bool readable = false;
        if (!readFile(readable))
            return false;
        if (!readable) {
            if (!setAside(m_filePath))
                return false;
            passStep(RegistryWriteStep::SetAside);
        }
    } else if (!QDir().mkpath(info.absolutePath())) {
        return false;
    }
    qsizetype lastInSection = -1;
    keyValueEntries({}, lastInSection);
    if (lastInSection < 0) {
        appendKeySection();
        if (!rewrite()) {
            m_entries.clear();
            return false;
        }
    }
    m_open = true;
    return true;
}

RegistryFile::Query RegistryFile::queryValue(const QString &name, RegistryValue &value) const
{
    if (!m_open)
        return Query::Failed;
    qsizetype lastInSection = -1;
    const QList<qsizetype> found = keyValueEntries(name, lastInSection);
    if (found.isEmpty())
        return Query::Missing;
    // An import applies the lines in order, so the last one counts.
    QString ignored;
    QByteArray data;
    bool deleted = false;
    splitValueLine(m_entries.at(found.last()).content, ignored, data);
    if (!parseData(data, value, deleted))
        return Query::Failed;
    return deleted ? Query::Missing : Query::Found;
}

bool RegistryFile::setDword(const QString &name, quint32 value)
{
    return setValue(name, "dword:" + QByteArray::number(value, 16).rightJustified(8, '0'));
}

bool RegistryFile::setString(const QString &name, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    // Quotes cannot hold a line break or a zero byte; regedit writes such a text in hex.
    if (bytes.contains('\n') || bytes.contains('\r') || bytes.contains('\0'))
        return setValue(name, "hex(1):" + (bytes + '\0').toHex(','));
    return setValue(name, quoted(bytes));
}

void RegistryFile::close()
{
    m_open = false;
    m_entries.clear();
}

bool RegistryFile::readFile(bool &readable)
{
    m_entries.clear();
    readable = false;
    QFile file(m_filePath);
    // Opening for reading and writing is the test of full access; it changes nothing.
    if (!QFileInfo(m_filePath).isFile() ||
        !file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return false;
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (bytes.size() > MaxFileSize)
        return true;
    bool continued = false;
    for (qsizetype start = 0; start < bytes.size();) {
        const qsizetype newline = bytes.indexOf('\n', start);
        const qsizetype end = newline < 0 ? bytes.size() : newline + 1;
        const QByteArray line = bytes.mid(start, end - start);
        start = end;
        QByteArray content = line;
        while (content.endsWith('\n') || content.endsWith('\r'))
            content.chop(1);
        if (continued) {
            m_entries.last().raw += line;
            m_entries.last().content += content.trimmed();
        } else {
            m_entries.append({line, content});
        }
        QByteArray &joined = m_entries.last().content;
        continued = continuesOnNextLine(joined);
        if (continued) {
            joined = joined.trimmed();
            joined.chop(1);
        }
    }
    QByteArray first = m_entries.isEmpty() ? QByteArray() : m_entries.first().content;
    if (first.startsWith(Bom))
        first.remove(0, qstrlen(Bom));
    readable = first == Header;
    if (!readable)
        m_entries.clear();
    return true;
}

bool RegistryFile::isKeySection(const QByteArray &content) const
{
    const QByteArray line = content.trimmed();
    return line.startsWith('[') && line.endsWith(']') &&
           QString::fromUtf8(line.mid(1, line.size() - 2))
                   .compare(QStringLiteral("HKEY_LOCAL_MACHINE\\") + m_keyPath,
                            Qt::CaseInsensitive) == 0;
}

// The lines of the key's sections that name the value, and the last non-blank line of
// the key's first section (-1 when the key has no section).
QList<qsizetype> RegistryFile::keyValueEntries(const QString &name, qsizetype &lastInSection) const
{
    QList<qsizetype> found;
    lastInSection = -1;
    bool inKey = false;
    bool firstSectionDone = false;
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const QByteArray &content = m_entries.at(i).content;
        if (content.trimmed().startsWith('[')) {
            firstSectionDone = firstSectionDone || inKey;
            inKey = isKeySection(content);
        }
        if (!inKey)
            continue;
        if (!firstSectionDone && !content.trimmed().isEmpty())
            lastInSection = i;
        QString valueName;
        QByteArray data;
        if (splitValueLine(content, valueName, data) &&
            valueName.compare(name, Qt::CaseInsensitive) == 0)
            found.append(i);
    }
    return found;
}

bool RegistryFile::setValue(const QString &name, const QByteArray &data)
{
    if (!m_open)
        return false;
    const QList<Entry> before = m_entries;
    const QByteArray content = quoted(name.toUtf8()) + '=' + data;
    qsizetype lastInSection = -1;
    const QList<qsizetype> found = keyValueEntries(name, lastInSection);
    if (found.isEmpty()) {
        if (!m_entries[lastInSection].raw.endsWith('\n'))
            m_entries[lastInSection].raw += lineEnd();
        m_entries.insert(lastInSection + 1, {content + lineEnd(), content});
    } else {
        m_entries[found.first()] = {content + lineEnd(), content};
        for (qsizetype i = found.size() - 1; i > 0; --i)
            m_entries.removeAt(found.at(i));
    }
    if (!rewrite()) {
        m_entries = before;
        return false;
    }
    return true;
}

// New lines follow the file's own line ends.
QByteArray RegistryFile::lineEnd() const
{
    return !m_entries.isEmpty() && m_entries.first().raw.endsWith("\r\n") ? "\r\n" : "\n";
}

void RegistryFile::appendKeySection()
{
    const QByteArray end = lineEnd();
    if (m_entries.isEmpty())
        m_entries.append({Header + end, Header});
    if (!m_entries.last().raw.endsWith('\n'))
        m_entries.last().raw += end;
    if (!m_entries.last().content.trimmed().isEmpty())
        m_entries.append({end, {}});
    const QByteArray header =
        '[' + (QStringLiteral("HKEY_LOCAL_MACHINE\\") + m_keyPath).toUtf8() + ']';
    m_entries.append({header + end, header});
}

bool RegistryFile::rewrite() const
{
    QByteArray bytes;
    for (const Entry &entry : m_entries)
        bytes += entry.raw;
    // The new text goes to a file beside the old one and is renamed over it only once
    // it is complete and on disk; an unfinished QSaveFile removes its file.
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    passStep(RegistryWriteStep::TempOpened);
    if (file.write(bytes) != bytes.size() || !file.flush() || ::fsync(file.handle()) != 0)
        return false;
    passStep(RegistryWriteStep::Synced);
    if (!file.commit())
        return false;
    syncFolder(m_filePath);
    passStep(RegistryWriteStep::Committed);
    return true;
}
