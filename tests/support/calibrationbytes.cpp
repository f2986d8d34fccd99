#include "calibrationbytes.h"

#include "data/calibration/calibrationmanager.h"
#include "lebytes.h"

#include <QFile>

namespace TestSupport {

bool writeCompleteCalibrationFile(const QString &path, const QList<ZData::TScanPreset> &presets, const QString &deviceId)
{
    using namespace LeBytes;
    QByteArray bytes = littleEndianString(deviceId) + littleEndianInt32(presets.size());
    for (const ZData::TScanPreset &preset : presets) {
        for (int entry = 0; entry < ZData::CAL::CalibPreset::kEntries; ++entry) {
            const ZData::TScanRange &range = preset.channel(entry % 2);
            bytes += littleEndianDouble(range.start.hz()) + littleEndianDouble(range.stop.hz())
                     + littleEndianInt32(qint32(range.points))
                     + (littleEndianDouble(0.5) + littleEndianDouble(0.0)).repeated(int(range.points));
        }
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace TestSupport
