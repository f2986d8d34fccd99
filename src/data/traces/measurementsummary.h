#pragma once

#include "data/traces/limitmask.h"
#include "data/traces/ttrace.h"

#include <QString>

namespace ZData::TR::MeasurementSummary {

inline constexpr int kDecimals = 2;

// One channel's result as a script reads it, over the whole trace:
//   S21 points=100 min=-13.02 max=-9.55 flatness=3.47 limits=PASS
// points counts the measured points; with none, the levels read "none".
QString line(int channel, const TTrace &trace, const TLimitVerdict &verdict);

} // namespace ZData::TR::MeasurementSummary
