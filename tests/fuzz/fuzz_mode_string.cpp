// Any text as a mode string, as a stored setting may hold one: either nothing, or a
// line setting that a serial port can take and that reads back the same from its own
// canonical form.

#include "baud_rate_modes.h"
#include "mode_string.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

QString canonical(const LineSettings &s)
{
    const char parity[] = {'n', '?', 'e', 'o', 's', 'm'};
    const QString stop = s.stopBits == QSerialPort::OneStop          ? QStringLiteral("1")
                         : s.stopBits == QSerialPort::OneAndHalfStop ? QStringLiteral("1.5")
                                                                     : QStringLiteral("2");
    return QStringLiteral("%1,%2,%3,%4")
        .arg(s.baudRate)
        .arg(QChar::fromLatin1(parity[int(s.parity)]))
        .arg(int(s.dataBits))
        .arg(stop);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QString &text : {QString::fromUtf8(bytes), QString::fromLatin1(bytes)}) {
        const std::optional<LineSettings> settings = ParseModeString(text);
        if (!settings)
            continue;
        require(settings->baudRate > 0);
        require(settings->dataBits >= QSerialPort::Data5 &&
                settings->dataBits <= QSerialPort::Data8);
        require(int(settings->parity) >= 0 && int(settings->parity) <= 5 &&
                int(settings->parity) != 1);
        require(text.count(u',') == 3);
        require(ParseModeString(canonical(*settings)) == settings);
        // One of the program's own settings reads back as exactly that entry.
        const int index = int(BaudRateModes().indexOf(canonical(*settings)));
        if (index >= 0)
            require(ParseModeString(BaudRateModes().at(index)) == settings);
    }
    return 0;
}
