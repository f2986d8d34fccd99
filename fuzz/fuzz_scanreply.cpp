// Feeds arbitrary scan-data and ADC reply payloads to the sweep for any
// slice of any built-in preset, with and without a calibration reference
// of any length. Values must land in the slice asked for and nowhere else.
#include "fuzzsupport.h"

#include "core/settingsmanager.h"
#include "data/calibration/calibdata.h"
#include "data/scan/datascanmanager.h"
#include "data/scan/icalibrationsource.h"

#include <cstdint>

namespace {

using FuzzSupport::expect;
using ZData::DataScanManager;

// The leading bytes of an input choose the situation; the rest is the payload.
struct Situation
{
    quint8 preset = 0;
    quint8 slicesAhead = 0;
    // 0: no calibration; otherwise the reference holds this many values
    // times kCalibStep, at most a whole list.
    quint8 calibLength = 0;
    // Odd: the payload is an ADC reply instead.
    quint8 adc = 0;
};
constexpr int kSituationBytes = 4;
constexpr int kCalibStep = 8;

class FixedCalibration : public ZData::ICalibrationSource
{
public:
    bool isCalibrating() const override { return false; }
    const ZData::CAL::CalibData *calibrationFor(int, int, int) const override
    {
        return m_data.hasData() ? &m_data : nullptr;
    }
    void setLength(int length)
    {
        m_data.valid = length > 0;
        m_data.values.fill(ZData::CAL::TCalibValue(2.0f, 0.0f), length);
    }

private:
    ZData::CAL::CalibData m_data;
};

FixedCalibration g_calibration;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::setUpWithPresets(argc, argv);
    DataScanManager &scan = DataScanManager::instance();
    expect(scan.presetCount() > 0);
    scan.setCalibrationSource(&g_calibration);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < size_t(kSituationBytes))
        return 0;
    const Situation situation{data[0], data[1], data[2], data[3]};
    const QByteArray payload = FuzzSupport::bytes(data + kSituationBytes, size - kSituationBytes);

    DataScanManager &scan = DataScanManager::instance();
    g_calibration.setLength(qMin(int(situation.calibLength) * kCalibStep, DataScanManager::kPointListSize));
    scan.setActivePreset(situation.preset % scan.presetCount(), true);
    ZData::DS::RangeSliced &range = scan.channelRange(ZData::EScanChannel::S21);
    // None at all: the reply of a sweep that was restarted meanwhile.
    for (quint32 i = 0; i < situation.slicesAhead % (range.slicesTotal() + 2); ++i)
        range.nextSlice();

    ZData::TDeviceReply reply;
    reply.data = payload;
    if (situation.adc % 2) {
        scan.slotProcessADCValue(reply);
        return 0;
    }
    scan.slotProcessScanData(reply);

    const quint32 first = range.sliceStart();
    const quint32 last = first + range.sliceCount();
    for (int c = 0; c < ZData::kScanChannelCount; ++c) {
        const QVector<ZData::TScanPoint> &raw = scan.rawPoints(c);
        const QVector<ZData::TScanPoint> &calibrated = scan.calibratedPoints(c);
        expect(raw.size() == DataScanManager::kPointListSize);
        expect(calibrated.size() == DataScanManager::kPointListSize);
        for (int i = 0; i < raw.size(); ++i) {
            const bool inSlice = c == ZData::EScanChannel::S21 && quint32(i) >= first && quint32(i) < last;
            if (!inSlice) {
                expect(raw.at(i).real == ZData::TScanPoint::kEmptyReal);
                expect(calibrated.at(i).real == ZData::TScanPoint::kEmptyReal);
            }
        }
    }
    return 0;
}
