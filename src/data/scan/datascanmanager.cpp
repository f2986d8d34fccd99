#include "data/scan/datascanmanager.h"

#include "core/esettingsgroups.h"
#include "core/log.h"
#include "core/settingsmanager.h"
#include "data/calibration/calibdata.h"
#include "data/device/commandqueue.h"
#include "data/device/devicemanager.h"
#include "data/device/serialport.h"
#include "data/scan/icalibrationsource.h"
#include "data/scan/scanpayloads.h"

#include <QSettings>

#include <cmath>

namespace ZData {

using DM::CommandQueue;
using DM::SerialPort;
using ZCore::ESettingsGroups;
using ZCore::SettingsManager;
using ZCore::Log::critical;
using ZCore::Log::debug;
using ZCore::Log::info;
using ZCore::Log::warning;

namespace {

const QVector<qint32> kPowerCodes = {0, 1};
constexpr float kPercent = 100.0f;

const char *const kKeyS21Att = "S21_ATT";
const char *const kKeyS12Att = "S12_ATT";
const char *const kKeyAmpOffset = "AMP_OFFSET";
const char *const kKeyRfOffset = "RF_OFFSET";
const char *const kKeyS21AmpOrigin = "S21_AMP_ORIGIN";
const char *const kKeyS12AmpOrigin = "S12_AMP_ORIGIN";
const char *const kKeyGain = "GAIN";
const char *const kKeyAdcOverflowLevel = "ADC_OVERFLOW_LEVEL";
const char *const kKeySampleSize = "SAMPLE_SIZE";
const char *const kKeyRfOverload = "RF_OVERLOAD";

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

QString groupName(ESettingsGroups group)
{
    return ZCore::settingsGroupText(group);
}

double readDouble(const QSettings &settings, const char *name)
{
    return settings.value(key(name), 0.0).toDouble();
}

quint16 readWord(const QSettings &settings, const char *name)
{
    return quint16(settings.value(key(name), 0U).toUInt());
}

int channelIndex(int channel)
{
    return int(clampChannel(channel));
}

QVector<TScanPoint> emptyPoints()
{
    return QVector<TScanPoint>(DataScanManager::kPointListSize);
}

} // namespace

DataScanManager::DataScanManager()
{
    for (auto &range : m_ranges)
        range = std::make_unique<DS::RangeSliced>();
    for (int c = 0; c < kScanChannelCount; ++c) {
        m_rawPoints[size_t(c)] = emptyPoints();
        m_calibratedPoints[size_t(c)] = emptyPoints();
    }
}

QString DataScanManager::tag()
{
    static const QString tagText = QStringLiteral("DataScanManager");
    return tagText;
}

bool DataScanManager::init()
{
    ZCore::Log::traceDebug(tag(), QStringLiteral("ZData::DataScanManager::init"));
    qRegisterMetaType<EScanChannel>();
    qRegisterMetaType<TDeviceReply>();
    qRegisterMetaType<EDeviceOptions>();
    resetRunState();
    initData();
    registerRestorable();
    restoreSettings();
    makeConnections();
    return true;
}

void DataScanManager::resetRunState()
{
    m_paused = true;
    m_sliceReachedEnd = false;
    m_useCalib = false;
    m_useCalibChosen = false;
    m_scanRequestCounter = 0;
    m_channel = EScanChannel::S21;
    m_activePreset = 0;
    m_powerIndex = kPowerLow;
    m_progressCounter = 0;
    m_rf = TRFParameters();
    m_scanOutstanding = false;
    m_warnedShortCalibration = false;
}

void DataScanManager::initData()
{
    ZCore::Log::traceDebug(tag(), QStringLiteral("ZData::DataScanManager::initData"));
    m_powerCodes = kPowerCodes;
    for (int c = 0; c < kScanChannelCount; ++c) {
        auto &range = m_ranges[size_t(c)];
        range = std::make_unique<DS::RangeSliced>();
        // Direct: the flag must be set inside nextSlice, before the slice
        // it ends is even queued.
        connect(range.get(), &DS::RangeSliced::signalReachedEnd, this, &DataScanManager::markSliceReachedEnd,
                Qt::DirectConnection);
        m_rawPoints[size_t(c)] = emptyPoints();
        m_calibratedPoints[size_t(c)] = emptyPoints();
    }
}

void DataScanManager::makeConnections()
{
    const auto type = Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection);
    DeviceManager &device = DeviceManager::instance();
    connect(&device, &DeviceManager::signalGotDeviceParams, this, &DataScanManager::slotGotDeviceParams, type);
    connect(&device, &DeviceManager::signalGotScanData, this, &DataScanManager::slotProcessScanData, type);
    connect(&device, &DeviceManager::signalGotADCValue, this, &DataScanManager::slotProcessADCValue, type);
    connect(&device, &DeviceManager::signalStartupFinished, this, &DataScanManager::slotPostDeviceStartup, type);
    connect(&SerialPort::instance(), &SerialPort::signalClosing, this, &DataScanManager::pauseForClosingPort,
            type);
    // The calibration manager's three outcome signals are connected to the
    // calibration slots by whoever wires that manager in.
}

