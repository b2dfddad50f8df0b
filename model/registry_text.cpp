#include "registry_text.h"

#include "utf16_bytes.h"

#include <QtEndian>

#include <algorithm>

namespace {

constexpr char Regedit4[] = "REGEDIT4";
constexpr char Unicode5[] = "Windows Registry Editor Version 5.00";
constexpr char Utf8Bom[] = "\xEF\xBB\xBF";
constexpr char Utf16LeBom[] = "\xFF\xFE";
constexpr char Machine[] = "HKEY_LOCAL_MACHINE\\";

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
// `unicode`: texts in hex are UTF-16LE, as a version 5.00 export writes them.
bool parseData(const QByteArray &data, bool unicode, RegistryValue &value, bool &deleted)
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
    const bool text = value.type == RegistryType::Sz || value.type == RegistryType::ExpandSz;
    return !(unicode && text) || utf16LeToUtf8(bytes, value.data);
}

// A text in quotes cannot hold a line break, and its zero byte is the one that ends it.
bool fitsInQuotes(const QByteArray &text)
{
    return !text.contains('\n') && !text.contains('\r') && !text.contains('\0');
}

bool isValidValue(const RegistryValue &value)
{
    QByteArray utf16;
    switch (value.type) {
    case RegistryType::Dword:
        return value.data.size() == 4;
    case RegistryType::Sz:
    case RegistryType::ExpandSz:
        return value.data.endsWith('\0') && utf8ToUtf16Le(value.data, utf16);
    case RegistryType::Other:
        break;
    }
    return false;
}

} // namespace

RegistryValue RegistryValue::dword(quint32 value)
{
    RegistryValue dword{RegistryType::Dword, QByteArray(4, '\0')};
    qToLittleEndian(value, dword.data.data());
    return dword;
}

RegistryValue RegistryValue::text(const QString &text)
{
    return {RegistryType::Sz, text.toUtf8() + '\0'};
}

RegistryText::RegistryText(QString keyPath) : m_keyPath(std::move(keyPath)) {}

bool RegistryText::parse(const QByteArray &bytes)
{
    *this = RegistryText(m_keyPath);
    QByteArray text = bytes;
    const bool utf16 = bytes.startsWith(Utf16LeBom);
    // Its byte order mark turns into the UTF-8 one, which the header line then carries.
    if (bytes.size() > MaxSize || (utf16 && !utf16LeToUtf8(bytes, text)))
        return false;
    m_utf16 = utf16;
    bool continued = false;
    for (qsizetype start = 0; start < text.size();) {
        const qsizetype newline = text.indexOf('\n', start);
        const qsizetype end = newline < 0 ? text.size() : newline + 1;
        const QByteArray line = text.mid(start, end - start);
        start = end;
        QByteArray content = line;
        while (content.endsWith('\n') || content.endsWith('\r'))
            content.chop(1);
        // regedit wraps long hex data with a backslash at the end of each line but the
        // last; each line's own backslash says whether the next one belongs to it.
        if (continued) {
            Entry &entry = m_entries.last();
            entry.raw += line;
            content = content.trimmed();
            continued = content.endsWith('\\');
            entry.content += continued ? content.chopped(1) : content;
        } else {
            m_entries.append(entry(line, content));
            Entry &entry = m_entries.last();
            QString name;
            QByteArray data;
            continued = entry.kind == Entry::Kind::Value && splitValueLine(content, name, data) &&
                        data.toLower().startsWith("hex") && data.endsWith('\\');
            if (continued)
                entry.content = content.trimmed().chopped(1);
        }
        m_entries.last().unfinished = continued;
    }
    QByteArray header = m_entries.isEmpty() ? QByteArray() : m_entries.first().content;
    if (header.startsWith(Utf8Bom))
        header.remove(0, qstrlen(Utf8Bom));
    m_unicode = header == Unicode5;
    if (!m_unicode && (m_utf16 || header != Regedit4)) {
        *this = RegistryText(m_keyPath);
        return false;
    }
    return true;
}

QByteArray RegistryText::bytes() const
{
    // Everything that changes the entries checks first that they still encode.
    QByteArray bytes;
    encode(bytes);
    return bytes;
}

bool RegistryText::hasKey() const
{
    qsizetype lastInSection = -1;
    scanKey({}, lastInSection);
    return lastInSection >= 0;
}

bool RegistryText::addKey()
{
    RegistryText next = *this;
    if (next.m_entries.isEmpty())
        next.m_entries.append(entry(Regedit4 + lineEnd(), Regedit4));
    next.endEntry(next.m_entries.size() - 1);
    const QByteArray end = next.lineEnd();
    if (!next.m_entries.last().content.trimmed().isEmpty())
        next.m_entries.append(entry(end, {}));
    const QByteArray header = '[' + (Machine + m_keyPath).toUtf8() + ']';
    next.m_entries.append(entry(header + end, header));
    QByteArray bytes;
    if (!next.encode(bytes) || bytes.size() > MaxSize)
        return false;
    *this = std::move(next);
    return true;
}

RegistryText::Query RegistryText::queryValue(const QString &name, RegistryValue &value) const
{
    const QList<qsizetype> found = valueEntries(name);
    if (found.isEmpty())
        return Query::Missing;
    // An import applies the lines in order, so the last one counts.
    QString ignored;
    QByteArray data;
    bool deleted = false;
    splitValueLine(m_entries.at(found.last()).content, ignored, data);
    if (!parseData(data, m_unicode, value, deleted))
        return Query::Failed;
    return deleted ? Query::Missing : Query::Found;
}

