#include "data/calibration/calibrationmanager.h"

#include "core/appenvironment.h"
#include "core/log.h"
#include "core/userdialogs.h"
#include "core/utilitymodules/path.h"
#include "data/device/commandqueue.h"
#include "data/device/devicemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "data/scan/rangesliced.h"

#include <QDataStream>
#include <QFile>
#include <QSaveFile>
#include <QSettings>
#include <QtEndian>

#include <algorithm>

namespace ZData {

using ZCore::Log::critical;
using ZCore::Log::info;
using ZCore::Log::warning;
namespace Path = ZCore::UtilityModules::Path;

namespace {

const char *const kTableDescKey = "desc";
const char *const kTableDescValue = "device_id = path of last used calib file";
const char *const kCalibDirDisplayName = "CALIB_DIR";
const char *const kDeviceDirDisplayName = "CALIB_%1";
const char *const kReadFunction = "readCalibrationFile";
constexpr quint32 kNullStringLength = 0xFFFFFFFFu;
constexpr int kPercentScale = 100;
constexpr int kPowerLevels = CAL::CalibPreset::kPowerLevels;

QString pathOf(const QString &dir, const QString &name)
{
    return QStringLiteral("%1/%2").arg(dir, name);
}

QString translated(const char *id)
{
    return QStringLiteral(">> ") + qtTrId(id);
}

// Calibration files are little-endian and keep every float as a double.
void setUpStream(QDataStream &stream)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    stream.setFloatingPointPrecision(QDataStream::DoublePrecision);
}

DataScanManager &scanManager()
{
    return DataScanManager::instance();
}

QString currentDeviceId()
{
    return DeviceManager::instance().deviceInfo().id;
}

} // namespace

QString CalibrationManager::tag()
{
    static const QString tagText = QStringLiteral("CalibrationManager");
    return tagText;
}

bool CalibrationManager::init()
{
    ZCore::Log::traceDebug(tag(), QStringLiteral("ZData::CalibrationManager::init"));
    makeConnections();

    m_calibDir = calibrationDirPath();
    m_tablePath = calibrationTablePath();
    m_deviceDir.clear();
    if (!initDirs() || !initFiles())
        return false;

    m_table = std::make_unique<QSettings>(m_tablePath, QSettings::IniFormat);
    // The scan manager may have read its presets before (a repeated init).
    if (m_calibList.size() != scanManager().presetCount())
        slotRestoredScanPresets();
    return true;
}

// The scan manager is initialised after this manager, so both directions of
// the wiring are made here; unique connections keep a repeated init from
// doubling them.
void CalibrationManager::makeConnections()
{
    DataScanManager &scan = scanManager();
    scan.setCalibrationSource(this);
    connect(&scan, &DataScanManager::signalFinishedDeviceStartup, this, &CalibrationManager::slotPostDeviceStartup,
            Qt::UniqueConnection);
    connect(&scan, &DataScanManager::signalRestoredScanPresets, this, &CalibrationManager::slotRestoredScanPresets,
            Qt::UniqueConnection);
    connect(this, &CalibrationManager::signalFailedReadCalibration, &scan, &DataScanManager::slotFailedReadCalibration,
            Qt::UniqueConnection);
    connect(this, &CalibrationManager::signalFinishedCalibration, &scan, &DataScanManager::slotFinishedCalibration,
            Qt::UniqueConnection);
    connect(this, &CalibrationManager::signalRemovedCalibration, &scan, &DataScanManager::slotRemovedCalibration,
            Qt::UniqueConnection);
    connect(&DM::SerialPort::instance(), &DM::SerialPort::signalClosing, this,
            &CalibrationManager::slotPortClosing, Qt::UniqueConnection);
}

bool CalibrationManager::initDirs()
{
    ZCore::Log::traceDebug(tag(), QStringLiteral("ZData::CalibrationManager::initDirs"));
    if (Path::createDir(m_calibDir, QLatin1String(kCalibDirDisplayName)))
        return true;
    critical(tag(), translated("dw_err_calib_cant_create_dirs") + m_calibDir);
    return false;
}