void DataScanManager::registerRestorable()
{
    // A re-init must not enrol the manager twice.
    SettingsManager::removeRestorable(this);
    SettingsManager::addRestorable(this);
}

void DataScanManager::restoreSettings()
{
    ZCore::Log::traceInfo(tag(), QStringLiteral("ZData::DataScanManager::restoreSettings"));
    const std::unique_ptr<QSettings> user = SettingsManager::userSettingsSnapshot();
    if (!user) {
        critical(tag(), QStringLiteral(">> no user settings loaded"));
        return;
    }
    m_presets = PresetSettings::readScanPresets(*user);
    m_presetCount = m_presets.size();
    emit signalRestoredScanPresets();

    const std::unique_ptr<QSettings> current = SettingsManager::currentSettingsSnapshot();
    if (!current) {
        critical(tag(), QStringLiteral(">> no settings loaded"));
        return;
    }
    current->beginGroup(groupName(ESettingsGroups::RF));
    m_rf.ampOffset = readDouble(*current, kKeyAmpOffset);
    m_rf.rfOffset = readDouble(*current, kKeyRfOffset);
    // Samples are scaled as floats: a factor that is no finite float (a
    // hand-typed "nan", "inf" or 1e300) would make every sample no number.
    if (!std::isfinite(float(m_rf.rfOffset))) {
        warning(tag(), QStringLiteral(">> RF_OFFSET %1 is no usable scale => %2 used")
                           .arg(m_rf.rfOffset)
                           .arg(TRFParameters::kDefaultRfOffset));
        m_rf.rfOffset = TRFParameters::kDefaultRfOffset;
    }
    // A zero factor would divide every sample by zero.
    if (std::fabs(m_rf.rfOffset) < TRFParameters::kMinRfOffset)
        m_rf.rfOffset = TRFParameters::kDefaultRfOffset;
    m_rf.s21AmpOrigin = readDouble(*current, kKeyS21AmpOrigin);
    m_rf.s12AmpOrigin = readDouble(*current, kKeyS12AmpOrigin);
    m_rf.gain = readDouble(*current, kKeyGain);
    m_rf.adcOverflowLevel = readDouble(*current, kKeyAdcOverflowLevel);
    m_rf.sampleSize = readWord(*current, kKeySampleSize);
    m_rf.rfOverload = readWord(*current, kKeyRfOverload);
    m_rf.calibPasses = qMax(m_rf.calibPasses, TRFParameters::kMinCalibPasses);
    m_rf.s21Att = readDouble(*current, kKeyS21Att);
    m_rf.s12Att = readDouble(*current, kKeyS12Att);
    current->endGroup();
}

void DataScanManager::saveSettings()
{
    ZCore::Log::traceInfo(tag(), QStringLiteral("ZData::DataScanManager::saveSettings"));
    QSettings *current = SettingsManager::currentSettings();
    if (!current) {
        critical(tag(), QStringLiteral(">> ") + qtTrId("dw_err_cant_write_settings"));
        return;
    }
    current->beginGroup(groupName(ESettingsGroups::RF));
    current->setValue(key(kKeyS21Att), m_rf.s21Att);
    current->setValue(key(kKeyS12Att), m_rf.s12Att);
    current->endGroup();
}

// ---- the sweep ------------------------------------------------------------

void DataScanManager::reset(bool clear)
{
    m_sliceReachedEnd = false;
    m_channel = EScanChannel::S21;
    m_progressCounter = 0;
    for (auto &range : m_ranges)
        range->reset(true);
    if (!clear)
        return;
    // The reply still outstanding at a clearing reset belongs to the old
    // sweep; counting it from -1 lets the new sweep start at 0.
    m_progressCounter = -1;
    for (int c = 0; c < kScanChannelCount; ++c) {
        m_rawPoints[size_t(c)].fill(TScanPoint());
        m_calibratedPoints[size_t(c)].fill(TScanPoint());
    }
}

