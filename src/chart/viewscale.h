#pragma once

#include "data/traces/tracescale.h"

#include <QString>

#include <optional>

class QSettings;

namespace QtCharts {
class QValueAxis;
}

namespace ZChart {

// The axes' scale a user has chosen for one view: a level scale (reference
// level at the top, dB per division) for the live trace and another for the
// difference from the reference, and a frequency zoom. While nothing is
// chosen the axes show the designed ranges, exactly as they always did.
class ViewScale
{
public:
    struct TFrequencySpan
    {
        double lowMHz = 0.0;
        double highMHz = 0.0;
    };

    // Divisions of the designed level axis, and of the difference axis,
    // which centres on 0 dB.
    static constexpr int kDivisions = 11;
    static constexpr int kDifferenceDivisions = 10;
    static constexpr double kDifferenceDbPerDivision = 1.0;
    // A difference opens no finer than this: below it is the sweep's noise.
    static constexpr double kMinCentredDbPerDivision = 0.1;
    // The finest and the coarsest step a user can reach.
    static constexpr double kMinDbPerDivision = 0.01;
    static constexpr double kMaxDbPerDivision = 100.0;
    // One wheel notch narrows (or widens) the frequency span by this factor.
    static constexpr double kZoomFactor = 0.8;
    // A zoom keeps at least this share of the full frequency span.
    static constexpr double kMinZoomShare = 1e-4;
    // Label decimals stop here: finer levels than that are noise.
    static constexpr int kMaxDecimals = 3;

    // The level scale in force for the mode; the designed one when the
    // user never chose another.
    ZData::TR::TLevelScale levelScale(bool difference, const ZData::TR::TLevelRange &designed) const;
    bool isLevelScaled(bool difference) const { return bool(m_level[difference ? 1 : 0]); }
    bool isFrequencyZoomed() const { return bool(m_frequency); }
    std::optional<TFrequencySpan> frequencyZoom() const { return m_frequency; }

    // Reference level and dB per division; the step is kept within reach.
    void setLevelScale(bool difference, double referenceDb, double dbPerDivision);
    void setLevelScale(bool difference, const ZData::TR::TLevelScale &scale);
    // The reference level moves by whole divisions.
    void shiftLevel(bool difference, const ZData::TR::TLevelRange &designed, int divisions);
    // steps > 0 goes to finer 1-2-5 steps, keeping levelDb about where it is
    // on the axis (to the nearest whole step of the top); < 0 to coarser ones.
    void zoomLevel(bool difference, const ZData::TR::TLevelRange &designed, int steps, double levelDb);
    // steps > 0 narrows the span around frequencyMHz, < 0 widens it; back at
    // the full span the zoom is gone.
    void zoomFrequency(int steps, double frequencyMHz, double fullLowMHz, double fullHighMHz);
    void resetLevel(bool difference) { m_level[difference ? 1 : 0].reset(); }
    void resetFrequency() { m_frequency.reset(); }

    // Sets the level axis' range, ticks and labels for the mode.
    void applyLevel(QtCharts::QValueAxis *axis, bool difference, const ZData::TR::TLevelRange &designed) const;
    // Sets the frequency axis to the zoom inside the full span, or to the
    // full span while there is none (or it no longer lies inside).
    void applyFrequency(QtCharts::QValueAxis *axis, double fullLowMHz, double fullHighMHz) const;

    // Only what the user chose is written; a hand-edited value that is not
    // a usable number is dropped, said in the log under tag, and the
    // designed scale kept.
    void save(QSettings &settings) const;
    void restore(const QSettings &settings, const QString &tag);

    // A difference scale centred on 0 dB whose half holds maxAbsDb with the
    // autoscale's margin: the smallest 1-2-5 step that does, within reach.
    static ZData::TR::TLevelScale centredScale(double maxAbsDb);

    // Decimals that show every label of a scale exactly (up to kMaxDecimals).
    static int levelDecimals(const ZData::TR::TLevelScale &scale);
    static QString labelFormat(int decimals);
    // The next 1-2-5 step, finer (steps > 0) or coarser.
    static double stepDbPerDivision(double dbPerDivision, int steps);

private:
    std::optional<ZData::TR::TLevelScale> &level(bool difference) { return m_level[difference ? 1 : 0]; }

    std::optional<ZData::TR::TLevelScale> m_level[2];
    std::optional<TFrequencySpan> m_frequency;
};

} // namespace ZChart
