// Any bytes as a settings file that someone may have edited, read and then written as
// a save writes it: the values set in one step and read back from the written text
// equal what was set, and every entry of the file that names none of them stays as it
// was, in its order.
//
// Entries are the parser's: a line with its line end, or a hex value with the lines it
// continues over. An entry "names a set value" when it is one of valueEntries() for that
// name, in the text before or in the text after. Taking those out of both, the entries
// after are the entries before, byte for byte, followed by the key's section when the
// text had none. The one entry that may differ is the text's last: a line without a
// line end gains one, and a hex value still waiting for its next line gains an empty
// one, when something is written after it.

#include "registry_text.h"

#include <QSet>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QString KeyPath = QStringLiteral("Software\\VANTREL\\Morvale");
const QByteArray KeySection = "[HKEY_LOCAL_MACHINE\\Software\\VANTREL\\Morvale]";

// Names the property that failed, so that a finding says which one it is.
void require(bool condition, int line = __builtin_LINE())
{
    if (condition)
        return;
    std::fprintf(stderr, "property failed at line %d\n", line);
    std::abort();
}

// Takes bytes from the end of the input, so that the values vary with it without
// taking from the part a mutation works on most.
class Seed
{
public:
    explicit Seed(const QByteArray &input) : m_input(input) {}
    uint next()
    {
        if (m_input.isEmpty())
            return m_count++;
        return uchar(m_input.at(m_input.size() - 1 - (m_count++ % m_input.size())));
    }

private:
    QByteArray m_input;
    uint m_count = 0;
};

QString nameInSomeCase(const QString &name, Seed &seed)
{
    const uint mask = seed.next();
    QString varied = name;
    for (qsizetype i = 0; i < varied.size(); ++i) {
        if ((mask >> (i % 8)) & 1)
            varied[i] = varied.at(i).isUpper() ? varied.at(i).toLower() : varied.at(i).toUpper();
    }
    return varied;
}

// Characters that quotes must escape, that only hex can hold, and that take several
// bytes in UTF-8 or two units in UTF-16.
QString textFrom(Seed &seed, bool plain)
{
    static const QString Plain = QStringLiteral("0123456789,enos\"\\[]=; @-");
    static const QString Special = QStringLiteral("\n\r\u00e9\u4e2d\U0001F600") + QChar(0);
    QString text;
    const uint length = seed.next() % 24;
    for (uint i = 0; i < length; ++i) {
        const uint pick = seed.next();
        const QString &from = plain || pick % 3 != 0 ? Plain : Special;
        const qsizetype at = qsizetype(pick % uint(from.size()));
        // Keep a surrogate pair whole.
        text += from.at(at).isLowSurrogate()    ? from.mid(at - 1, 2)
                : from.at(at).isHighSurrogate() ? from.mid(at, 2)
                                                : from.mid(at, 1);
    }
    // A line break at the end, where one is easiest to lose.
    if (!plain && seed.next() % 2 == 0)
        text += QChar(u'\n');
    return text;
}

QList<NamedValue> valuesFrom(Seed &seed)
{
    const auto dword = [&] {
        quint32 value = 0;
        for (int i = 0; i < 4; ++i)
            value = value << 8 | seed.next();
        return RegistryValue::dword(value);
    };
    RegistryValue special = RegistryValue::text(textFrom(seed, false));
    if (seed.next() & 1)
        special.type = RegistryType::ExpandSz;
    return {
        {nameInSomeCase(QStringLiteral("ScanCommNo"), seed), dword()},
        {nameInSomeCase(QStringLiteral("ScanBaudRateNo"), seed), dword()},
        {nameInSomeCase(QStringLiteral("ScanBaudRate"), seed),
         RegistryValue::text(textFrom(seed, true))},
        {nameInSomeCase(QStringLiteral("LanguageFlag"), seed), special},
    };
}

// The most bytes that writing the values may add: each line with its name and data
// escaped or in hex, the line ends of a last entry, a new section; twice that in UTF-16.
qsizetype mostGrowth(const QList<NamedValue> &values)
{
    qsizetype growth = 4 + 2 + KeySection.size() + 2;
    for (const NamedValue &value : values)
        growth += 2 * value.name.toUtf8().size() + 3 + 12 * value.value.data.size() + 16;
    return 2 * growth;
}

