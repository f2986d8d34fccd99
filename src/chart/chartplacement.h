#pragma once

#include "data/scan/tscanpoint.h"

#include <QPointF>
#include <QVector>

namespace ZData {
struct TRFParameters;
}

// How processed points become the plotted series: frequencies in MHz, levels
// shifted by the device's display offsets.
namespace ZChart::ChartPlacement {

// Each following point sits this much further right (MHz), so x is strictly
// increasing even where two points share a frequency.
inline constexpr double kIndexShiftMHz = 1e-9;
// A real part at or above this marks a point that was never measured.
inline constexpr float kEmptyRealThreshold = 99999.0f;

// The two terms added to every level, kept apart because they are summed in
// this order.
struct LevelOffset
{
    double a = 0.0;
    double b = 0.0;
};

bool isValidPoint(const ZData::TScanPoint &point);

LevelOffset levelOffset(const ZData::TRFParameters &rf, bool useCalib, int channel);

// Hz to MHz with the per-index shift, level plus the offset, in place.
void place(QVector<QPointF> &points, const LevelOffset &offset);

// The plotted points: levels (frequency in Hz, level) up to the last valid
// one, placed. A sweep fills a list from its start; a point not measured
// further in is a gap, whose level is not a number and whose x is that of
// the point before, rather than a level of 100 dB or a jump back to 0 MHz.
QVector<QPointF> plotted(const QVector<QPointF> &levels, const QVector<bool> &valid, const LevelOffset &offset);

// Upper end of the frequency axis that still shows the shifted last point.
double axisStopMHz(double stopHz, quint32 points);

} // namespace ZChart::ChartPlacement