bool CalibrationManager::initFiles()
{
    ZCore::Log::traceDebug(tag(), QStringLiteral("ZData::CalibrationManager::initFiles"));
    if (Path::fileExists(m_tablePath) || createTable())
        return true;
    critical(tag(), translated("dw_err_calib_cant_create_table_file") + m_tablePath);
    return false;
}

bool CalibrationManager::createTable()
{
    auto table = std::make_unique<QSettings>(m_tablePath, QSettings::IniFormat);
    if (table->isWritable()) {
        warning(tag(), QStringLiteral(">> 'calib table' doesn't exist yet => creating it now.."));
        table->setValue(QLatin1String(kTableDescKey), QLatin1String(kTableDescValue));
        table->sync();
        if (table->status() == QSettings::NoError)
            return true;
    }
    critical(tag(), translated("dw_err_calib_cant_create_calib_table") + m_tablePath);
    return false;
}

QString CalibrationManager::calibrationDirPath()
{
    return pathOf(ZCore::AppEnvironment::appDir(), QLatin1String(kCalibDirName));
}

QString CalibrationManager::calibrationTablePath()
{
    return pathOf(calibrationDirPath(), QLatin1String(kTableFileName));
}

QString CalibrationManager::deviceDirPath(const QString &deviceId)
{
    return pathOf(calibrationDirPath(), deviceId);
}

QString CalibrationManager::calibrationFilePath(const QString &deviceId)
{
    return QStringLiteral("%1/%2.%3").arg(deviceDirPath(deviceId), QLatin1String(kFileBaseName),
                                          QLatin1String(kFileSuffix));
}

QString CalibrationManager::tableEntry(const QString &deviceId) const
{
    if (!m_table || deviceId.isEmpty())
        return QString();
    return m_table->value(deviceId).toString();
}

void CalibrationManager::setTableEntry(const QString &deviceId, const QString &path)
{
    if (!m_table || deviceId.isEmpty())
        return;
    m_table->setValue(deviceId, path);
    // Written at once: the table must name the right file even if the
    // application does not get to close normally.
    m_table->sync();
    if (m_table->status() != QSettings::NoError)
        warning(tag(), QStringLiteral(">> failed to write the calibration table at: ") + m_tablePath);
}

// ---------------------------------------------------------------- loading

void CalibrationManager::slotRestoredScanPresets()
{
    m_calibList.clear();
    const qint32 count = std::max(scanManager().presetCount(), 0);
    m_calibList.reserve(count);
    for (qint32 i = 0; i < count; ++i)
        m_calibList.append(CAL::CalibPreset());
}

void CalibrationManager::slotPostDeviceStartup()
{
    removeCalibration(false);
    const DeviceInfo &device = DeviceManager::instance().deviceInfo();
    if (!device.isMainApp())
        return;

    prepareDeviceDir(device.id);
    readCalibrationFile(tableEntry(device.id));
}

void CalibrationManager::prepareDeviceDir(const QString &deviceId)
{
    if (!Path::dirExists(m_calibDir)) {
        critical(tag(), translated("dw_err_calib_no_dir") + m_calibDir);
        m_deviceDir.clear();
        return;
    }
    m_deviceDir = deviceDirPath(deviceId);
    if (!Path::createDir(m_deviceDir, QString::fromLatin1(kDeviceDirDisplayName).arg(deviceId)))
        critical(tag(), translated("dw_err_calib_cant_create_device_dir") + m_deviceDir);
}

