#pragma once

#include "data/scan/tscanpoint.h"
#include "data/scan/tscanpreset.h"

#include <QVector>

#include <array>
#include <complex>

namespace ZData::CAL {

// One reference value: the device measures one value per point, kept as the
// real part; the imaginary part is carried for the file format.
using TCalibValue = std::complex<float>;

// The reference sweep of one channel at one source power of one preset.
struct CalibData
{
    // Room for the largest range before the first reference is taken.
    static constexpr int kInitialValues = int(TScanRange::kMaxPoints);

    CalibData() : values(kInitialValues) {}

    bool hasData() const { return valid; }

    // Start, stop and points of the preset channel when the reference was taken.
    TScanRange range;
    // Index = point index of the range.
    QVector<TCalibValue> values;
    bool valid = false;
};

// The references of one scan preset for both channels and both source powers.
struct CalibPreset
{
    static constexpr int kPowerLevels = 2;
    static constexpr int kEntries = kScanChannelCount * kPowerLevels;

    // Entry order: S21 low, S12 low, S21 high, S12 high. Channel and power
    // are clamped, not refused.
    static int entryIndex(int channel, int powerIndex)
    {
        const int power = powerIndex <= 0 ? 0 : kPowerLevels - 1;
        return int(clampChannel(channel)) + kScanChannelCount * power;
    }

    CalibData &entry(int channel, int powerIndex) { return entries[size_t(entryIndex(channel, powerIndex))]; }
    const CalibData &entry(int channel, int powerIndex) const
    {
        return entries[size_t(entryIndex(channel, powerIndex))];
    }

    std::array<CalibData, kEntries> entries;
};

} // namespace ZData::CAL
