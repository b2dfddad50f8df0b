#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// The kinds of value a key holds, as far as this program tells them apart.
enum class RegistryType
{
    Dword,
    Sz,
    ExpandSz,
    Other
};

// A value as the registry hands it out: a DWORD as four little-endian bytes, a text
// with its terminating zero byte.
struct RegistryValue
{
    RegistryType type = RegistryType::Other;
    QByteArray data;
};

// The steps of one rewrite of the file, in order; SetAside only when an unreadable
// file is moved out of the way first.
enum class RegistryWriteStep
{
    SetAside,
    TempOpened,
    Synced,
    Committed
};

// One registry key under HKEY_LOCAL_MACHINE, kept in a text file in the form of a
// REGEDIT4 registry export, with the registry's operations on it. Every change to
// the key is one atomic rewrite of the whole file, so a crash leaves either the file
// before that change or the file after it. Lines the key does not understand,
// comments and other sections are written back as they were.
class RegistryFile
{
public:
    enum class Query
    {
        Found,
        Missing,
        // The value is named in the key but its data cannot be read.
        Failed
    };

    // keyPath: below HKEY_LOCAL_MACHINE, without a leading backslash
    // ("Software\\VANTREL\\Morvale").
    RegistryFile(QString filePath, QString keyPath);

    // Opens the key without creating it. Fails when the file or the key's section does
    // not exist, when the file cannot be read as a registry export, or when this user
    // may not both read and write it (the key cannot be opened with full access).
    bool open();
    // Opens the key for writing, creating the folder, the file and the key's section
    // as needed. An unreadable file is first moved aside to "<file>.bad".
    bool create();
    // Failed on a key that is not open.
    Query queryValue(const QString &name, RegistryValue &value) const;
    // Each writes the value in place of its first occurrence, dropping later ones, or
    // appends it to the key's section. False when the key is not open or the file could
    // not be rewritten; the file then holds what it held before. A text is written as
    // UTF-8, in hex when it holds a line break or a zero character.
    bool setDword(const QString &name, quint32 value);
    bool setString(const QString &name, const QString &text);
    void close();

    // For tests: called at each step of every rewrite, so that a test can end the
    // process there. Empty by default.
    static void setWriteStepHook(std::function<void(RegistryWriteStep)> hook);

private:
    // One line of the file as read, or a hex value continued over several lines.
    struct Entry
    {
        QByteArray raw;     // exactly as in the file, line ends included
        QByteArray content; // continuation lines joined, without line ends
    };

    // False when the file cannot be opened with full access; `readable` false when it
    // opens but is too large or not a REGEDIT4 export, and then no line is kept.
    bool readFile(bool &readable);
    bool isKeySection(const QByteArray &content) const;
    QList<qsizetype> keyValueEntries(const QString &name, qsizetype &lastInSection) const;
    bool setValue(const QString &name, const QByteArray &data);
    QByteArray lineEnd() const;
    void appendKeySection();
    bool rewrite() const;

    QString m_filePath;
    QString m_keyPath;
    QList<Entry> m_entries;
    bool m_open = false;
};