void CalibrationManager::readCalibrationFile(const QString &path)
{
    const QString deviceId = currentDeviceId();
    if (path.isEmpty()) {
        warning(tag(), QStringLiteral(">> last used calibration for this device is not set"));
        setTableEntry(deviceId, QString());
        emit signalFailedReadCalibration();
        return;
    }
    if (!Path::fileExists(path)) {
        critical(tag(), translated("dw_err_last_calib_lost"));
        setTableEntry(deviceId, QString());
        emit signalFailedReadCalibration();
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        // Perhaps only locked or unreadable for now: the entry stays.
        critical(tag(), translated("dw_err_last_calib_cant_open") + path);
        emit signalFailedReadCalibration();
        return;
    }

    info(tag(), QStringLiteral(">> loading calibration data from: ") + path);
    QDataStream stream(&file);
    setUpStream(stream);

    QString fileId;
    if (!readId(stream, fileId)) {
        rejectCalibrationFile(deviceId);
        return;
    }
    if (fileId != deviceId) {
        critical(tag(), QLatin1String(kReadFunction)
                            + QStringLiteral(">> tried to read calib preset of different device: ") + fileId);
        rejectCalibrationFile(deviceId);
        return;
    }

    qint32 count = 0;
    stream >> count;
    if (stream.status() != QDataStream::Ok) {
        critical(tag(), QLatin1String(kReadFunction) + QStringLiteral(">> calib presets count is missing"));
        rejectCalibrationFile(deviceId);
        return;
    }
    m_calibPresetCount = count;
    const DataScanManager &scan = scanManager();
    if (count != scan.presetCount()) {
        critical(tag(), QLatin1String(kReadFunction)
                            + QStringLiteral(">> calib presets count isn't equal to current scan presets count: ")
                            + QString::number(count));
        rejectCalibrationFile(deviceId);
        return;
    }

    if (m_calibList.size() != count)
        slotRestoredScanPresets();
    for (qint32 i = 0; i < count; ++i) {
        if (!m_calibList[i].deserialize(stream, scan.presetAt(i))) {
            rejectCalibrationFile(deviceId);
            return;
        }
        const QString where = unusableReference(i);
        if (!where.isEmpty()) {
            critical(tag(), QLatin1String(kReadFunction) + QStringLiteral(">> zero reference in ") + where);
            rejectCalibrationFile(deviceId);
            return;
        }
    }
    if (!stream.atEnd())
        warning(tag(), QStringLiteral(">> %1 bytes after the last calibration record are ignored")
                           .arg(file.bytesAvailable()));
    file.close();
    emit signalFinishedCalibration();
}

// The data-stream string form, read by hand: the length comes from the file
// and is checked before anything is allocated for it.
bool CalibrationManager::readId(QDataStream &stream, QString &id) const
{
    quint32 bytes = 0;
    stream >> bytes;
    if (stream.status() != QDataStream::Ok) {
        critical(tag(), QLatin1String(kReadFunction) + QStringLiteral(">> calibration file is empty"));
        return false;
    }
    if (bytes == kNullStringLength) {
        id = QString();
        return true;
    }
    if (bytes > kMaxIdBytes || bytes % sizeof(char16_t) != 0) {
        critical(tag(), QLatin1String(kReadFunction)
                            + QStringLiteral(">> device id of %1 bytes is not a device id").arg(bytes));
        return false;
    }
    QByteArray raw(int(bytes), '\0');
    if (stream.readRawData(raw.data(), raw.size()) != raw.size()) {
        critical(tag(), QLatin1String(kReadFunction) + QStringLiteral(">> calibration file ends inside the device id"));
        return false;
    }
    QVector<char16_t> units(raw.size() / int(sizeof(char16_t)));
    for (int i = 0; i < units.size(); ++i) {
        const uchar *unit = reinterpret_cast<const uchar *>(raw.constData()) + i * int(sizeof(char16_t));
        units[i] = stream.byteOrder() == QDataStream::LittleEndian ? qFromLittleEndian<quint16>(unit)
                                                                   : qFromBigEndian<quint16>(unit);
    }
    id = QString::fromUtf16(units.constData(), units.size());
    return true;
}

