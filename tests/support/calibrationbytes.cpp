#include "calibrationbytes.h"

#include "data/calibration/calibrationmanager.h"
#include "lebytes.h"

namespace TestSupport {

QByteArray completeCalibrationFile(const QList<ZData::TScanPreset> &presets)
{
    using namespace LeBytes;
    QByteArray bytes = littleEndianString(QString()) + littleEndianInt32(presets.size());
    for (const ZData::TScanPreset &preset : presets) {
        for (int entry = 0; entry < ZData::CAL::CalibPreset::kEntries; ++entry) {
            const ZData::TScanRange &range = preset.channel(entry % 2);
            bytes += littleEndianDouble(range.start.hz()) + littleEndianDouble(range.stop.hz())
                     + littleEndianInt32(qint32(range.points))
                     + (littleEndianDouble(0.5) + littleEndianDouble(0.0)).repeated(int(range.points));
        }
    }
    return bytes;
}

} // namespace TestSupport
