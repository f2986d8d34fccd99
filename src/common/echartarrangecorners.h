#pragma once

#include <QObject>
#include <QtGlobal>

namespace ZCommon {

namespace ArrangeEnums {
Q_NAMESPACE

// The four places of the chart area; the upper two show S21 and S12.
enum EChartArrangeCorners : quint32 { UL = 0, UR = 1, BL = 2, BR = 3 };
Q_ENUM_NS(EChartArrangeCorners)

} // namespace ArrangeEnums

using ArrangeEnums::EChartArrangeCorners;
using ArrangeEnums::UL;
using ArrangeEnums::UR;
using ArrangeEnums::BL;
using ArrangeEnums::BR;

// Corners below this one carry a channel (the corner's value is the channel).
inline constexpr quint32 kFirstCornerWithoutChannel = BL;
inline constexpr quint32 kCornerNone = 0xFFFFFFFF;

} // namespace ZCommon
