#include "provision_log.h"

#include <QStringList>

#include <unistd.h>

namespace {

const QByteArray Header = "time,serial,version,id_before,id_after,setting,mode,polarity,result\n";

} // namespace

QString CsvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

bool ProvisionLog::open(const QString &path, QString &error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::Append | QIODevice::WriteOnly)) {
        error = QStringLiteral("cannot write the log %1: %2").arg(path, m_file.errorString());
        return false;
    }
    return m_file.size() > 0 || write(Header, error);
}

bool ProvisionLog::append(const ProvisionedModule &module, QString &error)
{
    QStringList fields;
    for (const QString &field :
         {module.time, module.serialNo, module.version, module.idBefore, module.idAfter,
          module.setting, module.mode, module.polarity, module.result})
        fields << CsvField(field);
    return write(fields.join(u',').toUtf8() + '\n', error);
}

bool ProvisionLog::write(const QByteArray &bytes, QString &error)
{
    // On the disk, not only in a buffer: a crash or a power cut loses nothing logged.
    if (m_file.write(bytes) == bytes.size() && m_file.flush() && ::fsync(m_file.handle()) == 0)
        return true;
    error =
        QStringLiteral("cannot write the log %1: %2").arg(m_file.fileName(), m_file.errorString());
    return false;
}
