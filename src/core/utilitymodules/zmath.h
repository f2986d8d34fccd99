#pragma once

#include <QString>

namespace ZCore::UtilityModules::ZMath {

QString tag();
// max(lowest, min(count - 1, value)): the index bound by a list size.
int clampIndex(int value, int lowest, int count);
bool isEqual(double a, double b, double tolerance);
quint16 swapBytes16(quint16 value);

} // namespace ZCore::UtilityModules::ZMath
