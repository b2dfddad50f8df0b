#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The kinds of value a key holds, as far as this program tells them apart.
enum class RegistryType
{
    Dword,
    Sz,
    ExpandSz,
    Other
};

// A value as the registry hands it out: a DWORD as four little-endian bytes, a text as
// UTF-8 with its terminating zero byte.
struct RegistryValue
{
    RegistryType type = RegistryType::Other;
    QByteArray data;

    static RegistryValue dword(quint32 value);
    static RegistryValue text(const QString &text);

    friend bool operator==(const RegistryValue &, const RegistryValue &) = default;
};

struct NamedValue
{
    QString name;
    RegistryValue value;
};

// The text of a registry export, parsed into entries, with one key's values to query
// and set; no file is touched here. Reads REGEDIT4 exports (UTF-8, with or without a
// byte order mark) and "Windows Registry Editor Version 5.00" exports (UTF-16LE with
// its byte order mark, or UTF-8). Serialising gives back exactly the bytes parsed, but
// for the entries that setting values replaced, removed or added: every other line,
// comments, other keys and lines the parser does not understand included, stays as it
// was, in the file's own encoding and line ends.
class RegistryText
{
public:
    enum class Query
    {
        Found,
        Missing,
        // The value is named in the key but its data cannot be read.
        Failed
    };

    // One line of the text, or a hex value continued over several lines.
    struct Entry
    {
        enum class Kind
        {
            Other,
            Blank,
            Section,
            KeySection,
            Value
        };

        QByteArray raw;     // exactly as in the text (as UTF-8), line ends included
        QByteArray content; // continuation lines joined, without line ends or backslashes
        Kind kind = Kind::Other;
        QString name; // of a Value
        // A hex value whose last line asks for a continuation the text does not have.
        bool unfinished = false;
    };

    // The most a stored export may take, in bytes as stored.
    static constexpr qsizetype MaxSize = 64 * 1024;

    // keyPath: below HKEY_LOCAL_MACHINE, without a leading backslash
    // ("Software\\VANTREL\\Morvale"). Its section may also be the one that 64-bit Windows
    // shows a 32-bit program ("Software\\WOW6432Node\\VANTREL\\Morvale").
    explicit RegistryText(QString keyPath);

    // False, leaving an empty text, when the bytes are no export this reads: too large,
    // without a known header, or UTF-16 that does not turn back into the same bytes.
    bool parse(const QByteArray &bytes);
    // The text in its stored form.
    QByteArray bytes() const;

    bool hasKey() const;
    // Appends the key's section; an empty text becomes a REGEDIT4 export first. False,
    // changing nothing, when the text would grow past MaxSize.
    bool addKey();
    Query queryValue(const QString &name, RegistryValue &value) const;
    // Writes each value, in order, in place of its first occurrence in the key's
    // sections, dropping later ones, or after the last line of the key's first section.
    // Takes DWORDs of four bytes and texts in UTF-8 ending in a zero byte. False,
    // changing nothing, when the key has no section, a value is of another form, or the
    // text would grow past MaxSize.
    bool setValues(const QList<NamedValue> &values);

    const QList<Entry> &entries() const { return m_entries; }
    // The entries of the key's sections that name the value, in order.
    QList<qsizetype> valueEntries(const QString &name) const;

private:
    Entry entry(QByteArray raw, QByteArray content) const;
    QList<qsizetype> scanKey(const QString &name, qsizetype &lastInSection) const;
    bool isKeySection(const QByteArray &line) const;
    bool setValue(const NamedValue &value);
    QByteArray dataText(const RegistryValue &value) const;
    QByteArray lineEnd() const;
    void endEntry(qsizetype index);
    bool encode(QByteArray &bytes) const;

    QString m_keyPath;
    QList<Entry> m_entries;
    // Stored as UTF-16LE; the entries hold the text as UTF-8 all the same.
    bool m_utf16 = false;
    // A version 5.00 export, whose texts in hex form are UTF-16LE.
    bool m_unicode = false;
};
