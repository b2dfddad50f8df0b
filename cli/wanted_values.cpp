#include "wanted_values.h"

#include "command_arguments.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// A value as text: a string as it is, a whole number as its digits (an ID or a setting's
// index written by hand), anything else as nothing.
std::optional<QString> textOf(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble() && value.toDouble() == double(value.toInt()))
        return QString::number(value.toInt());
    return std::nullopt;
}

// The key's value read by `argument`; nothing and error set where the key holds none.
template <typename Value>
bool read(const QJsonObject &module, const char *key,
          std::optional<Value> (*argument)(const QString &), std::optional<Value> &wanted,
          QString &error)
{
    const QJsonValue value = module.value(QLatin1String(key));
    if (value.isUndefined())
        return true;
    const std::optional<QString> text = textOf(value);
    wanted = text ? argument(*text) : std::nullopt;
    if (!wanted) {
        error = QStringLiteral("\"%1\" holds no value it can take").arg(QLatin1String(key));
        if (text)
            error += QStringLiteral(": ") + *text;
    }
    return wanted.has_value();
}

} // namespace

std::optional<WantedConfiguration> WantedOfJson(const QByteArray &text, QString &error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = QStringLiteral("not JSON: %1 at character %2")
                    .arg(parseError.errorString())
                    .arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isObject()) {
        error = QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    QJsonObject module = document.object();
    // A report of info or scan: its one module.
    if (module.contains(QStringLiteral("modules"))) {
        const QJsonArray modules = module.value(QStringLiteral("modules")).toArray();
        if (modules.size() != 1 || !modules.first().isObject()) {
            error = QStringLiteral("the report holds %1 modules, not one").arg(modules.size());
            return std::nullopt;
        }
        module = modules.first().toObject();
    }
    WantedConfiguration wanted;
    if (!read(module, "id", ModuleIdArgument, wanted.id, error) ||
        !read(module, "setting", SettingArgument, wanted.settingIndex, error) ||
        !read(module, "mode", ModeArgument, wanted.mode, error) ||
        !read(module, "polarity", FlagsArgument, wanted.polarity, error))
        return std::nullopt;
    return wanted;
}
