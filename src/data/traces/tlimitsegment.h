#pragma once

#include <QVector>

#include <optional>

namespace ZData::TR {

// One segment of a channel's limit mask: between start and stop (Hz, both
// included) a measured level must not be below lower nor above upper, in
// the level the chart shows (dBm raw, dB calibrated). At least one bound.
struct TLimitSegment
{
    // More are not read from a profile: a mask is a handful of segments, and
    // a mistyped array size must not stall the start-up.
    static constexpr int kMaxSegments = 32;

    double startHz = 0.0;
    double stopHz = 0.0;
    std::optional<double> lowerDb;
    std::optional<double> upperDb;

    bool contains(double frequencyHz) const { return frequencyHz >= startHz && frequencyHz <= stopHz; }
    bool operator==(const TLimitSegment &other) const
    {
        return startHz == other.startHz && stopHz == other.stopHz && lowerDb == other.lowerDb
               && upperDb == other.upperDb;
    }
    bool operator!=(const TLimitSegment &other) const { return !(*this == other); }
};

using TLimitMask = QVector<TLimitSegment>;

} // namespace ZData::TR
