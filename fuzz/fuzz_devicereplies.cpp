// Feeds arbitrary payloads to the device manager's readers of the
// identification replies: the first byte picks the identifier/version
// words or the D_GET_OPTIONS text. What the readers report as stored must
// be what the device info then holds, and a scan range the sweep takes
// from it must still slice into frequencies inside that range.
#include "fuzzsupport.h"

#include "core/settingsmanager.h"
#include "data/device/devicemanager.h"
#include "data/scan/datascanmanager.h"

#include <QtEndian>

#include <cstdint>

namespace {

using FuzzSupport::expect;
using ZData::DataScanManager;
using ZData::DeviceManager;
using ZData::EDeviceOptions;

// Rounding to whole hertz may step past a limit by less than this.
constexpr double kRoundingHz = 1.0;

enum EPayload : quint8 { IDENTITY = 0, OPTIONS = 1, KINDS = 2 };

void checkIdentity(const QByteArray &payload)
{
    quint32 words[DeviceManager::kIdentityWords] = {};
    const bool ok = DeviceManager::readIdentityWords(payload, words);
    expect(ok == (payload.size() >= DeviceManager::kIdentityPayloadSize));
    if (!ok)
        return;
    const auto *raw = reinterpret_cast<const uchar *>(payload.constData());
    for (int i = 0; i < DeviceManager::kIdentityWords; ++i)
        expect(words[i] == qFromLittleEndian<quint32>(raw + i * int(sizeof(quint32))));
}

void checkOptions(const QByteArray &payload)
{
    ZData::DeviceInfo info;
    const QList<EDeviceOptions> stored = DeviceManager::readOptions(payload, info);
    // Every stored option needs a key of its own in the text.
    expect(stored.size() <= payload.count(';') + 1);
    if (!stored.contains(EDeviceOptions::SCAN_RANGE))
        expect(info.scanRangeLow == 0 && info.scanRangeHigh == 0);
    expect(stored.contains(EDeviceOptions::BANDWIDTH) != info.bandwidths.isEmpty());
    if (!stored.contains(EDeviceOptions::PRESETS_COUNT))
        expect(info.presetsCount == 0);

    // What the device manager's signal makes the sweep do with them.
    DataScanManager &scan = DataScanManager::instance();
    for (int c = 0; c < ZData::kScanChannelCount; ++c)
        scan.channelRange(c).setLimits(ZCore::kFrequencyMin, ZCore::kFrequencyMax);
    DeviceManager::instance().setDeviceInfo(info);
    for (EDeviceOptions option : stored)
        scan.slotGotDeviceParams(option);
    scan.setActivePreset(0, true);
    for (int c = 0; c < ZData::kScanChannelCount; ++c) {
        ZData::DS::RangeSliced &range = scan.channelRange(c);
        for (quint32 slice = 0; slice < range.slicesTotal(); ++slice) {
            for (quint64 frequency : range.nextSlice()) {
                expect(double(frequency) >= range.limitMin().hz() - kRoundingHz);
                expect(double(frequency) <= range.limitMax().hz() + kRoundingHz);
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::setUpWithPresets(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray payload = FuzzSupport::bytes(data + 1, size - 1);
    switch (data[0] % KINDS) {
    case IDENTITY:
        checkIdentity(payload);
        break;
    default:
        checkOptions(payload);
        break;
    }
    return 0;
}
