#include "sweepfeeder.h"

#include "core/settingsmanager.h"
#include "data/device/commandqueue.h"
#include "data/device/devicemanager.h"
#include "data/scan/datascanmanager.h"

#include <QDataStream>
#include <QSettings>

namespace TestSupport {

namespace {

using Cmd = ZData::EDeviceCommands;

// The channel whose scan request heads the queue, or -1; what is not a scan
// request (ADC reads, start-up commands) is dropped from the head first.
int pendingChannel()
{
    ZData::DM::CommandQueue &queue = ZData::DM::CommandQueue::instance();
    const auto isScan = [](quint16 c) { return c == quint16(Cmd::DA_GET_SCAN_DATA_S21) || c == quint16(Cmd::DA_GET_SCAN_DATA_S12); };
    while (!queue.isEmpty() && !isScan(queue.commands().first()))
        queue.processNext(true);
    if (queue.isEmpty())
        return -1;
    return queue.commands().first() == quint16(Cmd::DA_GET_SCAN_DATA_S12) ? 1 : 0;
}

} // namespace

bool SweepFeeder::loadProfile(const QList<ZData::TScanPreset> &presets, const QVariantMap &rf)
{
    QSettings *user = ZCore::SettingsManager::userSettings();
    QSettings *current = ZCore::SettingsManager::currentSettings();
    if (!user || !current)
        return false;
    user->remove(QStringLiteral("Range_Presets"));
    ZData::PresetSettings::writeScanPresets(*user, presets);
    user->sync();
    current->beginGroup(QStringLiteral("RF"));
    for (auto it = rf.cbegin(); it != rf.cend(); ++it)
        current->setValue(it.key(), it.value());
    current->endGroup();
    current->sync();
    return ZData::DataScanManager::instance().init();
}

void SweepFeeder::start(int preset)
{
    ZData::DataScanManager &scan = ZData::DataScanManager::instance();
    ZData::DM::CommandQueue::instance().clearQueue();
    scan.setActivePreset(preset, true);
    scan.setScanPause(false, false);
}

SweepFeeder::SweepFeeder(Level level) : m_level(std::move(level)) {}

bool SweepFeeder::answerSlice()
{
    const int channel = pendingChannel();
    if (channel < 0)
        return false;
    ZData::DataScanManager &scan = ZData::DataScanManager::instance();
    const ZData::DS::RangeSliced &range = scan.channelRange(channel);
    const QVector<ZData::TScanPoint> &raw = scan.rawPoints(channel);

    ZData::TDeviceReply reply;
    reply.header.command = quint16(channel == 0 ? Cmd::DA_GET_SCAN_DATA_S21 : Cmd::DA_GET_SCAN_DATA_S12);
    QDataStream out(&reply.data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    const quint32 count = range.sliceCount();
    out << float(count);
    for (quint32 i = 0; i < count; ++i)
        out << m_level(channel, raw.value(int(range.sliceStart() + i)).frequency);

    emit ZData::DeviceManager::instance().signalGotScanData(reply);
    ZData::DM::CommandQueue::instance().processNext(true);
    return true;
}

int SweepFeeder::answerSlices(int count)
{
    int answered = 0;
    while ((count < 0 || answered < count) && answerSlice())
        ++answered;
    return answered;
}

void SweepFeeder::sweepBothChannels()
{
    ZData::DataScanManager &scan = ZData::DataScanManager::instance();
    const quint32 slices = scan.channelRange(0).slicesTotal() + scan.channelRange(1).slicesTotal();
    answerSlices(int(slices));
}

} // namespace TestSupport