void DataScanManager::requestScanData()
{
    if (m_paused) {
        emit signalMisfiredRequestScanData();
        return;
    }
    if (m_scanOutstanding) {
        debug(tag(), QStringLiteral(">> a scan request is still outstanding => its reply continues the sweep"));
        return;
    }
    if (m_presets.isEmpty()) {
        warning(tag(), QStringLiteral(">> no scan presets loaded => sweep not started"));
        return;
    }
    if (m_ranges[0]->points() == 0) {
        warning(tag(), QStringLiteral(">> no scan preset activated => sweep not started"));
        return;
    }
    if (m_sliceReachedEnd) {
        m_sliceReachedEnd = false;
        ++m_channel;
        if (m_channel >= kScanChannelCount) {
            reset(false);
            emit signalActiveScanPresetReachedEnd();
        }
    }
    const int c = m_channel;
    DS::RangeSliced &range = *m_ranges[size_t(c)];
    const QVector<quint64> frequencies = range.nextSlice();
    const int first = int(range.sliceStart());
    QVector<TScanPoint> &points = m_rawPoints[size_t(c)];
    for (int i = 0; i < frequencies.size() && first + i < points.size(); ++i)
        points[first + i].frequency = frequencies.at(i);

    const EDeviceCommands command =
        c == EScanChannel::S21 ? EDeviceCommands::DA_GET_SCAN_DATA_S21 : EDeviceCommands::DA_GET_SCAN_DATA_S12;
    m_scanOutstanding = true;
    CommandQueue::instance().enqueue(command, [this](const TCommandHeader &header) { sendScanRequest(header); },
                                     powerCode(), false);
}

void DataScanManager::sendScanRequest(const TCommandHeader &header)
{
    const int c = m_channel;
    const DS::RangeSliced &range = *m_ranges[size_t(c)];
    const QVector<TScanPoint> &points = m_rawPoints[size_t(c)];
    const int first = int(range.sliceStart());
    const int last = qMin(first + int(range.sliceCount()), points.size());
    QVector<quint64> frequencies;
    for (int i = first; i < last; ++i)
        frequencies << points.at(i).frequency;
    DeviceManager::instance().sendRequest(static_cast<EDeviceCommands>(header.command),
                                          ScanPayloads::scanRequest(frequencies), header.options);

    if (++m_scanRequestCounter < kScanRequestsPerAdcRead)
        return;
    m_scanRequestCounter = 0;
    CommandQueue::instance().enqueue(
        EDeviceCommands::DA_GET_ADC_VALUE,
        [](const TCommandHeader &adcHeader) { DeviceManager::instance().sendCommand(adcHeader); }, 0, false);
}

void DataScanManager::slotProcessScanData(ZData::TDeviceReply device_reply)
{
    const EScanChannel channel = clampChannel(m_channel);
    DS::RangeSliced &range = *m_ranges[size_t(channel)];
    const quint32 first = range.sliceStart();
    // Never past the slice asked for, never past the point list: a count
    // the device got wrong must not overwrite other slices or memory.
    const quint32 roomInList = first < quint32(kPointListSize) ? quint32(kPointListSize) - first : 0;
    const quint32 room = qMin(range.sliceCount(), roomInList);
    const ScanPayloads::TScanReply reply = ScanPayloads::readScanReply(device_reply.data, int(room));
    if (reply.announced > room) {
        if (range.sliceCount() == 0)
            info(tag(), QStringLiteral(">> scan reply for a sweep that was restarted => %1 values ignored")
                            .arg(reply.announced));
        else
            warning(tag(), QStringLiteral(">> scan reply carries %1 values for a slice of %2 at point %3 => "
                                          "the excess is ignored")
                               .arg(reply.announced).arg(room).arg(first));
    }

    const quint32 count = quint32(reply.values.size());
    QVector<TScanPoint> &points = m_rawPoints[size_t(channel)];
    for (quint32 i = 0; i < count; ++i) {
        TScanPoint &point = points[int(first + i)];
        point.real = reply.values.at(int(i));
        point.imag = 0.0f;
    }
    scaleSamples(channel, first, count);
    calibrateSamples(channel, first, count);
    if (!range.received())
        range.markReceived();
    emit signalProcessedScanData(channel);
    if (!isCalibrating())
        reportScanProgress();
    // Only now: whatever the listeners above did (pause, unpause, switch
    // the preset), the sweep goes on from here and from nowhere else.
    m_scanOutstanding = false;
    requestScanData();
}

