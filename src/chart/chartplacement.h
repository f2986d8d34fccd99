#pragma once

#include "data/traces/ttrace.h"

#include <QPointF>
#include <QVector>

// How processed points become the plotted series: frequencies in MHz, levels
// shifted by the device's display offsets.
namespace ZChart::ChartPlacement {

// Each following point sits this much further right (MHz), so x is strictly
// increasing even where two points share a frequency.
inline constexpr double kIndexShiftMHz = 1e-9;
// The chart adds the same offsets and leaves out the same points as the
// traces the readouts, files and command line work on.
using LevelOffset = ZData::TR::TDisplayOffset;

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
