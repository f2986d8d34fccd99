#pragma once

#include "data/scan/tscanpoint.h"

#include <QString>
#include <QVector>

namespace ZData {
class DataScanManager;
struct TRFParameters;
}

// The measurement layer the views, the window and the command line share:
// traces as the chart shows them, their readouts, holds, limit masks,
// scales and files. Plain classes; nothing here draws.
namespace ZData::TR {

// What the chart adds to every level: two terms, added in this order so
// that a trace and the plotted line agree to the last bit.
struct TDisplayOffset
{
    double a = 0.0;
    double b = 0.0;

    double apply(double levelDb) const { return levelDb + a + b; }
};

// Calibrated levels (dB) get AMP_OFFSET and both attenuators; raw levels
// (dBm) the channel's origin and the other channel's attenuator, whose
// path the signal takes on the way back.
TDisplayOffset displayOffset(const TRFParameters &rf, bool useCalib, int channel);

// A point the device has answered for: it has a frequency and its real
// part is below the "not measured" mark.
bool isMeasured(const TScanPoint &point);
// 20 log10 |value| in single precision, as the chart computes it; a zero
// (or not-a-number) magnitude gives 0 rather than minus infinity.
double magnitudeDb(const TScanPoint &point);
// The shortest text that reads back as the same number; whole numbers (a
// frequency in Hz) without an exponent, so files stay easy to edit.
QString numberText(double value);

// One channel's sweep as the chart shows it: per point of the range its
// frequency (Hz) and level (dB or dBm, offsets included). A point not
// measured yet is a gap: its level is NaN and every readout skips it; its
// frequency is whatever the sweep knew (0 for a point never asked for).
class TTrace
{
public:
    // A real part at or above this marks a point that was never measured.
    static constexpr float kEmptyRealThreshold = 99999.0f;

    TTrace() = default;
    // Levels that are NaN are gaps; the longer list is cut to the shorter.
    TTrace(QVector<double> frequenciesHz, QVector<double> levelsDb);

    static TTrace fromScanPoints(const QVector<TScanPoint> &points, const TDisplayOffset &offset);
    static double gap();

    int size() const { return m_frequencies.size(); }
    bool isEmpty() const { return m_frequencies.isEmpty(); }
    double frequencyHz(int index) const { return m_frequencies.at(index); }
    double levelDb(int index) const { return m_levels.at(index); }
    bool isMeasured(int index) const;
    int measuredCount() const;
    // Every point measured, and there is at least one.
    bool isComplete() const;
    const QVector<double> &frequencies() const { return m_frequencies; }
    const QVector<double> &levels() const { return m_levels; }
    // The measured points alone, in their order: what a file holds.
    TTrace measuredOnly() const;

    bool operator==(const TTrace &other) const;
    bool operator!=(const TTrace &other) const { return !(*this == other); }

private:
    QVector<double> m_frequencies;
    QVector<double> m_levels;
};

// A channel's sweep as its chart shows it right now: the calibrated points
// when calibration is in use, else the raw ones, with the display offset.
TTrace channelTrace(const DataScanManager &scan, int channel);

} // namespace ZData::TR
