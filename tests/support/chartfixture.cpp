#include "chartfixture.h"

#include "sweepfeeder.h"

#include "core/localizationmanager.h"
#include "core/settingsmanager.h"
#include "data/device/commandqueue.h"
#include "data/scan/datascanmanager.h"

#include <cmath>

namespace TestSupport {

namespace {
const char *const kEnglish = ":/translation/dranwell_en.qm";
constexpr quint32 kPresetPoints = 101;
} // namespace

const ZData::CAL::CalibData *FakeCalibrator::calibrationFor(int, int channel, int powerIndex) const
{
    const ZData::CAL::CalibData &entry = references.entry(channel, powerIndex);
    return entry.hasData() ? &entry : nullptr;
}

void FakeCalibrator::setReference(float reference)
{
    for (ZData::CAL::CalibData &entry : references.entries) {
        entry.values.fill(ZData::CAL::TCalibValue(reference, 0.0f), int(ZData::TScanRange::kMaxPoints));
        entry.valid = true;
    }
}

ChartFixture::ChartFixture()
    : m_log(std::make_unique<LogCapture>()),
      m_dialogs(std::make_unique<RecordingDialogs>()),
      m_dir(std::make_unique<TempAppDir>())
{
    ZCore::SettingsManager::init();
    ZCore::LocalizationManager::init();
    ZCore::LocalizationManager::instance().loadLanguage(QString::fromLatin1(kEnglish));
}

ChartFixture::~ChartFixture()
{
    ZData::DataScanManager::instance().setCalibrationSource(nullptr);
    ZData::DM::CommandQueue::instance().clearQueue();
}

bool ChartFixture::load(const QList<ZData::TScanPreset> &presets, const QVariantMap &rf)
{
    if (!m_dir->isValid() || !SweepFeeder::loadProfile(presets, rf))
        return false;
    ZData::DataScanManager::instance().setCalibrationSource(&m_calibrator);
    return true;
}

ZData::TScanPreset ChartFixture::preset(const QString &name, const QVector<double> &s21MarksMHz,
                                        const QVector<double> &s12MarksMHz)
{
    const qint64 mhz = ZCore::TFrequency::kMultiplierMHz;
    const auto channel = [mhz](double start, double stop, const QVector<double> &marksMHz) {
        ZData::TChannelPreset result(ZData::TScanRange(ZCore::TFrequency(start, mhz), ZCore::TFrequency(stop, mhz), kPresetPoints));
        for (double f : marksMHz)
            result.marks.append(std::isnan(f) ? ZData::TMark() : ZData::TMark(ZCore::TFrequency(f, mhz)));
        return result;
    };
    ZData::TScanPreset preset(name);
    preset.channels[0] = channel(100, 200, s21MarksMHz);
    preset.channels[1] = channel(300, 400, s12MarksMHz);
    return preset;
}

} // namespace TestSupport
