#pragma once

#include <QtGlobal>

namespace ZCore {

class TFrequency
{
public:
    static constexpr double kHzPerKHz = 1000.0;
    static constexpr double kHzPerMHz = 1000000.0;
    static constexpr double kHzPerGHz = 1000000000.0;
    static constexpr qint64 kMultiplierMHz = 1000000;
    // Two frequencies closer than this are the same point.
    static constexpr double kEqualityToleranceHz = 0.000001;

    constexpr TFrequency() = default;
    constexpr explicit TFrequency(double hz) : m_hz(hz) {}
    constexpr TFrequency(double value, qint64 multiplier) : m_hz(value * double(multiplier)) {}

    constexpr double hz() const { return m_hz; }
    constexpr double kHz() const { return m_hz / kHzPerKHz; }
    constexpr double MHz() const { return m_hz / kHzPerMHz; }
    constexpr double GHz() const { return m_hz / kHzPerGHz; }

    bool operator==(const TFrequency &other) const;
    bool operator!=(const TFrequency &other) const { return !(*this == other); }
    constexpr bool operator<(const TFrequency &other) const { return m_hz < other.m_hz; }
    constexpr bool operator<=(const TFrequency &other) const { return m_hz <= other.m_hz; }
    constexpr bool operator>(const TFrequency &other) const { return m_hz > other.m_hz; }
    constexpr bool operator>=(const TFrequency &other) const { return m_hz >= other.m_hz; }
    constexpr TFrequency operator+(const TFrequency &other) const { return TFrequency(m_hz + other.m_hz); }
    constexpr TFrequency operator-(const TFrequency &other) const { return TFrequency(m_hz - other.m_hz); }

private:
    double m_hz = 0.0;
};

// The program-wide band limits.
inline constexpr TFrequency kFrequencyMin{1.0, TFrequency::kMultiplierMHz};
inline constexpr TFrequency kFrequencyMax{6200000000.0};

} // namespace ZCore
