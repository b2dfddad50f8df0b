#include "stable_port_names.h"

#include "system_roots.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

UsbAdapter UsbAdapterOf(const QString &device)
{
    UsbAdapter adapter;
    const QString top = QFileInfo(SysfsRoot()).canonicalFilePath();
    QString folder = QFileInfo(SysfsRoot() + QStringLiteral("/class/tty/") +
                               QFileInfo(device).fileName() + QStringLiteral("/device"))
                         .canonicalFilePath();
    // The tty hangs on a USB interface, which hangs on the USB device; the walk ends at
    // the top of sysfs, which no device is above.
    while (!folder.isEmpty() && folder != top && folder != u"/") {
        if (QFileInfo::exists(folder + QStringLiteral("/idVendor"))) {
            adapter.isUsb = true;
            QFile serial(folder + QStringLiteral("/serial"));
            if (serial.open(QIODevice::ReadOnly))
                adapter.serialNumber = QString::fromLocal8Bit(serial.readLine(256)).trimmed();
            return adapter;
        }
        folder = QFileInfo(folder).path();
    }
    return adapter;
}

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
