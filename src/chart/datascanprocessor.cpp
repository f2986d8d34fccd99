#include "chart/datascanprocessor.h"

#include "chart/chartenums.h"
#include "data/traces/ttrace.h"

#include <cstring>

namespace ZChart {

DataScanProcessor::DataScanProcessor(ZChartView *view) : m_view(view) {}

void DataScanProcessor::registerMethods()
{
    using namespace std::placeholders;
    m_conversions.insert(EChartType::LOG_MAG, std::bind(&DataScanProcessor::logMagPoint, this, _1));
}

void DataScanProcessor::processPoints(const QVector<ZData::TScanPoint> &input, QVector<QPointF> &output,
                                      quint16 chartType) const
{
    const auto entry = m_conversions.constFind(chartType);
    if (entry == m_conversions.constEnd())
        return;
    const int count = qMin(input.size(), output.size());
    const ZData::TScanPoint *source = input.constData();
    QPointF *target = output.data();
    for (int i = 0; i < count; ++i)
        target[i] = (*entry)(source[i]);
}

void DataScanProcessor::processChangedPoints(const QVector<ZData::TScanPoint> &input, int count,
                                             QVector<ZData::TScanPoint> &previous, QVector<QPointF> &output,
                                             quint16 chartType) const
{
    const auto entry = m_conversions.constFind(chartType);
    if (entry == m_conversions.constEnd())
        return;
    count = qBound(0, count, input.size());
    const int known = previous.size() == count && output.size() == count ? count : 0;
    previous.resize(count);
    output.resize(count);
    const ZData::TScanPoint *source = input.constData();
    ZData::TScanPoint *seen = previous.data();
    QPointF *target = output.data();
    for (int i = 0; i < count; ++i) {
        // Bitwise: a NaN that stays a NaN is no change.
        if (i < known && std::memcmp(&seen[i], &source[i], sizeof(ZData::TScanPoint)) == 0)
            continue;
        seen[i] = source[i];
        target[i] = (*entry)(source[i]);
    }
}

QPointF DataScanProcessor::logMagPoint(const ZData::TScanPoint &point) const
{
    // The chart and every export read the level through one conversion.
    return QPointF(static_cast<double>(point.frequency), ZData::TR::magnitudeDb(point));
}

} // namespace ZChart
