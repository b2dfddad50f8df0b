#include "system_roots.h"

#include <QtGlobal>

namespace {

QString rootFrom(const char *variable, const char *standard)
{
    const QString redirected = qEnvironmentVariable(variable);
    return redirected.isEmpty() ? QString::fromLatin1(standard) : redirected;
}

} // namespace

QString SysfsRoot()
{
    return rootFrom("TX4040_SYSFS_ROOT", "/sys");
}

QString DevSerialRoot()
{
    return rootFrom("TX4040_DEV_SERIAL_ROOT", "/dev/serial");
}
