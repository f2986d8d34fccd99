#include "data/calibration/calibdata.h"

#include "core/log.h"

#include <QDataStream>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ZData::CAL {

namespace {

void readFailed(const QDataStream &stream)
{
    const QString why = stream.status() == QDataStream::ReadPastEnd
                            ? QStringLiteral(">> calibration data ends before the record is complete.")
                            : QStringLiteral(">> calibration record is corrupt.");
    ZCore::Log::critical(CalibData::tag(), why);
}

} // namespace

QString CalibData::tag()
{
    static const QString tagText = QStringLiteral("CalibData");
    return tagText;
}

void CalibData::serialize(QDataStream &stream) const
{
    ZCore::Log::traceInfo(tag(), QStringLiteral("ZData::CAL::CalibData::serialize"));
    stream << range;
    const int count = int(range.points);
    const int stored = std::min(count, values.size());
    for (int i = 0; i < stored; ++i)
        stream << values.at(i).real() << values.at(i).imag();
    // A list shorter than its range would make the record unreadable.
    for (int i = stored; i < count; ++i)
        stream << 0.0f << 0.0f;
    ZCore::Log::info(tag(), QStringLiteral(">> finished serialization"));
}

int CalibData::firstUnusableValue() const
{
    // Below the smallest normal float a division overflows to infinity for
    // any level the device measures.
    const auto usable = [](const TCalibValue &value) {
        return std::isfinite(value.real()) && std::fabs(value.real()) >= std::numeric_limits<float>::min();
    };
    const auto found = std::find_if_not(values.cbegin(), values.cend(), usable);
    return found == values.cend() ? -1 : int(found - values.cbegin());
}

bool CalibData::deserialize(QDataStream &stream, const TScanRange &check)
{
    ZCore::Log::traceInfo(tag(), QStringLiteral("ZData::CAL::CalibData::deserialize"));
    TScanRange read;
    stream >> read;
    if (stream.status() != QDataStream::Ok) {
        readFailed(stream);
        return false;
    }
    if (read.points > TScanRange::kMaxPoints) {
        ZCore::Log::critical(tag(), QStringLiteral(">> range of %1 points is above the limit of %2.")
                                        .arg(read.points)
                                        .arg(TScanRange::kMaxPoints));
        return false;
    }
    if (read != check) {
        ZCore::Log::critical(tag(), QStringLiteral(">> range is different to the check one."));
        return false;
    }

    range = read;
    valid = false;
    values.fill(TCalibValue(), int(range.points));
    for (int i = 0; i < values.size(); ++i) {
        float real = 0.0f;
        float imag = 0.0f;
        stream >> real >> imag;
        if (stream.status() != QDataStream::Ok) {
            readFailed(stream);
            return false;
        }
        // Every measured value is later divided by its reference; a value that
        // is no number would turn the whole chart into noise.
        if (!std::isfinite(real) || !std::isfinite(imag)) {
            ZCore::Log::critical(tag(), QStringLiteral(">> value %1 is not a finite number.").arg(i));
            return false;
        }
        values[i] = TCalibValue(real, imag);
    }
    valid = true;
    ZCore::Log::info(tag(), QStringLiteral(">> finished deserialization"));
    return true;
}

QString CalibPreset::tag()
{
    static const QString tagText = QStringLiteral("CalibPreset");
    return tagText;
}

void CalibPreset::serialize(QDataStream &stream) const
{
    ZCore::Log::traceInfo(tag(), QStringLiteral("ZData::CAL::CalibPreset::serialize"));
    for (const CalibData &data : entries)
        data.serialize(stream);
    ZCore::Log::info(tag(), QStringLiteral(">> finished serialization"));
}

bool CalibPreset::deserialize(QDataStream &stream, const TScanPreset &check)
{
    ZCore::Log::traceInfo(tag(), QStringLiteral("ZData::CAL::CalibPreset::deserialize"));
    // Power outside, channel inside: the same order as the entries.
    for (int power = 0; power < kPowerLevels; ++power) {
        for (int channel = 0; channel < kScanChannelCount; ++channel) {
            if (!entry(channel, power).deserialize(stream, check.channel(channel)))
                return false;
        }
    }
    ZCore::Log::info(tag(), QStringLiteral(">> finished deserialization"));
    return true;
}

} // namespace ZData::CAL
