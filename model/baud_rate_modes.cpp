#include "baud_rate_modes.h"

const QStringList &BaudRateModes()
{
    static const QStringList modes{
        QStringLiteral("4800,n,8,1"),   QStringLiteral("4800,e,8,1"),
        QStringLiteral("9600,n,8,1"),   QStringLiteral("9600,e,8,1"),
        QStringLiteral("19200,n,8,1"),  QStringLiteral("19200,e,8,1"),
        QStringLiteral("38400,n,8,1"),  QStringLiteral("38400,e,8,1"),
        QStringLiteral("57600,n,8,1"),  QStringLiteral("57600,e,8,1"),
        QStringLiteral("115200,n,8,1"), QStringLiteral("115200,e,8,1"),
    };
    return modes;
}

bool IsBaudRateIndex(int index)
{
    return index >= 0 && index < BaudRateModeCount;
}
