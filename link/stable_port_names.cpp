#include "stable_port_names.h"

#include "system_roots.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString SerialLinkTo(const QString &device, const QString &kind)
{
    const QString real = QFileInfo(device).canonicalFilePath();
    if (real.isEmpty())
        return {};
    const QDir links(DevSerialRoot() + u'/' + kind);
    for (const QFileInfo &link : links.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
        if (link.canonicalFilePath() == real)
            return link.absoluteFilePath();
    }
    return {};
}

QString StablePortName(const QString &device)
{
    if (!UsbAdapterOf(device).serialNumber.isEmpty()) {
        const QString byId = SerialLinkTo(device, QStringLiteral("by-id"));
        if (!byId.isEmpty())
            return byId;
    }
    const QString byPath = SerialLinkTo(device, QStringLiteral("by-path"));
    return byPath.isEmpty() ? device : byPath;
}
