// Feeds arbitrary bytes as a device's calibration file to the calibration
// reader, against the built-in presets. Every read ends in exactly one
// outcome, and what it accepts is whole: every reference present, with the
// range and the point count of its preset, only finite values and no
// reference that a measurement could not be divided by.
#include "fuzzsupport.h"

#include "core/settingsmanager.h"
#include "data/calibration/calibrationmanager.h"
#include "data/device/devicemanager.h"
#include "data/scan/datascanmanager.h"

#include <QDir>

#include <cmath>
#include <cstdint>

namespace {

using FuzzSupport::expect;
using ZData::CalibrationManager;
using ZData::DataScanManager;

const QString kDeviceId = QStringLiteral("1-2-3");

int g_finished = 0;
int g_failed = 0;

QString filePath()
{
    return QDir(ZCore::AppEnvironment::appDir()).filePath(QStringLiteral("fuzz.cbin"));
}

void checkAccepted(const CalibrationManager &calib)
{
    const DataScanManager &scan = DataScanManager::instance();
    expect(calib.calibrationPresetCount() == scan.presetCount());
    expect(calib.calibrationList().size() == scan.presetCount());
    for (int p = 0; p < scan.presetCount(); ++p) {
        for (const ZData::CAL::CalibData &entry : calib.calibrationList().at(p).entries) {
            expect(entry.hasData());
            expect(entry.values.size() == int(entry.range.points));
            expect(entry.firstUnusableValue() < 0);
            for (const ZData::CAL::TCalibValue &value : entry.values)
                expect(std::isfinite(value.real()) && std::isfinite(value.imag()));
        }
        for (int c = 0; c < ZData::kScanChannelCount; ++c) {
            for (int power = 0; power < ZData::CAL::CalibPreset::kPowerLevels; ++power)
                expect(calib.calibrationList().at(p).entry(c, power).range == scan.presetAt(p).channel(c));
        }
    }
}

void checkRejected(const CalibrationManager &calib)
{
    expect(calib.calibrationPresetCount() == 0);
    for (const ZData::CAL::CalibPreset &preset : calib.calibrationList()) {
        for (const ZData::CAL::CalibData &entry : preset.entries)
            expect(!entry.hasData());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::setUpWithPresets(argc, argv);
    ZData::DeviceInfo info;
    info.id = kDeviceId;
    ZData::DeviceManager::instance().setDeviceInfo(info);
    // Not initialised: the reader needs no table, and the sweep is kept out
    // of the way of every outcome.
    CalibrationManager &calib = CalibrationManager::instance();
    QObject::connect(&calib, &CalibrationManager::signalFinishedCalibration, [] { ++g_finished; });
    QObject::connect(&calib, &CalibrationManager::signalFailedReadCalibration, [] { ++g_failed; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    expect(FuzzSupport::writeFile(filePath(), FuzzSupport::bytes(data, size)));
    CalibrationManager &calib = CalibrationManager::instance();
    g_finished = 0;
    g_failed = 0;
    calib.readCalibrationFile(filePath());
    expect(g_finished + g_failed == 1);
    if (g_finished)
        checkAccepted(calib);
    else
        checkRejected(calib);
    return 0;
}
