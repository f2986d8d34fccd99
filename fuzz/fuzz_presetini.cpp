// Feeds arbitrary text as the hand-edited user and current profiles to the
// sweep's settings reader and to the views' saved marks, then activates and
// slices every preset it accepted. A preset it accepts must be one the sweep can scan: named,
// bounded, and sliced into frequencies inside the device's limits; and the
// scaling it reads must keep a measured value a number.
#include "fuzzsupport.h"

#include "chart/tmarkstate.h"
#include "core/settingsmanager.h"
#include "core/tfrequency.h"
#include "data/scan/datascanmanager.h"

#include <QDataStream>

#include <cmath>
#include <cstdint>

namespace {

using FuzzSupport::expect;
using ZData::DataScanManager;
using ZData::DS::RangeSliced;

// Rounding to whole hertz may step past a limit by less than this.
constexpr double kRoundingHz = 1.0;
constexpr float kMeasured = 0.5f;

// A segment that loads can be judged: finite, ordered, with a bound.
void checkLimits(const ZData::TR::TLimitMask &limits)
{
    expect(limits.size() <= ZData::TR::TLimitSegment::kMaxSegments);
    for (const ZData::TR::TLimitSegment &segment : limits) {
        expect(std::isfinite(segment.startHz) && std::isfinite(segment.stopHz));
        expect(segment.startHz >= 0.0 && segment.startHz < segment.stopHz);
        expect(segment.lowerDb || segment.upperDb);
        expect(!segment.lowerDb || std::isfinite(*segment.lowerDb));
        expect(!segment.upperDb || std::isfinite(*segment.upperDb));
        expect(!segment.lowerDb || !segment.upperDb || *segment.lowerDb <= *segment.upperDb);
    }
}

bool isShare(const std::optional<QPointF> &share)
{
    return !share || (share->x() >= 0.0 && share->x() <= 1.0 && share->y() >= 0.0 && share->y() <= 1.0);
}

// Whatever a view group holds, the marks state it restores is one a view can
// show: marks in range, a band of two different marks, shares on screen.
void checkMarkStates(QSettings &settings)
{
    using ZChart::TMarkState;
    for (const QString &group : settings.childGroups()) {
        settings.beginGroup(group);
        TMarkState state;
        state.restore(settings, group);
        settings.endGroup();
        expect(TMarkState::isDropValid(state.dropDb));
        expect(state.hasBand() == (state.bandSecond != TMarkState::kNoMark));
        expect(!state.hasBand() || (state.bandFirst >= 0 && state.bandFirst < TMarkState::kMarks
                                    && state.bandSecond >= 0 && state.bandSecond < TMarkState::kMarks
                                    && state.bandFirst != state.bandSecond));
        for (const std::optional<double> &mhz : state.handMHz)
            expect(!mhz || (*mhz >= ZCore::kFrequencyMin.MHz() && *mhz <= ZCore::kFrequencyMax.MHz()));
        expect(isShare(state.panelShare) && isShare(state.tableShare));
    }
}

void checkPreset(const ZData::TScanPreset &preset)
{
    expect(!preset.name.isEmpty());
    expect(preset.name.size() <= ZData::PresetSettings::kMaxNameLength);
    for (int c = 0; c < ZData::kScanChannelCount; ++c) {
        expect(preset.channel(c).points <= ZData::TScanRange::kMaxPoints);
        expect(preset.channel(c).marks.size() <= ZData::TChannelPreset::kMaxMarks);
        checkLimits(preset.channel(c).limits);
    }
}

void sweepChannel(RangeSliced &range)
{
    for (quint32 slice = 0; slice < range.slicesTotal(); ++slice) {
        const QVector<quint64> frequencies = range.nextSlice();
        expect(quint32(frequencies.size()) == range.sliceCount());
        expect(range.sliceStart() + range.sliceCount() <= quint32(DataScanManager::kPointListSize));
        for (quint64 frequency : frequencies) {
            expect(double(frequency) >= ZCore::kFrequencyMin.hz() - kRoundingHz);
            expect(double(frequency) <= ZCore::kFrequencyMax.hz() + kRoundingHz);
        }
    }
}

// A reply of finite values for the first slice must be stored as finite
// values, whatever the profile says about scaling.
void checkScaledReply(DataScanManager &scan)
{
    scan.setActivePreset(0, true);
    RangeSliced &range = scan.channelRange(ZData::EScanChannel::S21);
    range.nextSlice();
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out << float(range.sliceCount());
    for (quint32 i = 0; i < range.sliceCount(); ++i)
        out << kMeasured;
    ZData::TDeviceReply reply;
    reply.data = payload;
    scan.slotProcessScanData(reply);
    for (quint32 i = 0; i < range.sliceCount(); ++i)
        expect(std::isfinite(scan.rawPoints(ZData::EScanChannel::S21).at(int(range.sliceStart() + i)).real));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::setUpWithPresets(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text = FuzzSupport::bytes(data, size);
    for (const QString &path :
         {ZCore::SettingsManager::userProfilePath(), ZCore::SettingsManager::currentProfilePath()}) {
        expect(FuzzSupport::writeFile(path, text));
        ZCore::SettingsManager::openProfile(path, QSettings::IniFormat);
    }

    checkMarkStates(*ZCore::SettingsManager::currentSettings());
    DataScanManager &scan = DataScanManager::instance();
    scan.restoreSettings();
    expect(scan.presetCount() == scan.presets().size());
    expect(scan.presetCount() <= ZData::PresetSettings::kMaxPresets);
    for (int i = 0; i < scan.presetCount(); ++i) {
        checkPreset(scan.presetAt(i));
        scan.setActivePreset(i, true);
        for (int c = 0; c < ZData::kScanChannelCount; ++c)
            sweepChannel(scan.channelRange(c));
    }
    if (scan.presetCount() > 0)
        checkScaledReply(scan);
    return 0;
}
