#include "core/utilitymodules/zstring.h"

namespace ZCore::UtilityModules::ZString {

QString tag()
{
    static const QString tagText = QStringLiteral("Utility::ZString");
    return tagText;
}

QString formatNumber(double value, char format, int precision, bool forceSign)
{
    if (forceSign)
        return QString::asprintf("%+.*f", precision, value);
    return QString::number(value, format, precision);
}

QString justifyPair(const QString &label, const QString &value, const QString &suffix, QChar fill, int width)
{
    const QString joined = value + suffix;
    return label.leftJustified(width - joined.size(), fill) + joined;
}

QByteArray toUtf8Text(const QString &text)
{
    return text.toUtf8();
}

} // namespace ZCore::UtilityModules::ZString