bool RegistryText::setValues(const QList<NamedValue> &values)
{
    RegistryText next = *this;
    for (const NamedValue &value : values) {
        if (!next.setValue(value))
            return false;
    }
    QByteArray bytes;
    if (!next.encode(bytes) || bytes.size() > MaxSize)
        return false;
    *this = std::move(next);
    return true;
}

QList<qsizetype> RegistryText::valueEntries(const QString &name) const
{
    qsizetype lastInSection = -1;
    return scanKey(name, lastInSection);
}

// What a line is, told once when the entry is made: a continued value stays what its
// first line made it.
RegistryText::Entry RegistryText::entry(QByteArray raw, QByteArray content) const
{
    Entry made;
    made.raw = std::move(raw);
    made.content = std::move(content);
    const QByteArray line = made.content.trimmed();
    QByteArray data;
    if (line.isEmpty())
        made.kind = Entry::Kind::Blank;
    else if (line.startsWith('['))
        made.kind = isKeySection(line) ? Entry::Kind::KeySection : Entry::Kind::Section;
    else if (splitValueLine(line, made.name, data))
        made.kind = Entry::Kind::Value;
    return made;
}

// The entries of the key's sections that name the value, and the last non-blank entry
// of the key's first section (-1 when the key has no section).
QList<qsizetype> RegistryText::scanKey(const QString &name, qsizetype &lastInSection) const
{
    QList<qsizetype> found;
    lastInSection = -1;
    bool inKey = false;
    bool firstSectionDone = false;
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const Entry &entry = m_entries.at(i);
        if (entry.kind == Entry::Kind::Section || entry.kind == Entry::Kind::KeySection) {
            firstSectionDone = firstSectionDone || inKey;
            inKey = entry.kind == Entry::Kind::KeySection;
        }
        if (!inKey)
            continue;
        if (!firstSectionDone && entry.kind != Entry::Kind::Blank)
            lastInSection = i;
        if (entry.kind == Entry::Kind::Value && entry.name.compare(name, Qt::CaseInsensitive) == 0)
            found.append(i);
    }
    return found;
}

// `line`: trimmed.
bool RegistryText::isKeySection(const QByteArray &line) const
{
    if (!line.endsWith(']'))
        return false;
    const QString path = QString::fromUtf8(line.mid(1, line.size() - 2));
    const QString machine = QString::fromLatin1(Machine);
    if (path.compare(machine + m_keyPath, Qt::CaseInsensitive) == 0)
        return true;
    // Where 64-bit Windows keeps a 32-bit program's Software key.
    const QString software = QStringLiteral("Software\\");
    return m_keyPath.startsWith(software, Qt::CaseInsensitive) &&
           path.compare(machine + software + QStringLiteral("WOW6432Node\\") +
                            m_keyPath.mid(software.size()),
                        Qt::CaseInsensitive) == 0;
}

bool RegistryText::setValue(const NamedValue &value)
{
    // A line break would end the line the name is written on.
    if (!isValidValue(value.value) || value.name.contains('\n') || value.name.contains('\r'))
        return false;
    qsizetype lastInSection = -1;
    const QList<qsizetype> found = scanKey(value.name, lastInSection);
    if (lastInSection < 0)
        return false;
    const QByteArray content = quoted(value.name.toUtf8()) + '=' + dataText(value.value);
    const Entry line = entry(content + lineEnd(), content);
    if (found.isEmpty()) {
        endEntry(lastInSection);
        m_entries.insert(lastInSection + 1, line);
        return true;
    }
    m_entries[found.first()] = line;
    for (qsizetype i = found.size() - 1; i > 0; --i)
        m_entries.removeAt(found.at(i));
    return true;
}

QByteArray RegistryText::dataText(const RegistryValue &value) const
{
    if (value.type == RegistryType::Dword)
        return "dword:" + QByteArray::number(qFromLittleEndian<quint32>(value.data.constData()), 16)
                              .rightJustified(8, '0');
    const QByteArray text = value.data.chopped(1);
    if (value.type == RegistryType::Sz && fitsInQuotes(text))
        return quoted(text);
    // As regedit writes such a text: in hex, with its zero, UTF-16LE in a 5.00 export.
    QByteArray bytes = value.data;
    if (m_unicode)
        utf8ToUtf16Le(value.data, bytes);
    return (value.type == RegistryType::Sz ? "hex(1):" : "hex(2):") + bytes.toHex(',');
}

// New lines follow the text's own line ends.
QByteArray RegistryText::lineEnd() const
{
    return !m_entries.isEmpty() && m_entries.first().raw.endsWith("\r\n") ? "\r\n" : "\n";
}

// Makes the entry one that a following line does not join: ends its last line and
// gives an unfinished hex value the empty line it waits for, which adds nothing to it.
void RegistryText::endEntry(qsizetype index)
{
    Entry &entry = m_entries[index];
    if (!entry.raw.endsWith('\n'))
        entry.raw += lineEnd();
    if (entry.unfinished)
        entry.raw += lineEnd();
    entry.unfinished = false;
}

bool RegistryText::encode(QByteArray &bytes) const
{
    qsizetype size = 0;
    for (const Entry &entry : m_entries)
        size += entry.raw.size();
    QByteArray text;
    text.reserve(size);
    for (const Entry &entry : m_entries)
        text += entry.raw;
    if (!m_utf16) {
        bytes = text;
        return true;
    }
    return utf8ToUtf16Le(text, bytes);
}