void DataScanManager::scaleSamples(EScanChannel channel, quint32 first, quint32 count)
{
    const float factor = float(m_rf.rfOffset);
    // Restoring never leaves a zero factor; a zero here would only come
    // from a float underflow and then means "no scale".
    if (factor == 0.0f)
        return;
    QVector<TScanPoint> &points = m_rawPoints[size_t(channel)];
    for (quint32 i = 0; i < count; ++i) {
        TScanPoint &point = points[int(first + i)];
        // A negative factor divides: the profile's way to say "attenuate".
        point.real = factor > 0.0f ? factor * point.real : point.real / factor;
        point.imag = 0.0f;
    }
}

void DataScanManager::calibrateSamples(EScanChannel channel, quint32 first, quint32 count)
{
    if (isCalibrating())
        return;
    const CAL::CalibData *calib = calibrationFor(m_activePreset, channel);
    if (!calib || !calib->hasData())
        return;
    const QVector<TScanPoint> &raw = m_rawPoints[size_t(channel)];
    QVector<TScanPoint> &calibrated = m_calibratedPoints[size_t(channel)];
    for (quint32 i = 0; i < count; ++i) {
        const int index = int(first + i);
        TScanPoint &point = calibrated[index];
        point.frequency = raw.at(index).frequency;
        point.imag = 0.0f;
        // A channel preset of fewer than two points is swept with two, but
        // its reference holds only as many values as the preset asked for.
        if (index >= calib->values.size()) {
            point.real = TScanPoint::kEmptyReal;
            if (!m_warnedShortCalibration) {
                m_warnedShortCalibration = true;
                warning(tag(), QStringLiteral(">> calibration of channel %1 holds %2 values, point %3 stays "
                                              "uncalibrated")
                                   .arg(int(channel)).arg(calib->values.size()).arg(index));
            }
            continue;
        }
        point.real = raw.at(index).real / calib->values.at(index).real();
    }
}

void DataScanManager::reportScanProgress()
{
    const quint32 slices = m_ranges[0]->slicesTotal() + m_ranges[1]->slicesTotal();
    // A sweep of a single slice is complete with its first reply.
    const float share = slices > 1 ? float(m_progressCounter) / float(slices - 1) : 1.0f;
    emit signalReportScanProcess(int(share * kPercent));
    ++m_progressCounter;
}

void DataScanManager::slotProcessADCValue(ZData::TDeviceReply device_reply)
{
    quint16 value = 0;
    if (!ScanPayloads::readAdcValue(device_reply.data, &value)) {
        warning(tag(), QStringLiteral(">> ADC reply of %1 bytes holds no value => ignored").arg(device_reply.data.size()));
        return;
    }
    emit signalRFOverload(value >= m_rf.rfOverload);
}

// ---- pause ----------------------------------------------------------------

void DataScanManager::setScanPause(bool paused, bool notify)
{
    const bool wasPaused = m_paused;
    m_paused = paused;
    if (wasPaused && !paused)
        requestScanData();
    if (notify)
        emit signalScanPause(m_paused);
}

void DataScanManager::setUserScanPause(bool paused)
{
    const bool wasPaused = m_paused;
    m_paused = paused;
    if (wasPaused && !paused)
        requestScanData();
    emit signalUserScanPause(paused);
}

void DataScanManager::pauseForClosingPort()
{
    // The queue is cleared with the port: the reply of the request in
    // flight will never come, and the next device start-up must be able to
    // start a fresh chain.
    m_scanOutstanding = false;
    setScanPause(true, true);
}

void DataScanManager::slotFailedReadCalibration()
{
    refreshUseCalib();
    reset(false);
    emit signalActiveScanPresetUpdated();
    setScanPause(false, true);
}

void DataScanManager::slotFinishedCalibration()
{
    m_warnedShortCalibration = false;
    refreshUseCalib();
    reset(true);
    emit signalActiveScanPresetUpdated();
    setScanPause(false, true);
}

void DataScanManager::slotRemovedCalibration()
{
    refreshUseCalib();
    setScanPause(false, true);
}

void DataScanManager::slotStart()
{
    if (!m_paused)
        requestScanData();
}

