#pragma once

#include <QObject>
#include <QtGlobal>

namespace ZChart {

namespace ChartEnums {
Q_NAMESPACE

// Keys of the per-type method tables of the chart processors. The tables are
// the extension point for further chart and mark types.
enum EChartType : quint16 { LOG_MAG = 0 };
Q_ENUM_NS(EChartType)

enum EMarkType : quint16 { LMAG = 0 };
Q_ENUM_NS(EMarkType)

} // namespace ChartEnums

using ChartEnums::EChartType;
using ChartEnums::EMarkType;

// "No chart type yet": no processor table has an entry for it.
inline constexpr quint16 kChartTypeNone = 0xFFFF;

} // namespace ZChart
