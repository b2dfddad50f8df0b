#pragma once

#include <QFile>
#include <QString>

// One module of a provisioning run, as the terminal and the log tell it.
struct ProvisionedModule
{
    QString time; // local, with its zone
    QString serialNo;
    QString version;
    QString idBefore;
    QString idAfter;
    QString setting;
    QString mode;
    QString polarity;
    QString result; // "verified", or "failed: " and what failed
};

// The log of provisioning runs: CSV, appended to, with its header once at the top of the
// file, each row on the disk before the next module is taken.
class ProvisionLog
{
public:
    // False, with why, when the file cannot be opened for appending.
    bool open(const QString &path, QString &error);
    bool isOpen() const { return m_file.isOpen(); }
    // False, with why, when the row could not be written out.
    bool append(const ProvisionedModule &module, QString &error);

private:
    bool write(const QByteArray &bytes, QString &error);

    QFile m_file;
};

// A CSV field: quoted where it holds a comma, a quote or a line end (a line setting holds
// commas), its quotes doubled.
QString CsvField(const QString &text);