// A zero reference would turn every value measured at its point into
// infinity, a gap in the line where the device did measure.
QString CalibrationManager::unusableReference(int preset) const
{
    static const char *const kPowerNames[kPowerLevels] = {"low", "high"};
    const CAL::CalibPreset &references = m_calibList.at(preset);
    for (int power = 0; power < kPowerLevels; ++power) {
        for (int channel = 0; channel < kScanChannelCount; ++channel) {
            const CAL::CalibData &data = references.entry(channel, power);
            const int point = data.hasData() ? data.firstUnusableValue() : -1;
            if (point < 0)
                continue;
            // One pass over the pattern: a preset's name may hold "%1" itself.
            return QStringLiteral("preset %1 \"%2\", channel %3, %4 power, point %5 of %6")
                .arg(QString::number(preset + 1), scanManager().presetAt(preset).name,
                     TScanPreset::channelGroup(channel), QLatin1String(kPowerNames[power]),
                     QString::number(point + 1), QString::number(data.values.size()));
        }
    }
    return QString();
}

void CalibrationManager::rejectCalibrationFile(const QString &deviceId)
{
    removeCalibration(false);
    setTableEntry(deviceId, QString());
    emit signalFailedReadCalibration();
}

// ---------------------------------------------------------------- writing

bool CalibrationManager::writeCalibrationFile(const QString &path)
{
    // Written beside the old file and renamed over it only when complete:
    // a failure midway must not cost the last good calibration.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        critical(tag(), translated("dw_err_calib_cant_create_file") + path);
        return false;
    }
    info(tag(), QStringLiteral(">> saving calibration data to: ") + path);

    const QString deviceId = m_calibratingId.isEmpty() ? currentDeviceId() : m_calibratingId;
    const qint32 count = std::clamp(m_calibPresetCount, 0, int(m_calibList.size()));
    QDataStream stream(&file);
    setUpStream(stream);
    stream << deviceId << count;
    for (qint32 i = 0; i < count; ++i)
        m_calibList.at(i).serialize(stream);

    if (stream.status() != QDataStream::Ok || !file.commit()) {
        critical(tag(), translated("dw_err_calib_cant_create_file") + path);
        warning(tag(), QStringLiteral(">> ") + file.errorString());
        return false;
    }
    setTableEntry(deviceId, path);
    return true;
}

void CalibrationManager::removeCalibration(bool notify)
{
    // Whatever step was waiting belongs to a calibration that is over.
    dropStepConnections();
    for (CAL::CalibPreset &preset : m_calibList) {
        for (CAL::CalibData &data : preset.entries) {
            data.values.fill(CAL::TCalibValue(), int(data.range.points));
            data.valid = false;
        }
    }
    m_calibPresetCount = 0;
    m_isCalibrating = false;
    if (notify)
        emit signalRemovedCalibration();
}

// ---------------------------------------------------------------- look-up

const CAL::CalibData *CalibrationManager::calibrationFor(int preset, int channel, int powerIndex) const
{
    const int covered = std::min(int(m_calibPresetCount), int(m_calibList.size()));
    if (covered <= 0)
        return nullptr;
    return &m_calibList.at(std::clamp(preset, 0, covered - 1)).entry(channel, powerIndex);
}

const CAL::CalibData *CalibrationManager::calibrationFor(int preset, int channel) const
{
    return calibrationFor(preset, channel, scanManager().powerIndex());
}

bool CalibrationManager::allCalibrated() const
{
    return std::all_of(m_calibList.cbegin(), m_calibList.cend(), [](const CAL::CalibPreset &preset) {
        return std::all_of(preset.entries.cbegin(), preset.entries.cend(),
                           [](const CAL::CalibData &data) { return data.hasData(); });
    });
}

// ---------------------------------------------------------------- procedure

QString CalibrationManager::calibrationBlocker() const
{
    if (m_isCalibrating)
        return QStringLiteral(">> calibration is already running");
    if (scanManager().presetCount() <= 0)
        return QStringLiteral(">> no scan presets loaded, nothing to calibrate");
    if (!DM::SerialPort::instance().isOpen() || !DeviceManager::instance().deviceInfo().isMainApp())
        return QStringLiteral(">> no device ready to sweep, calibration not started");
    return QString();
}

bool CalibrationManager::canStartCalibration() const
{
    const QString blocker = calibrationBlocker();
    if (!blocker.isEmpty())
        warning(tag(), blocker);
    return blocker.isEmpty();
}

