#include "core/tfrequency.h"

#include <cmath>

namespace ZCore {

bool TFrequency::operator==(const TFrequency &other) const
{
    return std::fabs(m_hz - other.m_hz) < kEqualityToleranceHz;
}

} // namespace ZCore