void DataScanManager::slotStop()
{
}

void DataScanManager::restartIdleSweep()
{
    // A sweep that could not start (no preset yet) has no request chain to
    // pick up the change; a running one continues on its own.
    if (!m_paused && !m_scanOutstanding)
        requestScanData();
}

// ---- presets, power, calibration use -----------------------------------------

void DataScanManager::loadActivePresetRanges()
{
    const TScanPreset &preset = m_presets.at(m_activePreset);
    for (int c = 0; c < kScanChannelCount; ++c) {
        const TChannelPreset &channel = preset.channel(c);
        DS::RangeSliced &range = *m_ranges[size_t(c)];
        range.setStart(channel.start, false);
        range.setStop(channel.stop, false);
        range.setPoints(channel.points, true);
    }
    m_warnedShortCalibration = false;
}

void DataScanManager::setActivePreset(qint32 index, bool clear)
{
    if (m_presets.isEmpty()) {
        warning(tag(), QStringLiteral(">> no scan presets loaded => preset %1 not activated").arg(index));
        return;
    }
    m_activePreset = qBound(0, index, m_presetCount - 1);
    loadActivePresetRanges();
    reset(clear);
    emit signalActiveScanPresetUpdated();
    restartIdleSweep();
}

bool DataScanManager::rangesDiffer(const QList<TScanPreset> &presets) const
{
    if (presets.size() != m_presets.size())
        return true;
    for (int i = 0; i < presets.size(); ++i) {
        for (int c = 0; c < TScanPreset::kChannelCount; ++c) {
            if (static_cast<const TScanRange &>(presets.at(i).channel(c))
                != static_cast<const TScanRange &>(m_presets.at(i).channel(c)))
                return true;
        }
    }
    return false;
}

void DataScanManager::replacePresets(const QList<TScanPreset> &presets, qint32 active)
{
    const bool rangesChanged = rangesDiffer(presets);
    m_presets = presets;
    m_presetCount = m_presets.size();
    // The calibration manager sizes its list anew; with the same ranges its
    // data still hold and are kept.
    if (rangesChanged)
        emit signalRestoredScanPresets();
    setActivePreset(active, true);
}

void DataScanManager::switchActivePreset(qint32 step)
{
    if (isCalibrating())
        return;
    if (m_presets.isEmpty()) {
        warning(tag(), QStringLiteral(">> no scan presets loaded => nothing to switch to"));
        return;
    }
    const qint32 direction = (step > 0) - (step < 0);
    qint32 next = (m_activePreset + direction) % m_presetCount;
    if (next < 0)
        next += m_presetCount;
    m_activePreset = qBound(0, next, m_presetCount - 1);
    loadActivePresetRanges();
    reset(true);
    emit signalActiveScanPresetUpdated();
    restartIdleSweep();
}

void DataScanManager::setPowerIndex(qint32 index, bool clear)
{
    m_powerIndex = qBound(kPowerLow, index, kPowerHigh);
    m_warnedShortCalibration = false;
    reset(clear);
    emit signalActiveScanPresetUpdated();
    restartIdleSweep();
}

quint16 DataScanManager::powerCode() const
{
    return quint16(m_powerCodes.value(m_powerIndex, kPowerCodes.at(kPowerLow)));
}

bool DataScanManager::canUseCalib() const
{
    const auto has = [this](int channel) {
        const CAL::CalibData *calib = calibrationFor(m_activePreset, channel);
        return calib && calib->hasData();
    };
    return has(EScanChannel::S21) && has(EScanChannel::S12);
}

void DataScanManager::setUseCalib(bool use)
{
    m_useCalibChosen = use;
    m_useCalib = use && canUseCalib() && !isCalibrating();
    emit signalUseCalibUpdated();
}

// The calibrated lists are only written while references exist and no
// calibration runs: shown any longer, they would freeze on old values.
void DataScanManager::refreshUseCalib()
{
    const bool calibrating = isCalibrating();
    const bool use = m_useCalibChosen && !calibrating && canUseCalib();
    if (use == m_useCalib)
        return;
    m_useCalib = use;
    if (use)
        info(tag(), QStringLiteral(">> calibration data loaded => calibrated values shown, as chosen"));
    else if (calibrating)
        info(tag(), QStringLiteral(">> calibrating => raw values shown until it ends"));
    else
        warning(tag(), QStringLiteral(">> calibration data are gone => raw values shown"));
    emit signalUseCalibUpdated();
}

