#include "data/traces/ttrace.h"

#include "data/scan/datascanmanager.h"
#include "data/scan/trfparameters.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace ZData::TR {

namespace {
constexpr float kDecibelsPerDecade = 20.0f;
// Whole numbers up to here are exact in a double and print without exponent.
constexpr double kLargestExactWhole = 9007199254740992.0;

bool sameLevel(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || a == b;
}
} // namespace

TDisplayOffset displayOffset(const TRFParameters &rf, bool useCalib, int channel)
{
    if (useCalib)
        return {rf.ampOffset, rf.s12Att + rf.s21Att};
    if (channel == EScanChannel::S21)
        return {0.0, rf.s21AmpOrigin + rf.s12Att};
    if (channel == EScanChannel::S12)
        return {0.0, rf.s12AmpOrigin + rf.s21Att};
    return {};
}

bool isMeasured(const TScanPoint &point)
{
    return point.frequency != 0 && point.real < TTrace::kEmptyRealThreshold;
}

double magnitudeDb(const TScanPoint &point)
{
    const float magnitude = std::hypot(point.real, point.imag);
    return magnitude > 0.0f ? double(kDecibelsPerDecade * std::log10(magnitude)) : 0.0;
}

QString numberText(double value)
{
    if (std::fabs(value) <= kLargestExactWhole && value == std::trunc(value))
        return QString::number(qint64(value));
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

TTrace::TTrace(QVector<double> frequenciesHz, QVector<double> levelsDb)
    : m_frequencies(std::move(frequenciesHz)), m_levels(std::move(levelsDb))
{
    const int size = qMin(m_frequencies.size(), m_levels.size());
    m_frequencies.resize(size);
    m_levels.resize(size);
}

TTrace TTrace::fromScanPoints(const QVector<TScanPoint> &points, const TDisplayOffset &offset)
{
    QVector<double> frequencies(points.size());
    QVector<double> levels(points.size());
    for (int i = 0; i < points.size(); ++i) {
        const TScanPoint &point = points.at(i);
        frequencies[i] = double(point.frequency);
        const double level = offset.apply(magnitudeDb(point));
        // An infinite sample would put the level off every scale.
        levels[i] = TR::isMeasured(point) && std::isfinite(level) ? level : gap();
    }
    return TTrace(frequencies, levels);
}

double TTrace::gap()
{
    return std::numeric_limits<double>::quiet_NaN();
}

bool TTrace::isMeasured(int index) const
{
    return index >= 0 && index < size() && !std::isnan(m_levels.at(index));
}

int TTrace::measuredCount() const
{
    int count = 0;
    for (double level : m_levels)
        count += std::isnan(level) ? 0 : 1;
    return count;
}

bool TTrace::isComplete() const
{
    return !isEmpty() && measuredCount() == size();
}

TTrace TTrace::measuredOnly() const
{
    QVector<double> frequencies;
    QVector<double> levels;
    for (int i = 0; i < size(); ++i) {
        if (isMeasured(i)) {
            frequencies.append(m_frequencies.at(i));
            levels.append(m_levels.at(i));
        }
    }
    return TTrace(frequencies, levels);
}

bool TTrace::operator==(const TTrace &other) const
{
    if (m_frequencies != other.m_frequencies)
        return false;
    for (int i = 0; i < size(); ++i) {
        if (!sameLevel(m_levels.at(i), other.m_levels.at(i)))
            return false;
    }
    return true;
}

TTrace channelTrace(const DataScanManager &scan, int channel)
{
    QVector<TScanPoint> points;
    scan.copyPoints(channel, 0, quint32(scan.channelPointCount(channel)), points, true);
    return TTrace::fromScanPoints(points, displayOffset(scan.rfParameters(), scan.useCalib(), channel));
}

} // namespace ZData::TR