void CalibrationManager::startCalibration()
{
    if (!canStartCalibration())
        return;
    DataScanManager &scan = scanManager();
    scan.setScanPause(true, true);
    if (allCalibrated()) {
        const bool yes = ZCore::UserDialogs::question(
            nullptr, QStringLiteral("Confirm recalibration request"),
            QStringLiteral("Some calibration data is already loaded. Would you like to recalibrate this device?"));
        if (!yes) {
            info(tag(), QStringLiteral("<< recalibration declined"));
            scan.setScanPause(false, true);
            return;
        }
        removeCalibration(false);
    }

    m_calibPresetCount = scan.presetCount();
    if (m_calibList.size() != m_calibPresetCount)
        slotRestoredScanPresets();
    m_passes = std::max(scan.rfParameters().calibPasses, TRFParameters::kMinCalibPasses);
    m_progressTotal = m_passes * m_calibPresetCount * kPowerLevels;
    m_calibratingId = currentDeviceId();
    m_isCalibrating = true;
    scan.refreshUseCalib();
    m_remainingPasses = m_passes;
    info(tag(), QStringLiteral(">> calibration started: %1 presets, %2 passes").arg(m_calibPresetCount).arg(m_passes));
    emit signalStartedCalibration();
    m_savedPreset = scan.activePreset();
    m_savedPowerIndex = scan.powerIndex();
    emit signalInitiatedCalibration();

    scan.setActivePreset(0, true);
    stepWhenQueueEmpty(0);
}

// A step starts only on an empty queue, so that no request of the previous
// step is still waiting for its reply.
void CalibrationManager::stepWhenQueueEmpty(int powerIndex)
{
    DM::CommandQueue &queue = DM::CommandQueue::instance();
    if (queue.isEmpty()) {
        step(powerIndex);
        return;
    }
    m_pendingPowerIndex = powerIndex;
    disconnect(m_queueEmptyConnection);
    m_queueEmptyConnection =
        connect(&queue, &DM::CommandQueue::signalBecameEmpty, this, &CalibrationManager::runPendingStep);
}

void CalibrationManager::runPendingStep()
{
    disconnect(m_queueEmptyConnection);
    step(m_pendingPowerIndex);
}

void CalibrationManager::step(int powerIndex)
{
    DataScanManager &scan = scanManager();
    if (powerIndex >= kPowerLevels) {
        const qint32 next = scan.activePreset() + 1;
        if (next >= m_calibPresetCount) {
            finishCalibration();
            return;
        }
        scan.setActivePreset(next, false);
        powerIndex = 0;
    }
    m_remainingPasses = m_passes;
    scan.setPowerIndex(powerIndex, false);
    watchRangeEnd();
    emit signalStartedCalibration();
    scan.setScanPause(false, false);
}

void CalibrationManager::watchRangeEnd()
{
    disconnect(m_rangeEndConnection);
    m_rangeEndConnection = connect(&scanManager().channelRange(EScanChannel::S12), &DS::RangeSliced::signalReachedEnd,
                                   this, &CalibrationManager::slotScanRangeReachedEnd);
}

void CalibrationManager::slotScanRangeReachedEnd()
{
    // The last S12 slice is about to be requested: let it complete, then stop.
    scanManager().setScanPause(true, true);
    disconnect(m_rangeEndConnection);
    disconnect(m_processedConnection);
    m_processedConnection = connect(&scanManager(), &DataScanManager::signalProcessedScanData, this,
                                    &CalibrationManager::slotProcessedScanData);
}

