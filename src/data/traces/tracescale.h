#pragma once

#include "data/traces/ttrace.h"

#include <optional>

namespace ZData {
struct TRFParameters;
}

namespace ZData::TR {

struct TLevelRange
{
    double bottomDb = 0.0;
    double topDb = 0.0;
};

// A level axis as an instrument sets it: the reference level at the top
// and a whole number of divisions of a 1-2-5 step below it.
struct TLevelScale
{
    double referenceDb = 0.0;
    double dbPerDivision = 0.0;
    int divisions = 0;

    double bottomDb() const { return referenceDb - dbPerDivision * divisions; }
    TLevelRange range() const { return {bottomDb(), referenceDb}; }
};

namespace TraceScale {

// One division cannot hold a trace that straddles a multiple of its step.
inline constexpr int kMinDivisions = 2;
inline constexpr int kMaxDivisions = 100;
// Room left above and below the trace, as a share of its span.
inline constexpr double kDefaultMargin = 0.1;
inline constexpr double kMaxMargin = 10.0;
// A flat trace still gets a scale that shows tenths of a dB.
inline constexpr double kMinSpanDb = 1.0;
// The default level axis: a window around the raw origin, and the
// calibrated one.
inline constexpr double kRawBelowOriginDb = 110.0;
inline constexpr double kRawAboveOriginDb = 20.0;
inline constexpr double kCalibratedBottomDb = -20.0;
inline constexpr double kCalibratedTopDb = 90.0;

// The smallest 1-2-5 step, and the reference level on a multiple of it,
// that fit minDb .. maxDb with the margin into the divisions (clamped into
// kMinDivisions .. kMaxDivisions; the margin into 0 .. kMaxMargin).
// Nothing for levels whose span is not a finite number.
std::optional<TLevelScale> autoscale(double minDb, double maxDb, int divisions, double margin = kDefaultMargin);
// The same over a trace's measured points; nothing when it has none.
std::optional<TLevelScale> autoscale(const TTrace &trace, int divisions, double margin = kDefaultMargin);
// Raw: the channel's origin - 110 .. origin + 20 (dBm); calibrated: -20 .. 90 dB.
TLevelRange defaultRange(const TRFParameters &rf, bool useCalib, int channel);

} // namespace TraceScale

} // namespace ZData::TR
