#pragma once

#include "data/scan/tscanpreset.h"

#include <QList>
#include <QVariantMap>

#include <functional>

namespace TestSupport {

// Plays the device for DataScanManager without a serial link: answers the
// scan request at the head of the command queue with levels of the caller's
// choosing, exactly as the device link would hand the reply over.
class SweepFeeder
{
public:
    // Linear magnitude the device reports for a point.
    using Level = std::function<float(int channel, quint64 frequencyHz)>;

    // Writes the presets into the user profile and the RF values into the
    // current one, then re-initialises the scan manager to read them.
    // Needs SettingsManager initialised on a temporary application dir.
    static bool loadProfile(const QList<ZData::TScanPreset> &presets, const QVariantMap &rf = {});
    // Activates preset index (clearing the points) and starts the sweep.
    static void start(int preset = 0);

    explicit SweepFeeder(Level level);

    // Answers the next scan request; false when none is queued.
    bool answerSlice();
    // Answers count requests (all there are when count is negative).
    int answerSlices(int count);
    // One full sweep's worth of slices: both channels from the first point.
    void sweepBothChannels();

private:
    Level m_level;
};

} // namespace TestSupport