void DataScanManager::setAttenuation(qint8 channel, double value)
{
    if (channel == EScanChannel::S21)
        m_rf.s21Att = value;
    else if (channel == EScanChannel::S12)
        m_rf.s12Att = value;
    emit signalRFDataAttUpdated();
}

const CAL::CalibData *DataScanManager::calibrationFor(qint32 preset, int channel) const
{
    if (!m_calibrationSource || m_presets.isEmpty())
        return nullptr;
    return m_calibrationSource->calibrationFor(preset, channel, m_powerIndex);
}

bool DataScanManager::isCalibrating() const
{
    return m_calibrationSource && m_calibrationSource->isCalibrating();
}

// ---- device start-up and scan range ------------------------------------------

void DataScanManager::slotPostDeviceStartup()
{
    if (!DeviceManager::instance().deviceInfo().isMainApp())
        return;
    CommandQueue &queue = CommandQueue::instance();
    queue.enqueue(
        EDeviceCommands::DA_SET_SAMPLE_SIZE,
        [this](const TCommandHeader &header) {
            DeviceManager::instance().sendRequest(static_cast<EDeviceCommands>(header.command),
                                                  ScanPayloads::sampleSize(m_rf.sampleSize));
        },
        0, false);
    queue.enqueue(
        EDeviceCommands::DA_SET_GAIN_VALUE,
        [this](const TCommandHeader &header) {
            DeviceManager::instance().sendRequest(static_cast<EDeviceCommands>(header.command),
                                                  ScanPayloads::gain(m_rf.gain));
        },
        0, false);
    emit signalFinishedDeviceStartup();
}

void DataScanManager::slotGotDeviceParams(ZData::EDeviceOptions option)
{
    if (option != EDeviceOptions::SCAN_RANGE) {
        debug(tag(), QStringLiteral(">> ignored option: ") + optionText(option));
        return;
    }
    slotProcessScanRange();
}

void DataScanManager::slotProcessScanRange()
{
    const DeviceInfo &device = DeviceManager::instance().deviceInfo();
    const ZCore::TFrequency low(double(device.scanRangeLow));
    const ZCore::TFrequency high(double(device.scanRangeHigh));
    for (auto &range : m_ranges)
        range->setLimits(low, high);
    emit signalProcessedScanRange();
}

// ---- data access --------------------------------------------------------------

DS::RangeSliced &DataScanManager::channelRange(int channel)
{
    return *m_ranges[size_t(channelIndex(channel))];
}

qint32 DataScanManager::channelPointCount(int channel) const
{
    return qint32(m_ranges[size_t(channelIndex(channel))]->points());
}

const QVector<TScanPoint> &DataScanManager::processedPoints(int channel) const
{
    const size_t c = size_t(channelIndex(channel));
    return m_useCalib ? m_calibratedPoints[c] : m_rawPoints[c];
}

const QVector<TScanPoint> &DataScanManager::rawPoints(int channel) const
{
    return m_rawPoints[size_t(channelIndex(channel))];
}

const QVector<TScanPoint> &DataScanManager::calibratedPoints(int channel) const
{
    return m_calibratedPoints[size_t(channelIndex(channel))];
}

TScanPoint DataScanManager::pointAt(int channel, quint32 index) const
{
    const QVector<TScanPoint> &points = processedPoints(channel);
    const qint64 last = qMin<qint64>(channelPointCount(channel), points.size()) - 1;
    return points.value(int(qBound<qint64>(0, qint64(index), qMax<qint64>(0, last))));
}

void DataScanManager::copyPoints(int channel, qint32 offset, quint32 count, QVector<TScanPoint> &output,
                                 bool processed) const
{
    if (count == 0 || count > quint32(channelPointCount(channel)))
        return;
    const QVector<TScanPoint> &points = processed ? processedPoints(channel) : rawPoints(channel);
    // The window is kept inside the list: an offset is clamped like any
    // other point index.
    const int first = qBound(0, int(offset), points.size() - int(count));
    output = points.mid(first, int(count));
}

const TScanPreset &DataScanManager::presetAt(qint32 index) const
{
    static const TScanPreset none;
    if (m_presets.isEmpty())
        return none;
    return m_presets.at(qBound(0, index, m_presets.size() - 1));
}

bool DataScanManager::channelReceived(int channel) const
{
    return m_ranges[size_t(channelIndex(channel))]->received();
}

} // namespace ZData
