#include "data/calibration/calibdata.h"
#include "data/calibration/calibrationmanager.h"

#include "core/settingsmanager.h"
#include "data/device/commandqueue.h"
#include "data/device/devicemanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "lebytes.h"
#include "logcapture.h"
#include "recordingdialogs.h"
#include "simulator.h"
#include "tempappdir.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <limits>
#include <memory>

using ZData::CalibrationManager;
using ZData::DataScanManager;
using ZData::DeviceManager;
using ZData::DM::SerialPort;
using TestSupport::LeBytes::littleEndianDouble;
using TestSupport::LeBytes::littleEndianInt32;
using TestSupport::LeBytes::littleEndianString;

namespace {

constexpr int kDeviceTimeoutMs = 20000;
const QString kUnitDeviceId = QStringLiteral("11-22-33");

CalibrationManager &calib() { return CalibrationManager::instance(); }
DataScanManager &scan() { return DataScanManager::instance(); }

// A calibration file built by hand from the layout: each record its range,
// then (value, 0) pairs, value v of an entry being (entry + 1) / (v + 2) so
// that every value differs.
QByteArray handFile(const QString &id, const QList<ZData::TScanPreset> &presets, qint32 count)
{
    QByteArray bytes = littleEndianString(id) + littleEndianInt32(count);
    for (const auto &preset : presets) {
        for (int entry = 0; entry < ZData::CAL::CalibPreset::kEntries; ++entry) {
            const auto &range = preset.channel(entry % 2);
            bytes += littleEndianDouble(range.start.hz()) + littleEndianDouble(range.stop.hz()) + littleEndianInt32(qint32(range.points));
            for (quint32 v = 0; v < range.points; ++v)
                bytes += littleEndianDouble(double(float(entry + 1) / float(v + 2))) + littleEndianDouble(0.0);
        }
    }
    return bytes;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

enum class ERecalibration : quint8 { Declined, ZeroReference, Unplugged };

Q_DECLARE_METATYPE(std::function<void(QByteArray &)>)
Q_DECLARE_METATYPE(ERecalibration)

class TestCalibrationManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void loadsAndWritesFileByteForByte();
    void rejectsFile_data();
    void rejectsFile();
    void recalibrationKeepsFile_data();
    void recalibrationKeepsFile();

private:
    // Loads a hand-built file of the unit device and writes it to the
    // device's own path, so that the table names it.
    QByteArray installGoodFile();
    bool connectDevice(QSignalSpy *startupOutcome = nullptr);
    void disconnectDevice();
    bool waitForFullSweeps(int sweeps);

    // Destroyed from the last: the simulator before the folders it uses.
    QTemporaryDir m_linkDir;
    std::unique_ptr<TestSupport::TempAppDir> m_appDir;
    std::unique_ptr<TestSupport::RecordingDialogs> m_dialogs;
    std::unique_ptr<MeroSim::Simulator> m_sim;
};

void TestCalibrationManager::initTestCase()
{
    qRegisterMetaType<ZData::EScanChannel>("ZData::EScanChannel");
    m_appDir = std::make_unique<TestSupport::TempAppDir>();
    m_dialogs = std::make_unique<TestSupport::RecordingDialogs>();
    QVERIFY(ZCore::SettingsManager::init());
    QVERIFY(ZData::DeviceMessageManager::init());
    QVERIFY(SerialPort::init());
    QVERIFY(DeviceManager::init());
    // The start-up order: the calibration manager first, so that the scan
    // manager's presets reach it.
    QVERIFY(calib().init());
    QVERIFY(scan().init());
    scan().setActivePreset(0, false);
    QVERIFY(scan().presetCount() > 1);
}

void TestCalibrationManager::init()
{
    QDir(CalibrationManager::calibrationDirPath()).removeRecursively();
    QVERIFY(calib().init());
    calib().removeCalibration(false);
    m_dialogs->clear();
}

void TestCalibrationManager::cleanup()
{
    if (m_sim)
        m_sim->clearFaults();
    disconnectDevice();
    DeviceManager::instance().setDeviceInfo(ZData::DeviceInfo());
}

QByteArray TestCalibrationManager::installGoodFile()
{
    ZData::DeviceInfo info;
    info.id = kUnitDeviceId;
    info.deviceState = quint8(ZData::EDeviceStates::MAINAPP);
    DeviceManager::instance().setDeviceInfo(info);
    const QByteArray good = handFile(kUnitDeviceId, scan().presets(), scan().presetCount());
    const QString source = m_appDir->filePath(QStringLiteral("good.cbin"));
    if (!writeBytes(source, good))
        return QByteArray();
    calib().readCalibrationFile(source);
    QDir().mkpath(CalibrationManager::deviceDirPath(kUnitDeviceId));
    if (!calib().writeCalibrationFile(CalibrationManager::calibrationFilePath(kUnitDeviceId)))
        return QByteArray();
    return good;
}

bool TestCalibrationManager::connectDevice(QSignalSpy *startupOutcome)
{
    if (!m_sim) {
        MeroSim::Options options;
        options.linkPath = m_linkDir.filePath(QStringLiteral("ttyMERO"));
        options.quiet = true;
        options.timing = MeroSim::Timing::Instant;
        options.deviceId = {{11u, 22u, 33u}}; // the unit device
        m_sim = std::make_unique<MeroSim::Simulator>(options);
        if (!m_sim->start())
            return false;
    }
    QSignalSpy finishedStartup(&scan(), &DataScanManager::signalFinishedDeviceStartup);
    if (!SerialPort::instance().openPort(m_sim->linkPath()))
        return false;
    if (!finishedStartup.wait(kDeviceTimeoutMs) && finishedStartup.isEmpty())
        return false;
    return !startupOutcome || startupOutcome->count() == 1;
}

void TestCalibrationManager::disconnectDevice()
{
    SerialPort::instance().close(true);
    ZData::DM::CommandQueue::instance().clearQueue();
    ZData::DeviceMessageManager::instance().reset();
}

bool TestCalibrationManager::waitForFullSweeps(int sweeps)
{
    QSignalSpy ends(&scan(), &DataScanManager::signalActiveScanPresetReachedEnd);
    return QTest::qWaitFor([&] { return ends.count() >= sweeps; }, kDeviceTimeoutMs);
}

void TestCalibrationManager::loadsAndWritesFileByteForByte()
{
    const QByteArray good = installGoodFile();
    QVERIFY(!good.isEmpty());
    QVERIFY(calib().allCalibrated());
    const QString path = CalibrationManager::calibrationFilePath(kUnitDeviceId);
    QCOMPARE(path, CalibrationManager::calibrationDirPath() + QStringLiteral("/11-22-33/main.cbin"));
    QCOMPARE(readBytes(path), good);
    QCOMPARE(QSettings(CalibrationManager::calibrationTablePath(), QSettings::IniFormat).value(kUnitDeviceId).toString(), path);
    // Values come back into 32-bit floats exactly; a preset out of range is clamped, not read past the list.
    QCOMPARE(calib().calibrationFor(1, 1, 1)->values.at(3).real(), 4.0f / 5.0f);
    QCOMPARE(calib().calibrationFor(scan().presetCount() + 4, 0, 0), &calib().calibrationList().last().entry(0, 0));
    // A failed write keeps the table and the data.
    const QString blocked = m_appDir->filePath(QStringLiteral("blocked"));
    QVERIFY(QDir().mkpath(blocked));
    QVERIFY(!calib().writeCalibrationFile(blocked));
    QCOMPARE(calib().tableEntry(kUnitDeviceId), path);
    QVERIFY(calib().allCalibrated());
}

void TestCalibrationManager::rejectsFile_data()
{
    using Mutation = std::function<void(QByteArray &)>;
    QTest::addColumn<Mutation>("mutate");
    QTest::addColumn<QString>("logged");
    const int countOffset = 4 + 2 * kUnitDeviceId.size();
    QTest::newRow("another device") << Mutation([countOffset](QByteArray &bytes) { bytes[countOffset - 2] = '4'; }) << QString();
    QTest::newRow("fewer presets") << Mutation([countOffset](QByteArray &bytes) {
        bytes.replace(countOffset, 4, littleEndianInt32(scan().presetCount() - 1));
    }) << QString();
    QTest::newRow("cut in half") << Mutation([](QByteArray &bytes) { bytes.truncate(bytes.size() / 2); }) << QString();
    QTest::newRow("huge id length") << Mutation([](QByteArray &bytes) { bytes.replace(0, 4, littleEndianInt32(0x7FFFFFF0)); }) << QString();
    // The first record's range: start, stop, points; then its values. The
    // last value of the file is S12's at high power in the last preset. A
    // range that no longer matches its preset is the preset editor's case.
    QTest::newRow("huge point count") << Mutation([countOffset](QByteArray &bytes) {
        bytes.replace(countOffset + 20, 4, littleEndianInt32(std::numeric_limits<qint32>::max()));
    }) << QStringLiteral("points is above the limit");
    QTest::newRow("reference not a number") << Mutation([countOffset](QByteArray &bytes) {
        bytes.replace(countOffset + 40, 8, littleEndianDouble(std::numeric_limits<double>::quiet_NaN()));
    }) << QStringLiteral("value 1 is not a finite number");
    const ZData::TScanPreset &last = scan().presets().last();
    QTest::newRow("zero reference") << Mutation([](QByteArray &bytes) { bytes.replace(bytes.size() - 16, 8, littleEndianDouble(0.0)); })
                                    << QStringLiteral("zero reference in preset %1 \"%2\", channel S12, high power, point %3 of %3")
                                           .arg(scan().presetCount()).arg(last.name).arg(last.channel(1).points);
}

// Every rejection drops the data in memory and forgets the file in the table.
void TestCalibrationManager::rejectsFile()
{
    QFETCH(std::function<void(QByteArray &)>, mutate);
    QFETCH(QString, logged);
    QByteArray bytes = installGoodFile();
    QVERIFY(!bytes.isEmpty());
    const QString path = CalibrationManager::calibrationFilePath(kUnitDeviceId);
    mutate(bytes);
    QVERIFY(writeBytes(path, bytes));

    QSignalSpy failed(&calib(), &CalibrationManager::signalFailedReadCalibration);
    TestSupport::LogCapture log;
    calib().readCalibrationFile(path);
    QCOMPARE(failed.count(), 1);
    QVERIFY(log.contains(logged));
    QCOMPARE(calib().tableEntry(kUnitDeviceId), QString());
    QVERIFY(!calib().calibrationFor(0, 0, 0));
}

void TestCalibrationManager::recalibrationKeepsFile_data()
{
    QTest::addColumn<ERecalibration>("outcome");
    QTest::newRow("declined") << ERecalibration::Declined;
    // Every reply cut short: the values it lacks would be zero references.
    QTest::newRow("zero reference") << ERecalibration::ZeroReference;
    QTest::newRow("unplugged") << ERecalibration::Unplugged;
}

// A declined, failed or interrupted recalibration must leave the earlier
// calibration as it was, and the sweep on the user's preset.
void TestCalibrationManager::recalibrationKeepsFile()
{
    QFETCH(ERecalibration, outcome);
    const QString &id = kUnitDeviceId;
    const QByteArray earlier = handFile(id, scan().presets(), scan().presetCount());
    const QString path = CalibrationManager::calibrationFilePath(id);
    QVERIFY(QDir().mkpath(CalibrationManager::deviceDirPath(id)));
    QVERIFY(writeBytes(path, earlier));
    QSettings(CalibrationManager::calibrationTablePath(), QSettings::IniFormat).setValue(id, path);
    QVERIFY(calib().init());
    QSignalSpy loaded(&calib(), &CalibrationManager::signalFinishedCalibration);
    QVERIFY(connectDevice(&loaded));
    QVERIFY(waitForFullSweeps(1));
    scan().setActivePreset(1, true);

    m_dialogs->setQuestionAnswer(outcome != ERecalibration::Declined);
    if (outcome == ERecalibration::ZeroReference)
        m_sim->addFault(MeroSim::FaultRule::everyNth(MeroSim::FaultKind::ShortPayload, 1));
    QSignalSpy progress(&calib(), &CalibrationManager::signalReportCalibProcess);
    QSignalSpy reloaded(&calib(), &CalibrationManager::signalFinishedCalibration);
    TestSupport::LogCapture log;
    calib().startCalibration();
    QCOMPARE(m_dialogs->count(ZCore::UserDialogs::EKind::Question), 1);
    if (outcome == ERecalibration::ZeroReference)
        QVERIFY(reloaded.wait(kDeviceTimeoutMs) || reloaded.count() == 1);
    if (outcome == ERecalibration::Unplugged) {
        QVERIFY(progress.wait(kDeviceTimeoutMs) || !progress.isEmpty());
        m_sim->unplug(-1);
        QTRY_VERIFY_WITH_TIMEOUT(!SerialPort::instance().isOpen(), kDeviceTimeoutMs);
        QVERIFY(!calib().isCalibrating());
        // Back again: the earlier file loads, the sweep runs with no trace of
        // the old procedure.
        QVERIFY(m_sim->plugIn());
        progress.clear();
        QVERIFY(connectDevice(&reloaded));
        QVERIFY(waitForFullSweeps(3));
        QCOMPARE(progress.count() + reloaded.count(), 1);
    }
    QCOMPARE(log.contains(qtTrId("dw_err_calib_zero_reference") + QStringLiteral("preset 1 ")),
             outcome == ERecalibration::ZeroReference);
    QVERIFY(!calib().isCalibrating());
    QVERIFY(!scan().isPaused());
    QCOMPARE(scan().activePreset(), 1);
    QCOMPARE(calib().calibrationFor(0, 0, 0)->values.at(0).real(), 0.5f);
    QCOMPARE(readBytes(path), earlier);
    QCOMPARE(QDir(CalibrationManager::deviceDirPath(id)).entryList(QDir::Files | QDir::Hidden), QStringList{"main.cbin"});
}

QTEST_GUILESS_MAIN(TestCalibrationManager)
#include "tst_calibrationmanager.moc"
