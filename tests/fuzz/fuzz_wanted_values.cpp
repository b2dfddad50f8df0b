// Any bytes as the file tx4040 apply reads: either nothing, with why, or values that
// can each be sent as they are, and that read back the same from the module object that
// info --json would print for them.

#include "baud_rate_modes.h"
#include "wanted_values.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool sameValues(const WantedConfiguration &a, const WantedConfiguration &b)
{
    return a.id == b.id && a.settingIndex == b.settingIndex && a.mode == b.mode &&
           a.polarity == b.polarity;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<WantedConfiguration> wanted = WantedOfJson(bytes, error);
    if (!wanted) {
        require(!error.isEmpty());
        return 0;
    }
    if (wanted->id) {
        require(wanted->id->size() == 2);
        const int id = wanted->id->toInt();
        require(id >= 1 && id <= 99);
    }
    if (wanted->settingIndex)
        require(*wanted->settingIndex >= 0 && *wanted->settingIndex < BaudRateModeCount);

    QJsonObject module;
    if (wanted->id)
        module.insert(QStringLiteral("id"), *wanted->id);
    if (wanted->settingIndex)
        module.insert(QStringLiteral("setting"), BaudRateModes().at(*wanted->settingIndex));
    if (wanted->mode)
        module.insert(QStringLiteral("mode"), OutputModeName(*wanted->mode));
    if (wanted->polarity)
        module.insert(QStringLiteral("polarity"), FlagsText(*wanted->polarity));
    const std::optional<WantedConfiguration> again =
        WantedOfJson(QJsonDocument(module).toJson(), error);
    require(again && sameValues(*again, *wanted));
    return 0;
}
