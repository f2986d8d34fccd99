#pragma once

#include "core/tfrequency.h"
#include "data/traces/tlimitsegment.h"

#include <QList>
#include <QString>
#include <QVector>

#include <array>
#include <optional>

class QDataStream;
class QSettings;

namespace ZData {

// Frequencies go to the device and into the profiles as whole hertz,
// truncated toward zero; negative and non-finite values become 0 and values
// beyond the 64-bit range saturate instead of being undefined.
quint64 wholeHz(ZCore::TFrequency frequency);

// One channel's sweep range.
struct TScanRange
{
    // Larger ranges are refused when read: the device and the point lists
    // hold at most this many points per channel.
    static constexpr quint32 kMaxPoints = 1024;

    TScanRange() = default;
    TScanRange(ZCore::TFrequency startHz, ZCore::TFrequency stopHz, quint32 pointCount)
        : start(startHz), stop(stopHz), points(pointCount)
    {
    }

    bool operator==(const TScanRange &other) const;
    bool operator!=(const TScanRange &other) const { return !(*this == other); }

    ZCore::TFrequency start;
    ZCore::TFrequency stop;
    quint32 points = 0;
};

// A marker's frequency. Unset where the profile gives none that can be
// used: the marker stays hidden and the ones after it keep their numbers.
using TMark = std::optional<ZCore::TFrequency>;

// The range of one channel with the frequencies of its markers M1, M2, ...
// and its limit mask.
struct TChannelPreset : TScanRange
{
    static constexpr int kMaxMarks = 5;

    TChannelPreset() = default;
    explicit TChannelPreset(const TScanRange &range, const QVector<ZCore::TFrequency> &markFrequencies = {});

    bool operator==(const TChannelPreset &other) const;
    bool operator!=(const TChannelPreset &other) const { return !(*this == other); }

    // Index i is marker M(i + 1).
    QVector<TMark> marks;
    TR::TLimitMask limits;
};

// A named pair of channel presets: index 0 is S21, index 1 is S12.
struct TScanPreset
{
    static constexpr int kChannelCount = 2;

    TScanPreset() = default;
    explicit TScanPreset(const QString &presetName) : name(presetName) {}

    // Out-of-range channels are clamped, not refused.
    static int clampChannel(int channel);
    TChannelPreset &channel(int channel) { return channels[size_t(clampChannel(channel))]; }
    const TChannelPreset &channel(int channel) const { return channels[size_t(clampChannel(channel))]; }
    // The settings group of a channel: "S21" or "S12".
    static QString channelGroup(int channel);

    bool operator==(const TScanPreset &other) const;
    bool operator!=(const TScanPreset &other) const { return !(*this == other); }

    QString name;
    std::array<TChannelPreset, kChannelCount> channels;
};

// Binary form used by calibration files: start and stop as doubles (Hz),
// points as a signed 32-bit integer; byte order and float precision are the
// stream's. A negative point count marks the stream as corrupt.
QDataStream &operator<<(QDataStream &stream, const TScanRange &range);
QDataStream &operator>>(QDataStream &stream, TScanRange &range);

// Profile form. The settings object is positioned by the caller on the
// preset's array entry (for presets) or the channel's group (for ranges).
// The user profile is edited by hand, so every reader checks what it reads,
// logs what it cannot use and returns false when the record must not be
// scanned; the record then keeps the fields it had.
namespace PresetSettings {

// Presets beyond this count are ignored; it keeps a mistyped array size
// from stalling the start-up, yet leaves room for a profile that lists
// every band of every operator a field team meets.
inline constexpr int kMaxPresets = 1000;
// Longer names are cut: they only label a list entry and a chart title.
inline constexpr int kMaxNameLength = 128;

QString tag();

bool readScanRange(QSettings &settings, TScanRange &range);
void writeScanRange(QSettings &settings, const TScanRange &range);
bool readChannelPreset(QSettings &settings, TChannelPreset &preset);
void writeChannelPreset(QSettings &settings, const TChannelPreset &preset);
// A preset that fails to read also loses its name, so that a reader which
// only skips unnamed presets still never scans it.
bool readScanPreset(QSettings &settings, TScanPreset &preset);
void writeScanPreset(QSettings &settings, const TScanPreset &preset);

// Every usable preset of the "Range_Presets" array at the settings' root:
// unnamed and invalid entries are skipped, the array size is bounded.
QList<TScanPreset> readScanPresets(QSettings &settings);
void writeScanPresets(QSettings &settings, const QList<TScanPreset> &presets);

} // namespace PresetSettings

} // namespace ZData
