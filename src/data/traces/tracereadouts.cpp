#include "data/traces/tracereadouts.h"

#include <algorithm>
#include <cmath>

namespace ZData::TR::TraceReadouts {

namespace {

double distanceToSpan(double frequencyHz, double lowHz, double highHz)
{
    if (frequencyHz < lowHz)
        return lowHz - frequencyHz;
    if (frequencyHz > highHz)
        return frequencyHz - highHz;
    return 0.0;
}

// The measured points inside the span in index order or, when none is,
// the one nearest to it (the first of equals).
QVector<int> pointsInSpan(const TTrace &trace, double fromHz, double toHz)
{
    const double low = std::min(fromHz, toHz);
    const double high = std::max(fromHz, toHz);
    QVector<int> inside;
    int nearest = -1;
    double nearestDistance = std::numeric_limits<double>::infinity();
    for (int i = 0; i < trace.size(); ++i) {
        if (!trace.isMeasured(i))
            continue;
        const double distance = distanceToSpan(trace.frequencyHz(i), low, high);
        if (distance == 0.0)
            inside.append(i);
        else if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = i;
        }
    }
    if (inside.isEmpty() && nearest >= 0)
        inside.append(nearest);
    return inside;
}

TPointReading reading(const TTrace &trace, int index)
{
    if (index < 0)
        return {};
    return {index, trace.frequencyHz(index), trace.levelDb(index)};
}

template <typename Better>
TPointReading extreme(const TTrace &trace, const QVector<int> &indices, Better better)
{
    int best = -1;
    for (int index : indices) {
        if (best < 0 || better(trace.levelDb(index), trace.levelDb(best)))
            best = index;
    }
    return reading(trace, best);
}

// Where the line from point above to point below crosses the threshold.
double crossing(const TTrace &trace, int above, int below, double thresholdDb)
{
    const double levelAbove = trace.levelDb(above);
    const double t = (levelAbove - thresholdDb) / (levelAbove - trace.levelDb(below));
    return trace.frequencyHz(above) + t * (trace.frequencyHz(below) - trace.frequencyHz(above));
}

// Walks from the peak's position in indices by step until a point at or
// below the threshold.
std::optional<double> edge(const TTrace &trace, const QVector<int> &indices, int peakPosition, int step,
                           double thresholdDb)
{
    for (int k = peakPosition + step; k >= 0 && k < indices.size(); k += step) {
        if (trace.levelDb(indices.at(k)) <= thresholdDb)
            return crossing(trace, indices.at(k - step), indices.at(k), thresholdDb);
    }
    return std::nullopt;
}

// measured has no gaps and frequencies that do not decrease.
std::optional<double> interpolatedMeasured(const TTrace &measured, double frequencyHz)
{
    const QVector<double> &frequencies = measured.frequencies();
    if (measured.isEmpty() || !(frequencyHz >= frequencies.first()) || !(frequencyHz <= frequencies.last()))
        return std::nullopt;
    const int upper = int(std::lower_bound(frequencies.cbegin(), frequencies.cend(), frequencyHz) - frequencies.cbegin());
    if (upper == 0 || frequencies.at(upper) == frequencyHz)
        return measured.levelDb(upper);
    const int lower = upper - 1;
    const double t = (frequencyHz - frequencies.at(lower)) / (frequencies.at(upper) - frequencies.at(lower));
    return measured.levelDb(lower) + t * (measured.levelDb(upper) - measured.levelDb(lower));
}

} // namespace

TPointReading peak(const TTrace &trace, double fromHz, double toHz)
{
    return extreme(trace, pointsInSpan(trace, fromHz, toHz), std::greater<double>());
}

TPointReading minimum(const TTrace &trace, double fromHz, double toHz)
{
    return extreme(trace, pointsInSpan(trace, fromHz, toHz), std::less<double>());
}

TBandReadout band(const TTrace &trace, double fromHz, double toHz)
{
    const QVector<int> indices = pointsInSpan(trace, fromHz, toHz);
    TBandReadout result;
    if (indices.isEmpty())
        return result;
    result.minimum = extreme(trace, indices, std::less<double>());
    result.maximum = extreme(trace, indices, std::greater<double>());
    result.flatnessDb = result.maximum.levelDb - result.minimum.levelDb;
    double sum = 0.0;
    for (int index : indices)
        sum += trace.levelDb(index);
    result.points = indices.size();
    result.meanDb = sum / indices.size();
    return result;
}

TBandwidthReadout bandwidth(const TTrace &trace, double dropDb, double fromHz, double toHz)
{
    const QVector<int> indices = pointsInSpan(trace, fromHz, toHz);
    TBandwidthReadout result;
    result.dropDb = dropDb;
    result.peak = extreme(trace, indices, std::greater<double>());
    if (!result.peak.isValid() || !(dropDb > 0.0) || !std::isfinite(dropDb))
        return result;
    const int position = indices.indexOf(result.peak.index);
    const double threshold = result.peak.levelDb - dropDb;
    result.lowerHz = edge(trace, indices, position, -1, threshold);
    result.upperHz = edge(trace, indices, position, +1, threshold);
    return result;
}

TPointReading valueAt(const TTrace &trace, double frequencyHz)
{
    const QVector<int> indices = pointsInSpan(trace, frequencyHz, frequencyHz);
    return reading(trace, indices.isEmpty() ? -1 : indices.first());
}

TDelta delta(const TPointReading &reading, const TPointReading &against)
{
    return {reading.frequencyHz - against.frequencyHz, reading.levelDb - against.levelDb};
}

std::optional<double> interpolatedLevel(const TTrace &trace, double frequencyHz)
{
    return interpolatedMeasured(trace.measuredOnly(), frequencyHz);
}

TTrace difference(const TTrace &live, const TTrace &reference)
{
    const TTrace measured = reference.measuredOnly();
    QVector<double> levels(live.size(), TTrace::gap());
    for (int i = 0; i < live.size(); ++i) {
        if (!live.isMeasured(i))
            continue;
        if (const std::optional<double> level = interpolatedMeasured(measured, live.frequencyHz(i)))
            levels[i] = live.levelDb(i) - *level;
    }
    return TTrace(live.frequencies(), levels);
}

} // namespace ZData::TR::TraceReadouts
