#include "chart/viewscale.h"

#include "chart/profilevalue.h"

#include <QSettings>
#include <QValueAxis>

#include <algorithm>
#include <array>
#include <cmath>

namespace ZChart {

namespace TR = ZData::TR;

namespace {

const char *const kLevelKeys[2][2] = {{"LEVEL_REFERENCE", "LEVEL_DB_PER_DIV"},
                                      {"DIFFERENCE_REFERENCE", "DIFFERENCE_DB_PER_DIV"}};
const char *const kZoomLowKey = "ZOOM_LOW_MHZ";
const char *const kZoomHighKey = "ZOOM_HIGH_MHZ";
constexpr std::array<double, 3> kMantissas = {1.0, 2.0, 5.0};
constexpr double kDecade = 10.0;
// Two values this close count as equal when a step is matched to 1-2-5.
constexpr double kStepTolerance = 1e-9;
// Frequency labels: the designed ones keep two decimals; a zoom adds one
// per decade the tick step shrinks below 0.1 MHz.
constexpr int kFrequencyDecimals = 2;
constexpr int kMaxFrequencyDecimals = 6;

void setFormat(QtCharts::QValueAxis *axis, const QString &format)
{
    // A format set again, even the same, has the chart lay out once more.
    if (axis->labelFormat() != format)
        axis->setLabelFormat(format);
}

void setRange(QtCharts::QValueAxis *axis, double low, double high)
{
    if (axis->min() != low || axis->max() != high)
        axis->setRange(low, high);
}

bool isWhole(double value)
{
    return std::abs(value - std::round(value)) < kStepTolerance * std::max(1.0, std::abs(value));
}

} // namespace

TR::TLevelScale ViewScale::levelScale(bool difference, const TR::TLevelRange &designed) const
{
    if (const std::optional<TR::TLevelScale> &chosen = m_level[difference ? 1 : 0])
        return *chosen;
    if (difference)
        return {kDifferenceDbPerDivision * kDifferenceDivisions / 2.0, kDifferenceDbPerDivision, kDifferenceDivisions};
    return {designed.topDb, (designed.topDb - designed.bottomDb) / kDivisions, kDivisions};
}

void ViewScale::setLevelScale(bool difference, double referenceDb, double dbPerDivision)
{
    if (!std::isfinite(referenceDb) || !std::isfinite(dbPerDivision))
        return;
    const int divisions = difference ? kDifferenceDivisions : kDivisions;
    level(difference) = TR::TLevelScale{referenceDb, std::clamp(dbPerDivision, kMinDbPerDivision, kMaxDbPerDivision),
                                        divisions};
}

void ViewScale::setLevelScale(bool difference, const TR::TLevelScale &scale)
{
    setLevelScale(difference, scale.referenceDb, scale.dbPerDivision);
}

void ViewScale::shiftLevel(bool difference, const TR::TLevelRange &designed, int divisions)
{
    const TR::TLevelScale scale = levelScale(difference, designed);
    setLevelScale(difference, scale.referenceDb + divisions * scale.dbPerDivision, scale.dbPerDivision);
}

void ViewScale::zoomLevel(bool difference, const TR::TLevelRange &designed, int steps, double levelDb)
{
    const TR::TLevelScale scale = levelScale(difference, designed);
    const double step = stepDbPerDivision(scale.dbPerDivision, steps);
    // The level under the pointer stays about where it is; the top lands on
    // a multiple of the new step so that the labels stay whole steps.
    const double reference = levelDb + (scale.referenceDb - levelDb) * step / scale.dbPerDivision;
    setLevelScale(difference, std::round(reference / step) * step, step);
}

void ViewScale::zoomFrequency(int steps, double frequencyMHz, double fullLowMHz, double fullHighMHz)
{
    const double full = fullHighMHz - fullLowMHz;
    if (!(full > 0.0) || steps == 0)
        return;
    const TFrequencySpan now = m_frequency.value_or(TFrequencySpan{fullLowMHz, fullHighMHz});
    const double factor = std::pow(kZoomFactor, steps);
    const double span = std::clamp((now.highMHz - now.lowMHz) * factor, full * kMinZoomShare, full);
    if (span >= full) {
        m_frequency.reset();
        return;
    }
    const double at = std::clamp(frequencyMHz, now.lowMHz, now.highMHz);
    const double share = (now.highMHz > now.lowMHz) ? (at - now.lowMHz) / (now.highMHz - now.lowMHz) : 0.5;
    const double low = std::clamp(at - span * share, fullLowMHz, fullHighMHz - span);
    m_frequency = TFrequencySpan{low, low + span};
}

void ViewScale::applyLevel(QtCharts::QValueAxis *axis, bool difference, const TR::TLevelRange &designed) const
{
    const TR::TLevelScale scale = levelScale(difference, designed);
    const bool designedScale = !isLevelScaled(difference) && !difference;
    setFormat(axis, labelFormat(designedScale ? 0 : levelDecimals(scale)));
    if (axis->tickCount() != scale.divisions + 1)
        axis->setTickCount(scale.divisions + 1);
    setRange(axis, scale.bottomDb(), scale.referenceDb);
}

void ViewScale::applyFrequency(QtCharts::QValueAxis *axis, double fullLowMHz, double fullHighMHz) const
{
    const bool inside = m_frequency && m_frequency->lowMHz >= fullLowMHz && m_frequency->highMHz <= fullHighMHz;
    const double low = inside ? m_frequency->lowMHz : fullLowMHz;
    const double high = inside ? m_frequency->highMHz : fullHighMHz;
    int decimals = kFrequencyDecimals;
    const int intervals = std::max(1, axis->tickCount() - 1);
    const double tick = (high - low) / intervals;
    if (inside && tick > 0.0)
        decimals = std::clamp(int(std::ceil(-std::log10(tick))) + 1, kFrequencyDecimals, kMaxFrequencyDecimals);
    setFormat(axis, labelFormat(decimals));
    setRange(axis, low, high);
}

void ViewScale::save(QSettings &settings) const
{
    for (int mode = 0; mode < 2; ++mode) {
        const QString referenceKey = QLatin1String(kLevelKeys[mode][0]);
        const QString stepKey = QLatin1String(kLevelKeys[mode][1]);
        if (m_level[mode]) {
            settings.setValue(referenceKey, m_level[mode]->referenceDb);
            settings.setValue(stepKey, m_level[mode]->dbPerDivision);
        } else {
            settings.remove(referenceKey);
            settings.remove(stepKey);
        }
    }
    if (m_frequency) {
        settings.setValue(QLatin1String(kZoomLowKey), m_frequency->lowMHz);
        settings.setValue(QLatin1String(kZoomHighKey), m_frequency->highMHz);
    } else {
        settings.remove(QLatin1String(kZoomLowKey));
        settings.remove(QLatin1String(kZoomHighKey));
    }
}

void ViewScale::restore(const QSettings &settings, const QString &tag)
{
    const auto number = [&settings, &tag](const char *key) {
        return ProfileValue::number(settings, QLatin1String(key), tag);
    };
    for (int mode = 0; mode < 2; ++mode) {
        const std::optional<double> reference = number(kLevelKeys[mode][0]);
        const std::optional<double> step = number(kLevelKeys[mode][1]);
        m_level[mode].reset();
        if (reference && step && *step > 0.0)
            setLevelScale(mode == 1, *reference, *step);
    }
    const std::optional<double> low = number(kZoomLowKey);
    const std::optional<double> high = number(kZoomHighKey);
    m_frequency.reset();
    if (low && high && *low < *high)
        m_frequency = TFrequencySpan{*low, *high};
}

TR::TLevelScale ViewScale::centredScale(double maxAbsDb)
{
    const int half = kDifferenceDivisions / 2;
    const double needed = std::isfinite(maxAbsDb) ? std::abs(maxAbsDb) * (1.0 + TR::TraceScale::kDefaultMargin) : 0.0;
    double step = kMinCentredDbPerDivision;
    while (step * half < needed && step < kMaxDbPerDivision)
        step = stepDbPerDivision(step, -1);
    return {step * half, step, kDifferenceDivisions};
}

int ViewScale::levelDecimals(const TR::TLevelScale &scale)
{
    double factor = 1.0;
    for (int decimals = 0; decimals < kMaxDecimals; ++decimals, factor *= kDecade) {
        if (isWhole(scale.referenceDb * factor) && isWhole(scale.dbPerDivision * factor))
            return decimals;
    }
    return kMaxDecimals;
}

QString ViewScale::labelFormat(int decimals)
{
    return decimals <= 0 ? QStringLiteral("%i") : QStringLiteral("%.%1f").arg(decimals);
}

double ViewScale::stepDbPerDivision(double dbPerDivision, int steps)
{
    // The 1-2-5 step at or just below the current one; a hand-set step in
    // between counts as its lower neighbour.
    double decade = std::pow(kDecade, std::floor(std::log10(dbPerDivision) + kStepTolerance));
    int index = 0;
    for (int i = int(kMantissas.size()) - 1; i >= 0; --i) {
        if (kMantissas[std::size_t(i)] * decade <= dbPerDivision * (1.0 + kStepTolerance)) {
            index = i;
            break;
        }
    }
    const bool onStep = std::abs(kMantissas[std::size_t(index)] * decade - dbPerDivision) <= dbPerDivision * kStepTolerance;
    // From a step in between, the lower neighbour is already one finer.
    if (steps > 0 && !onStep)
        --steps;
    for (; steps > 0; --steps) {
        if (--index < 0) {
            index = int(kMantissas.size()) - 1;
            decade /= kDecade;
        }
    }
    for (; steps < 0; ++steps) {
        if (++index >= int(kMantissas.size())) {
            index = 0;
            decade *= kDecade;
        }
    }
    return std::clamp(kMantissas[std::size_t(index)] * decade, kMinDbPerDivision, kMaxDbPerDivision);
}

} // namespace ZChart
