#pragma once

#include "registry_text.h"

#include <QList>
#include <QString>

#include <functional>

// The steps of one rewrite of the file, in order; SetAside only when an unreadable
// file is moved out of the way first.
enum class RegistryWriteStep
{
    SetAside,
    TempOpened,
    Synced,
    Committed
};

// Called at each step of every rewrite, so that a test can end the process there.
using WriteStepHook = std::function<void(RegistryWriteStep)>;

// One registry key under HKEY_LOCAL_MACHINE, kept in a text file in the form of a
// registry export (see RegistryText), with the registry's operations on it. Every
// change to the key is one atomic rewrite of the whole file, so a crash leaves either
// the file before that change or the file after it. A file that is a symbolic link is
// rewritten where the link points. The rewritten file keeps its owner and mode.
// Failures change nothing on disk; errorString() says why.
class RegistryFile
{
public:
    using Query = RegistryText::Query;

    // keyPath: below HKEY_LOCAL_MACHINE, without a leading backslash
    // ("Software\\VANTREL\\Morvale").
    RegistryFile(QString filePath, QString keyPath, WriteStepHook onStep = {});

    // Opens the key without creating it. Fails when the file or the key's section does
    // not exist, when the file cannot be read as a registry export, or when this user
    // may not both read and write it (the key cannot be opened with full access).
    bool open();
    // Opens the key for writing, creating the folder, the file and the key's section
    // as needed. An unreadable file is first set aside as "<file>.bad" with its bytes.
    bool create();
    // Failed on a key that is not open.
    Query queryValue(const QString &name, RegistryValue &value) const;
    // Writes the values in one rewrite, each in place of its first occurrence, dropping
    // later ones, or appended to the key's section. False when the key is not open or
    // the file could not be rewritten; the file then holds what it held before.
    bool setValues(const QList<NamedValue> &values);
    bool setDword(const QString &name, quint32 value);
    // In quotes, or in hex when the text holds a line break or a zero character.
    bool setString(const QString &name, const QString &text);
    void close();

    // Why the last open, create or write failed: what the file is, or the system's
    // reason.
    const QString &errorString() const { return m_error; }

private:
    bool fail(const QString &reason) const;
    // False when the file cannot be opened with full access.
    bool readFile(QByteArray &bytes) const;
    bool setAside() const;
    bool rewrite(const RegistryText &text) const;
    void passStep(RegistryWriteStep step) const;

    QString m_filePath;
    QString m_keyPath;
    RegistryText m_text;
    bool m_open = false;
    WriteStepHook m_onStep;
    mutable QString m_error;
};