// The indices of the entries that name none of the values.
QList<qsizetype> namingNone(const RegistryText &text, const QList<NamedValue> &values)
{
    QSet<qsizetype> named;
    for (const NamedValue &value : values) {
        for (const qsizetype i : text.valueEntries(value.name))
            named.insert(i);
    }
    QList<qsizetype> kept;
    for (qsizetype i = 0; i < text.entries().size(); ++i) {
        if (!named.contains(i))
            kept.append(i);
    }
    return kept;
}

void requireKept(const RegistryText &before, const RegistryText &after,
                 const QList<NamedValue> &values)
{
    const QList<qsizetype> old = namingNone(before, values);
    const QList<qsizetype> now = namingNone(after, values);
    require(now.size() >= old.size());
    const QByteArray lineEnd =
        !before.entries().isEmpty() && before.entries().first().raw.endsWith("\r\n") ? "\r\n"
                                                                                     : "\n";
    for (qsizetype i = 0; i < old.size(); ++i) {
        const RegistryText::Entry &entry = before.entries().at(old.at(i));
        const QByteArray &raw = after.entries().at(now.at(i)).raw;
        if (raw == entry.raw)
            continue;
        require(old.at(i) == before.entries().size() - 1);
        QByteArray ended = entry.raw;
        if (!ended.endsWith('\n'))
            ended += lineEnd;
        if (entry.unfinished)
            ended += lineEnd;
        require(raw == ended);
    }
    // A key without a section before gets one at the end, after a blank line when the
    // text's last line is not blank; a text that was not read starts with the header.
    QByteArrayList added;
    for (qsizetype i = old.size(); i < now.size(); ++i)
        added.append(after.entries().at(now.at(i)).content);
    if (before.hasKey())
        require(added.isEmpty());
    else if (before.entries().isEmpty())
        require(added == (QByteArrayList{"REGEDIT4", "", KeySection}));
    else
        require(added == QByteArrayList{KeySection} || added == (QByteArrayList{"", KeySection}));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    RegistryText original(KeyPath);
    const bool readable = original.parse(input);
    // What is read is written back exactly as it was; what is not read leaves nothing.
    require(readable ? original.bytes() == input : original.entries().isEmpty());
    for (const QString &name : {QStringLiteral("ScanCommNo"), QStringLiteral("ScanBaudRate"),
                                QStringLiteral("ScanBaudRateNo"), QStringLiteral("LanguageFlag")}) {
        RegistryValue value;
        const RegistryText::Query query = original.queryValue(name, value);
        require((query == RegistryText::Query::Missing) || !original.valueEntries(name).isEmpty());
    }

    Seed seed(input);
    const QList<NamedValue> values = valuesFrom(seed);
    RegistryText text = original;
    // As a save does: the key's section first, then the values in one step. Either may
    // only be refused for the room it would take.
    if (!text.hasKey() && !text.addKey()) {
        require(input.size() + mostGrowth({}) > RegistryText::MaxSize);
        require(text.bytes() == input);
        return 0;
    }
    const QByteArray withKey = text.bytes();
    if (!text.setValues(values)) {
        require(withKey.size() + mostGrowth(values) > RegistryText::MaxSize);
        require(text.bytes() == withKey);
        return 0;
    }

    const QByteArray written = text.bytes();
    require(written.size() <= RegistryText::MaxSize);
    RegistryText reread(KeyPath);
    require(reread.parse(written));
    require(reread.bytes() == written);
    require(written.startsWith("\xFF\xFE") == (readable && input.startsWith("\xFF\xFE")));
    for (const NamedValue &value : values) {
        RegistryValue read;
        require(reread.queryValue(value.name, read) == RegistryText::Query::Found);
        require(read == value.value);
        require(reread.valueEntries(value.name).size() == 1);
    }
    requireKept(original, reread, values);
    return 0;
}
