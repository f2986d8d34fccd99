#include "data/traces/tracescale.h"

#include "data/scan/trfparameters.h"
#include "data/traces/tracereadouts.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ZData::TR::TraceScale {

namespace {

constexpr std::array<double, 3> kStepMantissas = {1.0, 2.0, 5.0};
constexpr double kDecade = 10.0;
// The first step tried is a decade below the estimate, and a fitting step
// is found within two decades above it; the cap only guards the loop.
constexpr int kMaxStepsTried = 12;

// A reference level on a multiple of step at or above highDb, with the
// bottom at or below lowDb; nothing when the step is too fine.
std::optional<TLevelScale> fit(double lowDb, double highDb, double step, int divisions)
{
    const double reference = std::ceil(highDb / step) * step;
    const TLevelScale scale{reference, step, divisions};
    if (scale.bottomDb() > lowDb)
        return std::nullopt;
    return scale;
}

} // namespace

std::optional<TLevelScale> autoscale(double minDb, double maxDb, int divisions, double margin)
{
    if (!std::isfinite(minDb) || !std::isfinite(maxDb) || !std::isfinite(margin))
        return std::nullopt;
    divisions = std::clamp(divisions, kMinDivisions, kMaxDivisions);
    double low = std::min(minDb, maxDb);
    double high = std::max(minDb, maxDb);
    if (high - low < kMinSpanDb) {
        const double centre = (low + high) / 2.0;
        low = centre - kMinSpanDb / 2.0;
        high = centre + kMinSpanDb / 2.0;
    }
    const double room = (high - low) * std::clamp(margin, 0.0, kMaxMargin);
    low -= room;
    high += room;
    if (!std::isfinite(high - low))
        return std::nullopt;

    double decade = std::pow(kDecade, std::floor(std::log10((high - low) / divisions)) - 1.0);
    for (int tried = 0; tried < kMaxStepsTried; decade *= kDecade) {
        for (double mantissa : kStepMantissas) {
            ++tried;
            if (const std::optional<TLevelScale> scale = fit(low, high, mantissa * decade, divisions))
                return scale;
        }
    }
    return std::nullopt;
}

std::optional<TLevelScale> autoscale(const TTrace &trace, int divisions, double margin)
{
    const TBandReadout band = TraceReadouts::band(trace);
    if (!band.isValid())
        return std::nullopt;
    return autoscale(band.minimum.levelDb, band.maximum.levelDb, divisions, margin);
}

TLevelRange defaultRange(const TRFParameters &rf, bool useCalib, int channel)
{
    if (useCalib)
        return {kCalibratedBottomDb, kCalibratedTopDb};
    const double origin = channel == EScanChannel::S21 ? rf.s21AmpOrigin : rf.s12AmpOrigin;
    return {origin - kRawBelowOriginDb, origin + kRawAboveOriginDb};
}

} // namespace ZData::TR::TraceScale
