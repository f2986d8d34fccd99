#pragma once

#include "data/scan/tscanpoint.h"
#include "data/scan/tscanpreset.h"

#include <QString>
#include <QVector>

#include <array>
#include <complex>

class QDataStream;

namespace ZData::CAL {

// One reference value: the device measures one value per point, kept as the
// real part; the imaginary part is carried for the file format.
using TCalibValue = std::complex<float>;

// The reference sweep of one channel at one source power of one preset.
struct CalibData
{
    // No values until a reference is taken or read: a profile of a thousand
    // presets would otherwise hold 32 MB of empty references.
    CalibData() = default;

    static QString tag();

    bool hasData() const { return valid; }
    // Index of the first reference a measured value cannot be divided by
    // (zero, too close to it, or no number); -1 when every one can be.
    int firstUnusableValue() const;

    // Calibration file form: the range, then range.points pairs (real,
    // imaginary) as the stream's floats. Exactly range.points pairs are
    // written whatever the list holds, so that every record can be read back.
    void serialize(QDataStream &stream) const;
    // Takes the record only when its range equals check and every value could
    // be read and is finite; otherwise false with a log line saying why, and
    // the entry is not marked as holding data.
    bool deserialize(QDataStream &stream, const TScanRange &check);

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

    static QString tag();

    // The four entries in index order.
    void serialize(QDataStream &stream) const;
    // Each entry is checked against the channel of the preset it was taken
    // for; the first entry that fails fails the preset.
    bool deserialize(QDataStream &stream, const TScanPreset &check);

    std::array<CalibData, kEntries> entries;
};

} // namespace ZData::CAL
