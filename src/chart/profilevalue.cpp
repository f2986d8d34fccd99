#include "chart/profilevalue.h"

#include "core/log.h"

#include <QSettings>

#include <cmath>

namespace ZChart::ProfileValue {

void refuse(const QString &tag, const QString &key, const QVariant &value)
{
    ZCore::Log::warning(tag, QStringLiteral(">> ignored %1=%2 from the profile").arg(key, value.toString()));
}

std::optional<double> number(const QSettings &settings, const QString &key, const QString &tag)
{
    if (!settings.contains(key))
        return std::nullopt;
    bool ok = false;
    const double value = settings.value(key).toString().trimmed().toDouble(&ok);
    if (ok && std::isfinite(value))
        return value;
    refuse(tag, key, settings.value(key));
    return std::nullopt;
}

} // namespace ZChart::ProfileValue
