#include "core/utilitymodules/zmath.h"

#include <algorithm>
#include <cmath>

namespace ZCore::UtilityModules::ZMath {

QString tag()
{
    static const QString tagText = QStringLiteral("Utility::ZMath");
    return tagText;
}

int clampIndex(int value, int lowest, int count)
{
    return std::max(lowest, std::min(count - 1, value));
}

bool isEqual(double a, double b, double tolerance)
{
    return std::fabs(a - b) < tolerance;
}

quint16 swapBytes16(quint16 value)
{
    return quint16((value << 8) | (value >> 8));
}

} // namespace ZCore::UtilityModules::ZMath
