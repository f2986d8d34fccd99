#pragma once

#include "data/scan/tscanpreset.h"

#include <QVector>

#include <algorithm>
#include <initializer_list>

namespace Bench {

inline constexpr quint32 kPresetPoints = 1024;

// The largest sweep a preset can ask for: 1024 points per channel, with
// three and four marks, as a GSM-900 repeater is checked in the field.
inline ZData::TScanPreset largestPreset()
{
    const qint64 mhz = ZCore::TFrequency::kMultiplierMHz;
    const auto range = [mhz](double start, double stop) {
        return ZData::TScanRange(ZCore::TFrequency(start, mhz), ZCore::TFrequency(stop, mhz), kPresetPoints);
    };
    const auto marks = [mhz](std::initializer_list<double> list) {
        QVector<ZCore::TFrequency> result;
        for (double f : list)
            result.append(ZCore::TFrequency(f, mhz));
        return result;
    };
    ZData::TScanPreset preset(QStringLiteral("GSM-900"));
    preset.channels[0] = ZData::TChannelPreset(range(860, 940), marks({ 880, 897.5, 915 }));
    preset.channels[1] = ZData::TChannelPreset(range(905, 985), marks({ 925, 942.5, 960, 975 }));
    return preset;
}

// Spread of a set of durations given in nanoseconds, in microseconds.
struct Spread
{
    double meanUs = 0;
    double medianUs = 0;
    double p95Us = 0;
    double worstUs = 0;
};

inline Spread spreadOf(QVector<qint64> ns)
{
    constexpr double kUsPerNs = 1e-3;
    constexpr double kPercentile95 = 0.95;
    Spread spread;
    if (ns.isEmpty())
        return spread;
    std::sort(ns.begin(), ns.end());
    double sum = 0;
    for (qint64 one : ns)
        sum += double(one);
    spread.meanUs = sum / double(ns.size()) * kUsPerNs;
    spread.medianUs = double(ns[ns.size() / 2]) * kUsPerNs;
    spread.p95Us = double(ns[qMin(ns.size() - 1, int(double(ns.size()) * kPercentile95))]) * kUsPerNs;
    spread.worstUs = double(ns.last()) * kUsPerNs;
    return spread;
}

} // namespace Bench
