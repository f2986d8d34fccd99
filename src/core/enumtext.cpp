#include "core/enumtext.h"

namespace ZCore::EnumPrinter {

QString tag()
{
    static const QString tagText = QStringLiteral("EnumPrinter");
    return tagText;
}

QString unknownValue(const QString &typeName, qint64 value)
{
    Log::warning(tag(), QStringLiteral(">> got unknown value of [ %1 ]: %2").arg(typeName).arg(value));
    return QString::number(value);
}

} // namespace ZCore::EnumPrinter
