#pragma once

#include "data/scan/tscanpreset.h"

#include <QByteArray>
#include <QList>

namespace TestSupport {

// A complete calibration file of the device with an empty id (none is
// connected) for presets: every reference 0.5 over each preset's ranges.
QByteArray completeCalibrationFile(const QList<ZData::TScanPreset> &presets);

} // namespace TestSupport
