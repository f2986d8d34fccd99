#pragma once

#include "data/scan/tscanpreset.h"

#include <QList>
#include <QString>

namespace TestSupport {

// Writes a complete calibration file of the device with deviceId (empty:
// none is connected) for presets, every reference 0.5 over each preset's
// ranges, to path; false when it could not be written.
bool writeCompleteCalibrationFile(const QString &path, const QList<ZData::TScanPreset> &presets,
                                  const QString &deviceId = QString());

} // namespace TestSupport