void CalibrationManager::slotProcessedScanData(EScanChannel channel)
{
    if (channel != EScanChannel::S12)
        return;
    disconnect(m_processedConnection);

    const DataScanManager &scan = scanManager();
    const qint32 preset = scan.activePreset();
    const qint32 powerIndex = scan.powerIndex();
    if (preset < 0 || preset >= m_calibList.size()) {
        // The presets were read again meanwhile: the references would no
        // longer match them. The device is still there, so the sweep goes on.
        abandonCalibration(QStringLiteral(">> calibration abandoned: preset %1 has no calibration entry").arg(preset));
        scanManager().setScanPause(false, true);
        return;
    }
    accumulatePass(preset, powerIndex);
    --m_remainingPasses;
    if (m_remainingPasses < 1) {
        const QString where = unusableReference(preset);
        if (!where.isEmpty()) {
            failCalibration(where);
            return;
        }
    }
    reportProgress(preset, powerIndex);

    if (m_remainingPasses < 1) {
        stepWhenQueueEmpty(powerIndex + 1);
        return;
    }
    watchRangeEnd();
    scanManager().setScanPause(false, false);
}

// The reference is the mean of the passes' raw values; the device delivers
// real values only.
void CalibrationManager::accumulatePass(int preset, int powerIndex)
{
    const DataScanManager &scan = scanManager();
    const TScanPreset &scanPreset = scan.presetAt(preset);
    const float passes = float(m_passes);
    for (int channel = 0; channel < kScanChannelCount; ++channel) {
        QVector<TScanPoint> points;
        scan.copyPoints(channel, 0, quint32(std::max(scan.channelPointCount(channel), 0)), points, false);

        CAL::CalibData &data = m_calibList[preset].entry(channel, powerIndex);
        if (m_remainingPasses == m_passes) {
            data.range = scanPreset.channel(channel);
            data.values.fill(CAL::TCalibValue(), int(data.range.points));
            data.valid = false;
        }
        // A channel preset below two points is swept with two: the entry keeps
        // only the values its range has.
        const int count = std::min(data.values.size(), points.size());
        for (int i = 0; i < count; ++i)
            data.values[i] = CAL::TCalibValue(data.values.at(i).real() + points.at(i).real / passes, 0.0f);
        data.valid = true;
    }
}

void CalibrationManager::reportProgress(int preset, int powerIndex)
{
    if (m_progressTotal <= 0)
        return;
    const int done = (powerIndex + kPowerLevels * preset) * m_passes + (m_passes - m_remainingPasses);
    emit signalReportCalibProcess(done * kPercentScale / m_progressTotal);
}

void CalibrationManager::finishCalibration()
{
    const QString deviceId = m_calibratingId;
    if (Path::createDir(deviceDirPath(deviceId), QString::fromLatin1(kDeviceDirDisplayName).arg(deviceId)))
        writeCalibrationFile(calibrationFilePath(deviceId));
    else
        critical(tag(), translated("dw_err_calib_cant_create_file") + calibrationFilePath(deviceId));
    restoreUserSelection();
    m_isCalibrating = false;
    m_calibratingId.clear();
    info(tag(), QStringLiteral(">> calibration finished"));
    emit signalFinishedCalibration();
}

void CalibrationManager::restoreUserSelection()
{
    DataScanManager &scan = scanManager();
    scan.setActivePreset(m_savedPreset, false);
    scan.setPowerIndex(m_savedPowerIndex, false);
}

void CalibrationManager::slotPortClosing()
{
    abandonCalibration(QStringLiteral(">> calibration abandoned: the device left the link"));
}

// Nothing is written, the partial references are dropped, and the user's
// preset and power come back for the next start-up, which loads the last
// good file again.
void CalibrationManager::abandonCalibration(const QString &reason)
{
    if (!m_isCalibrating)
        return;
    warning(tag(), reason);
    removeCalibration(false);
    m_calibratingId.clear();
    restoreUserSelection();
}

// Nothing has been written yet: the last good file is loaded again, so the
// device keeps the calibration it had and the sweep goes on with it.
void CalibrationManager::failCalibration(const QString &where)
{
    const QString deviceId = m_calibratingId;
    abandonCalibration(QStringLiteral(">> calibration abandoned: zero reference in ") + where);
    critical(tag(), translated("dw_err_calib_zero_reference") + where);
    readCalibrationFile(tableEntry(deviceId));
}

void CalibrationManager::dropStepConnections()
{
    disconnect(m_queueEmptyConnection);
    disconnect(m_rangeEndConnection);
    disconnect(m_processedConnection);
}

} // namespace ZData
