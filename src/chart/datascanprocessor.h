#pragma once

#include "core/ifactorymethod.h"
#include "data/scan/tscanpoint.h"

#include <QHash>
#include <QPointF>
#include <QVector>

#include <functional>

namespace ZChart {

class ZChartView;

// Turns measured points into chart points, one conversion per chart type.
class DataScanProcessor : public ZCore::IFactoryMethod
{
public:
    using PointConversion = std::function<QPointF(const ZData::TScanPoint &)>;

    explicit DataScanProcessor(ZChartView *view);

    ZChartView *view() const { return m_view; }

    void registerMethods() override;

    // output must already have the length of input; a chart type without a
    // conversion leaves it as it is.
    void processPoints(const QVector<ZData::TScanPoint> &input, QVector<QPointF> &output, quint16 chartType) const;
    // The same for the first count points of input, converting only those
    // that differ from previous (what output was converted from), which then
    // takes their place. A sweep changes one slice at a time.
    void processChangedPoints(const QVector<ZData::TScanPoint> &input, int count, QVector<ZData::TScanPoint> &previous,
                              QVector<QPointF> &output, quint16 chartType) const;

    // (frequency in Hz, 20 log10 |value|); a zero magnitude gives 0 rather
    // than minus infinity, which would wreck the axis and the line.
    QPointF logMagPoint(const ZData::TScanPoint &point) const;

private:
    ZChartView *m_view = nullptr;
    QHash<quint16, PointConversion> m_conversions;
};

} // namespace ZChart
