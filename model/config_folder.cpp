#include "config_folder.h"

#include <QDir>

QString VantrelConfigFolder()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/VANTREL");
}

QString PortsFolder()
{
    return VantrelConfigFolder() + QStringLiteral("/ports");
}
