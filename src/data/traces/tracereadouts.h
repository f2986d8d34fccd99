#pragma once

#include "data/traces/ttrace.h"

#include <limits>
#include <optional>

namespace ZData::TR {

// The measured point a readout lands on; index -1 when the trace has none.
struct TPointReading
{
    int index = -1;
    double frequencyHz = 0.0;
    double levelDb = 0.0;

    bool isValid() const { return index >= 0; }
};

// One reading against another: this minus the other.
struct TDelta
{
    double frequencyHz = 0.0;
    double levelDb = 0.0;
};

struct TBandReadout
{
    TPointReading minimum;
    TPointReading maximum;
    double flatnessDb = 0.0;
    // The mean of the points' dB values, not of their powers: it is the
    // level a user reads off the plot, and a gain ripple averages evenly.
    double meanDb = 0.0;
    int points = 0;

    bool isValid() const { return points > 0; }
};

// The -N dB bandwidth around the peak. An edge is missing when the trace
// does not fall N dB below the peak on that side inside the span.
struct TBandwidthReadout
{
    TPointReading peak;
    double dropDb = 0.0;
    std::optional<double> lowerHz;
    std::optional<double> upperHz;

    bool isFound() const { return lowerHz.has_value() && upperHz.has_value(); }
    double widthHz() const { return isFound() ? *upperHz - *lowerHz : 0.0; }
    double centreHz() const { return isFound() ? (*lowerHz + *upperHz) / 2.0 : 0.0; }
};

// Mark and band arithmetic on a trace. A span is two frequencies in either
// order, both ends included; the default span is the whole trace. Gaps are
// skipped. A span holding no measured point (a band narrower than the point
// step) reads the measured point nearest to it, so a readout between two
// marks on neighbouring points still shows a value rather than nothing.
namespace TraceReadouts {

inline constexpr double kDefaultDropDb = 3.0;
inline constexpr double kWholeLow = -std::numeric_limits<double>::infinity();
inline constexpr double kWholeHigh = std::numeric_limits<double>::infinity();

// Ties go to the lowest frequency, so a flat top reads its first point.
TPointReading peak(const TTrace &trace, double fromHz = kWholeLow, double toHz = kWholeHigh);
TPointReading minimum(const TTrace &trace, double fromHz = kWholeLow, double toHz = kWholeHigh);
TBandReadout band(const TTrace &trace, double fromHz = kWholeLow, double toHz = kWholeHigh);
// Both edges are interpolated linearly between the last point above the
// threshold and the first at or below it; a drop that is not a positive
// number finds no edge.
TBandwidthReadout bandwidth(const TTrace &trace, double dropDb = kDefaultDropDb, double fromHz = kWholeLow,
                            double toHz = kWholeHigh);
// A mark's value: the nearest measured point, not an interpolation, so
// the level shown is one the device measured and the mark sits on the
// point the line is drawn through.
TPointReading valueAt(const TTrace &trace, double frequencyHz);
TDelta delta(const TPointReading &reading, const TPointReading &against);
// The level between the two measured points around the frequency, for
// comparing traces on different grids; nothing outside the measured span.
std::optional<double> interpolatedLevel(const TTrace &trace, double frequencyHz);
// Live minus reference per live point; a gap where the live point is not
// measured or the reference does not reach its frequency. The reference's
// measured frequencies must not decrease, as every sweep and file has them.
TTrace difference(const TTrace &live, const TTrace &reference);

} // namespace TraceReadouts

} // namespace ZData::TR
