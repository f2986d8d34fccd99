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
#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>

using ZData::CalibrationManager;
using ZData::DataScanManager;
using ZData::DeviceInfo;
using ZData::DeviceManager;
using ZData::EScanChannel;
using ZData::TScanPreset;
using ZData::TScanRange;
using ZData::DM::CommandQueue;
using ZData::DM::SerialPort;
using TestSupport::LeBytes::littleEndianDouble;
using TestSupport::LeBytes::littleEndianInt32;
using TestSupport::LeBytes::littleEndianString;
using TestSupport::LeBytes::littleEndianUInt32;

namespace {

constexpr int kRecordHeaderBytes = 20;
constexpr int kValueBytes = 16;
constexpr int kEntriesPerPreset = 4;
constexpr int kDeviceTimeoutMs = 20000;
// The simulated device's first identifier word, changed to make another device.
constexpr quint32 kOtherDeviceWord = 7;
const QString kUnitDeviceId = QStringLiteral("11-22-33");

CalibrationManager &calib()
{
    return CalibrationManager::instance();
}

DataScanManager &scan()
{
    return DataScanManager::instance();
}

int recordBytes(const TScanRange &range)
{
    return kRecordHeaderBytes + kValueBytes * int(range.points);
}

int presetBytes(const TScanPreset &preset)
{
    return 2 * (recordBytes(preset.channel(0)) + recordBytes(preset.channel(1)));
}

int fileSize(const QString &id, const QList<TScanPreset> &presets)
{
    int size = 4 + 2 * id.size() + 4;
    for (const TScanPreset &preset : presets)
        size += presetBytes(preset);
    return size;
}

// A calibration file built by hand from the layout, value v of an entry
// being (entry + 1) / (v + 2) so that every value differs.
QByteArray handFile(const QString &id, const QList<TScanPreset> &presets, qint32 count)
{
    QByteArray bytes = littleEndianString(id) + littleEndianInt32(count);
    for (const TScanPreset &preset : presets) {
        for (int entry = 0; entry < kEntriesPerPreset; ++entry) {
            const TScanRange &range = preset.channel(entry % 2);
            bytes += littleEndianDouble(range.start.hz()) + littleEndianDouble(range.stop.hz())
                     + littleEndianInt32(qint32(range.points));
            for (quint32 v = 0; v < range.points; ++v)
                bytes += littleEndianDouble(double(float(entry + 1) / float(v + 2))) + littleEndianDouble(0.0);
        }
    }
    return bytes;
}

void patchInt32(QByteArray &bytes, int offset, qint32 value)
{
    qToLittleEndian(value, bytes.data() + offset);
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

double decibels(float linear)
{
    return 20.0 * std::log10(double(linear));
}

} // namespace

Q_DECLARE_METATYPE(std::function<void(QByteArray &)>)
Q_DECLARE_METATYPE(QtMsgType)

class TestCalibrationManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void initCreatesTable();
    void loadsAndWritesFileByteForByte();
    void rejectsFile_data();
    void rejectsFile();
    void missingCalibration_data();
    void missingCalibration();
    void unopenableFileKeepsEntry();
    void failedWriteKeepsTableAndData();
    void lookupClampsPreset();
    void noPresetsNothingToCalibrate();
    void startRefusedWithoutDevice();

    void calibratesThroughSimulator();
    void recalibrationAsksFirst_data();
    void recalibrationAsksFirst();
    void rejectedFileSweepsUncalibrated_data();
    void rejectedFileSweepsUncalibrated();
    void unplugMidCalibration();

private:
    void setUnitDevice();
    // Loads a hand-built file and writes it to the device's own path, so that
    // the table names it.
    QByteArray installGoodFile(const QString &id);
    bool connectDevice(QSignalSpy *startupOutcome = nullptr);
    void disconnectDevice();
    QString deviceId() const { return DeviceManager::instance().deviceInfo().id; }
    bool waitForFullSweeps(int sweeps);

    std::unique_ptr<TestSupport::TempAppDir> m_appDir;
    std::unique_ptr<TestSupport::RecordingDialogs> m_dialogs;
    std::unique_ptr<MeroSim::Simulator> m_sim;
    QTemporaryDir m_linkDir;
};

void TestCalibrationManager::initTestCase()
{
    qRegisterMetaType<EScanChannel>("ZData::EScanChannel");
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
    scan().activateStoredSelection();
    QVERIFY(scan().presetCount() > 1);
    QCOMPARE(calib().calibrationList().size(), scan().presetCount());
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
    disconnectDevice();
    DeviceManager::instance().setDeviceInfo(DeviceInfo());
}

void TestCalibrationManager::cleanupTestCase()
{
    m_sim.reset();
    m_dialogs.reset();
    m_appDir.reset();
}

void TestCalibrationManager::setUnitDevice()
{
    DeviceInfo info;
    info.id = kUnitDeviceId;
    info.deviceState = quint8(ZData::EDeviceStates::MAINAPP);
    DeviceManager::instance().setDeviceInfo(info);
}

QByteArray TestCalibrationManager::installGoodFile(const QString &id)
{
    const QByteArray good = handFile(id, scan().presets(), scan().presetCount());
    const QString source = m_appDir->filePath(QStringLiteral("good.cbin"));
    if (!writeBytes(source, good))
        return QByteArray();
    calib().readCalibrationFile(source);
    QDir().mkpath(CalibrationManager::deviceDirPath(id));
    if (!calib().writeCalibrationFile(CalibrationManager::calibrationFilePath(id)))
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
    CommandQueue::instance().clearQueue();
    ZData::DeviceMessageManager::instance().reset();
}

bool TestCalibrationManager::waitForFullSweeps(int sweeps)
{
    QSignalSpy ends(&scan(), &DataScanManager::signalActiveScanPresetReachedEnd);
    return QTest::qWaitFor([&] { return ends.count() >= sweeps; }, kDeviceTimeoutMs);
}

// ------------------------------------------------------------------- files

void TestCalibrationManager::initCreatesTable()
{
    const QString table = CalibrationManager::calibrationTablePath();
    QDir(CalibrationManager::calibrationDirPath()).removeRecursively();
    TestSupport::LogCapture log;
    QVERIFY(calib().init());
    QVERIFY(log.contains(QStringLiteral("CalibrationManager >> 'calib table' doesn't exist yet => creating it now..")));
    QVERIFY(log.contains(QStringLiteral("created dir [ CALIB_DIR ] at: ") + CalibrationManager::calibrationDirPath()));
    QSettings settings(table, QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("desc")).toString(), QStringLiteral("device_id = path of last used calib file"));

    log.clear();
    QVERIFY(calib().init());
    QVERIFY(!log.contains(QStringLiteral("creating it now")));
}

void TestCalibrationManager::loadsAndWritesFileByteForByte()
{
    setUnitDevice();
    QSignalSpy finished(&calib(), &CalibrationManager::signalFinishedCalibration);
    QSignalSpy failed(&calib(), &CalibrationManager::signalFailedReadCalibration);
    TestSupport::LogCapture log;

    const QByteArray good = installGoodFile(kUnitDeviceId);
    QVERIFY(!good.isEmpty());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(failed.count(), 0);
    QVERIFY(calib().allCalibrated());
    QCOMPARE(calib().calibrationPresetCount(), scan().presetCount());

    const QString path = CalibrationManager::calibrationFilePath(kUnitDeviceId);
    QCOMPARE(path, CalibrationManager::calibrationDirPath() + QStringLiteral("/11-22-33/main.cbin"));
    QCOMPARE(readBytes(path), good);
    QCOMPARE(good.size(), fileSize(kUnitDeviceId, scan().presets()));
    QCOMPARE(calib().tableEntry(kUnitDeviceId), path);
    QSettings table(CalibrationManager::calibrationTablePath(), QSettings::IniFormat);
    QCOMPARE(table.value(kUnitDeviceId).toString(), path);
    QVERIFY(log.contains(QStringLiteral("CalibrationManager >> saving calibration data to: ") + path));

    // Values come back into 32-bit floats exactly as they were taken.
    const ZData::CAL::CalibData *s12High = calib().calibrationFor(1, 1, 1);
    QVERIFY(s12High && s12High->hasData());
    QCOMPARE(s12High->range, TScanRange(scan().presetAt(1).channel(1)));
    QCOMPARE(s12High->values.at(3).real(), 4.0f / 5.0f);
}

void TestCalibrationManager::rejectsFile_data()
{
    using Mutation = std::function<void(QByteArray &)>;
    QTest::addColumn<Mutation>("mutate");
    QTest::addColumn<QString>("logged");

    const int header = 4 + 2 * kUnitDeviceId.size() + 4;
    QTest::newRow("another device") << Mutation([](QByteArray &bytes) {
        bytes.replace(0, 4 + 2 * kUnitDeviceId.size(), littleEndianString(QStringLiteral("11-22-34")));
    }) << QStringLiteral("readCalibrationFile>> tried to read calib preset of different device: 11-22-34");
    QTest::newRow("fewer presets") << Mutation([header](QByteArray &bytes) {
        patchInt32(bytes, header - 4, scan().presetCount() - 1);
    }) << QStringLiteral(">> calib presets count isn't equal to current scan presets count: %1")
              .arg(scan().presetCount() - 1);
    QTest::newRow("preset 1 S12 high range differs") << Mutation([header](QByteArray &bytes) {
        const int offset = header + presetBytes(scan().presetAt(0)) + recordBytes(scan().presetAt(1).channel(0)) * 2
                           + recordBytes(scan().presetAt(1).channel(1)) + 16;
        patchInt32(bytes, offset, qint32(scan().presetAt(1).channel(1).points) - 1);
    }) << QStringLiteral("CalibData >> range is different to the check one.");
    QTest::newRow("cut in half") << Mutation([](QByteArray &bytes) { bytes.truncate(bytes.size() / 2); })
                                 << QStringLiteral("CalibData >> calibration data ends before the record is complete.");
    QTest::newRow("empty file") << Mutation([](QByteArray &bytes) { bytes.clear(); })
                                << QStringLiteral("readCalibrationFile>> calibration file is empty");
    QTest::newRow("huge id length") << Mutation([](QByteArray &bytes) {
        bytes.replace(0, 4, littleEndianUInt32(0x7FFFFFF0u));
    }) << QStringLiteral("readCalibrationFile>> device id of 2147483632 bytes is not a device id");
    QTest::newRow("id cut short") << Mutation([](QByteArray &bytes) { bytes.truncate(9); })
                                  << QStringLiteral("readCalibrationFile>> calibration file ends inside the device id");
    QTest::newRow("huge point count") << Mutation([header](QByteArray &bytes) {
        patchInt32(bytes, header + 16, std::numeric_limits<qint32>::max());
    }) << QStringLiteral("CalibData >> range of 2147483647 points is above the limit of 1024.");
    QTest::newRow("value not a number") << Mutation([header](QByteArray &bytes) {
        bytes.replace(header + kRecordHeaderBytes, 8, littleEndianDouble(std::numeric_limits<double>::infinity()));
    }) << QStringLiteral("CalibData >> value 0 is not a finite number.");
}

// Every rejection drops the data in memory and forgets the file in the table.
void TestCalibrationManager::rejectsFile()
{
    QFETCH(std::function<void(QByteArray &)>, mutate);
    QFETCH(QString, logged);

    setUnitDevice();
    QByteArray bytes = installGoodFile(kUnitDeviceId);
    QVERIFY(!bytes.isEmpty());
    const QString path = CalibrationManager::calibrationFilePath(kUnitDeviceId);
    QCOMPARE(calib().tableEntry(kUnitDeviceId), path);
    mutate(bytes);
    QVERIFY(writeBytes(path, bytes));

    QSignalSpy finished(&calib(), &CalibrationManager::signalFinishedCalibration);
    QSignalSpy failed(&calib(), &CalibrationManager::signalFailedReadCalibration);
    TestSupport::LogCapture log;
    calib().readCalibrationFile(path);

    QCOMPARE(failed.count(), 1);
    QCOMPARE(finished.count(), 0);
    QVERIFY2(log.contains(logged), qPrintable(log.lines(QtCriticalMsg).join(QLatin1Char('\n'))));
    QCOMPARE(calib().tableEntry(kUnitDeviceId), QString());
    QSettings table(CalibrationManager::calibrationTablePath(), QSettings::IniFormat);
    QCOMPARE(table.value(kUnitDeviceId, QStringLiteral("unset")).toString(), QString());
    QCOMPARE(calib().calibrationPresetCount(), 0);
    QVERIFY(!calib().calibrationFor(0, 0, 0));
    QVERIFY(!calib().allCalibrated());
}

void TestCalibrationManager::missingCalibration_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QtMsgType>("type");
    QTest::addColumn<QString>("logged");

    QTest::newRow("not set") << QString() << QtWarningMsg
                             << QStringLiteral("CalibrationManager >> last used calibration for this device is not set");
    QTest::newRow("file gone") << QStringLiteral("gone/main.cbin") << QtCriticalMsg
                               << QStringLiteral("CalibrationManager >> dw_err_last_calib_lost");
}

void TestCalibrationManager::missingCalibration()
{
    QFETCH(QString, path);
    QFETCH(QtMsgType, type);
    QFETCH(QString, logged);

    setUnitDevice();
    QVERIFY(!installGoodFile(kUnitDeviceId).isEmpty());
    QSignalSpy failed(&calib(), &CalibrationManager::signalFailedReadCalibration);
    TestSupport::LogCapture log;
    calib().readCalibrationFile(path.isEmpty() ? path : m_appDir->filePath(path));
    QCOMPARE(failed.count(), 1);
    QVERIFY(log.lines(type).contains(logged));
    QCOMPARE(calib().tableEntry(kUnitDeviceId), QString());
}

void TestCalibrationManager::unopenableFileKeepsEntry()
{
    // A regular file that nobody, root included, may read.
    const QString unreadable = QStringLiteral("/proc/sys/vm/compact_memory");
    if (!QFileInfo(unreadable).isFile() || QFile(unreadable).open(QIODevice::ReadOnly))
        QSKIP("no unreadable regular file on this system");

    setUnitDevice();
    QVERIFY(!installGoodFile(kUnitDeviceId).isEmpty());
    const QString path = CalibrationManager::calibrationFilePath(kUnitDeviceId);
    QSignalSpy failed(&calib(), &CalibrationManager::signalFailedReadCalibration);
    TestSupport::LogCapture log;
    calib().readCalibrationFile(unreadable);
    QCOMPARE(failed.count(), 1);
    QVERIFY(log.contains(QStringLiteral("CalibrationManager >> dw_err_last_calib_cant_open") + unreadable));
    QCOMPARE(calib().tableEntry(kUnitDeviceId), path);
}

void TestCalibrationManager::failedWriteKeepsTableAndData()
{
    setUnitDevice();
    QVERIFY(!installGoodFile(kUnitDeviceId).isEmpty());
    const QString path = CalibrationManager::calibrationFilePath(kUnitDeviceId);
    const QString blocked = m_appDir->filePath(QStringLiteral("blocked"));
    QVERIFY(QDir().mkpath(blocked));

    TestSupport::LogCapture log;
    QVERIFY(!calib().writeCalibrationFile(blocked));
    QVERIFY(log.lines(QtCriticalMsg).contains(QStringLiteral("CalibrationManager >> dw_err_calib_cant_create_file") + blocked));
    QCOMPARE(calib().tableEntry(kUnitDeviceId), path);
    QVERIFY(calib().allCalibrated());
    QVERIFY(QFileInfo(blocked).isDir());
}

void TestCalibrationManager::lookupClampsPreset()
{
    setUnitDevice();
    QVERIFY(calib().calibrationFor(0, 0, 0) == nullptr);
    QVERIFY(!installGoodFile(kUnitDeviceId).isEmpty());
    const int last = scan().presetCount() - 1;
    const auto &list = calib().calibrationList();
    QCOMPARE(calib().calibrationFor(last + 4, 0, 0), &list.at(last).entry(0, 0));
    QCOMPARE(calib().calibrationFor(-2, 1, 1), &list.at(0).entry(1, 1));
    QCOMPARE(calib().calibrationFor(1, 5, -3), &list.at(1).entry(1, 0));

    QSignalSpy removed(&calib(), &CalibrationManager::signalRemovedCalibration);
    calib().removeCalibration(true);
    QCOMPARE(removed.count(), 1);
    QVERIFY(!calib().calibrationFor(0, 0, 0));
    QVERIFY(!list.at(0).entry(0, 0).hasData());
    // Zeros as many as the range has points, ready for the next calibration.
    QCOMPARE(list.at(0).entry(0, 0).values.size(), int(scan().presetAt(0).channel(0).points));
}

void TestCalibrationManager::noPresetsNothingToCalibrate()
{
    QSettings *user = ZCore::SettingsManager::userSettings();
    QVERIFY(user);
    const QList<TScanPreset> presets = scan().presets();
    user->remove(QStringLiteral("Range_Presets"));
    scan().restoreSettings();
    ZData::PresetSettings::writeScanPresets(*user, presets);

    QCOMPARE(scan().presetCount(), 0);
    QVERIFY(calib().calibrationList().isEmpty());
    QVERIFY(calib().allCalibrated());
    QVERIFY(!calib().calibrationFor(0, 0, 0));
    TestSupport::LogCapture log;
    QSignalSpy pause(&scan(), &DataScanManager::signalScanPause);
    calib().startCalibration();
    QVERIFY(log.contains(QStringLiteral("CalibrationManager >> no scan presets loaded, nothing to calibrate")));
    QVERIFY(!calib().isCalibrating());
    QCOMPARE(pause.count(), 0);

    scan().restoreSettings();
    QCOMPARE(scan().presets(), presets);
    QCOMPARE(calib().calibrationList().size(), presets.size());
}

void TestCalibrationManager::startRefusedWithoutDevice()
{
    setUnitDevice();
    TestSupport::LogCapture log;
    QSignalSpy started(&calib(), &CalibrationManager::signalStartedCalibration);
    calib().startCalibration();
    QCOMPARE(started.count(), 0);
    QVERIFY(!calib().isCalibrating());
    QVERIFY(log.contains(QStringLiteral(">> no device ready to sweep, calibration not started")));
}

// ------------------------------------------------------------ with device

void TestCalibrationManager::calibratesThroughSimulator()
{
    QSignalSpy failedRead(&calib(), &CalibrationManager::signalFailedReadCalibration);
    QVERIFY(connectDevice(&failedRead));
    QVERIFY(waitForFullSweeps(1));
    const QString id = deviceId();
    const int presetCount = scan().presetCount();

    // The user's choice, to come back after the calibration.
    scan().setActivePreset(presetCount - 1, true);
    scan().setPowerIndex(1, true);

    QSignalSpy progress(&calib(), &CalibrationManager::signalReportCalibProcess);
    QSignalSpy finished(&calib(), &CalibrationManager::signalFinishedCalibration);
    QList<QPair<int, int>> steps;
    connect(&calib(), &CalibrationManager::signalStartedCalibration, this,
            [&steps] { steps.append({scan().activePreset(), scan().powerIndex()}); });
    calib().startCalibration();
    QVERIFY(calib().isCalibrating());
    QVERIFY(finished.wait(kDeviceTimeoutMs) || finished.count() == 1);
    calib().disconnect(this);
    QCOMPARE(m_dialogs->boxes().size(), 0);

    // One sweep per preset and power, in order, each reporting its share.
    QList<QPair<int, int>> expectedSteps{{presetCount - 1, 1}};
    QList<int> expectedPercents;
    for (int preset = 0; preset < presetCount; ++preset) {
        for (int power = 0; power < 2; ++power) {
            expectedSteps.append({preset, power});
            expectedPercents.append((2 * preset + power + 1) * 100 / (2 * presetCount));
        }
    }
    QCOMPARE(steps, expectedSteps);
    QList<int> percents;
    for (const QList<QVariant> &report : progress)
        percents.append(report.at(0).toInt());
    QCOMPARE(percents, expectedPercents);
    QCOMPARE(percents.last(), 100);

    const QString path = CalibrationManager::calibrationFilePath(id);
    QCOMPARE(QFileInfo(path).size(), qint64(fileSize(id, scan().presets())));
    QCOMPARE(readBytes(path).left(4 + 2 * id.size()), littleEndianString(id));
    QCOMPARE(calib().tableEntry(id), path);
    QVERIFY(!calib().isCalibrating());
    QCOMPARE(scan().activePreset(), presetCount - 1);
    QCOMPARE(scan().powerIndex(), 1);
    QVERIFY(calib().allCalibrated());

    // A restart: managers initialised again, the device connected again.
    disconnectDevice();
    QVERIFY(calib().init());
    QVERIFY(scan().init());
    scan().activateStoredSelection();
    QVERIFY(!calib().allCalibrated());
    QSignalSpy loaded(&calib(), &CalibrationManager::signalFinishedCalibration);
    QVERIFY(connectDevice(&loaded));
    QVERIFY(calib().allCalibrated());

    for (int power = 0; power < 2; ++power) {
        scan().setActivePreset(0, true);
        scan().setPowerIndex(power, true);
        scan().setUseCalib(true);
        QVERIFY(scan().useCalib());
        QVERIFY(waitForFullSweeps(2));
        for (int channel = 0; channel < 2; ++channel) {
            QVector<double> deviations;
            const QVector<ZData::TScanPoint> &raw = scan().rawPoints(channel);
            const QVector<ZData::TScanPoint> &calibrated = scan().processedPoints(channel);
            for (int i = 0; i < scan().channelPointCount(channel); ++i) {
                const double db = decibels(calibrated.at(i).real);
                QVERIFY2(std::isfinite(db), qPrintable(QString::number(i)));
                deviations.append(std::abs(db));
                // Well above the noise floor the two readings agree closely.
                if (decibels(raw.at(i).real) > -70.0)
                    QVERIFY2(std::abs(db) < 0.5, qPrintable(QStringLiteral("%1: %2 dB").arg(i).arg(db)));
            }
            std::sort(deviations.begin(), deviations.end());
            QVERIFY2(deviations.at(deviations.size() / 2) < 1.5, qPrintable(QString::number(deviations.at(deviations.size() / 2))));
        }
    }
}

void TestCalibrationManager::recalibrationAsksFirst_data()
{
    QTest::addColumn<bool>("yes");

    QTest::newRow("no") << false;
    QTest::newRow("yes") << true;
}

void TestCalibrationManager::recalibrationAsksFirst()
{
    QFETCH(bool, yes);

    // A file of this device from an earlier run is loaded at start-up.
    QSignalSpy firstOutcome(&calib(), &CalibrationManager::signalFailedReadCalibration);
    QVERIFY(connectDevice(&firstOutcome));
    const QString id = deviceId();
    disconnectDevice();
    const QByteArray earlier = handFile(id, scan().presets(), scan().presetCount());
    const QString path = CalibrationManager::calibrationFilePath(id);
    QVERIFY(QDir().mkpath(CalibrationManager::deviceDirPath(id)));
    QVERIFY(writeBytes(path, earlier));
    {
        QSettings table(CalibrationManager::calibrationTablePath(), QSettings::IniFormat);
        table.setValue(id, path);
    }
    QVERIFY(calib().init());
    QSignalSpy loaded(&calib(), &CalibrationManager::signalFinishedCalibration);
    QVERIFY(connectDevice(&loaded));
    QVERIFY(calib().allCalibrated());
    QVERIFY(waitForFullSweeps(1));

    m_dialogs->setQuestionAnswer(yes);
    QSignalSpy pause(&scan(), &DataScanManager::signalScanPause);
    QSignalSpy finished(&calib(), &CalibrationManager::signalFinishedCalibration);
    calib().startCalibration();

    QCOMPARE(m_dialogs->count(ZCore::UserDialogs::EKind::Question), 1);
    QCOMPARE(m_dialogs->boxes().first().title, QStringLiteral("Confirm recalibration request"));
    QCOMPARE(m_dialogs->boxes().first().text,
             QStringLiteral("Some calibration data is already loaded. Would you like to recalibrate this device?"));
    if (!yes) {
        QVERIFY(!calib().isCalibrating());
        QCOMPARE(pause.count(), 2);
        QCOMPARE(pause.at(1).at(0).toBool(), false);
        QVERIFY(!scan().isPaused());
        QVERIFY(calib().allCalibrated());
        QCOMPARE(calib().calibrationFor(0, 0, 0)->values.at(0).real(), 0.5f);
        QCOMPARE(readBytes(path), earlier);
        return;
    }
    QVERIFY(calib().isCalibrating());
    QVERIFY(finished.wait(kDeviceTimeoutMs) || finished.count() == 1);
    QVERIFY(calib().allCalibrated());
    const QByteArray taken = readBytes(path);
    QCOMPARE(taken.size(), earlier.size());
    QVERIFY(taken != earlier);
    QCOMPARE(calib().tableEntry(id), path);
}

void TestCalibrationManager::rejectedFileSweepsUncalibrated_data()
{
    QTest::addColumn<int>("presetCountDelta");
    QTest::addColumn<bool>("otherDevice");
    QTest::addColumn<bool>("rangeDiffers");
    QTest::addColumn<QString>("logged");

    QTest::newRow("another device") << 0 << true << false
                                    << QStringLiteral(">> tried to read calib preset of different device: ");
    QTest::newRow("another preset count") << 1 << false << false
                                          << QStringLiteral(">> calib presets count isn't equal to current scan presets count: ");
    QTest::newRow("one range differs") << 0 << false << true
                                       << QStringLiteral("CalibData >> range is different to the check one.");
}

void TestCalibrationManager::rejectedFileSweepsUncalibrated()
{
    QFETCH(int, presetCountDelta);
    QFETCH(bool, otherDevice);
    QFETCH(bool, rangeDiffers);
    QFETCH(QString, logged);

    // Learn the device's id, then leave it.
    QSignalSpy firstOutcome(&calib(), &CalibrationManager::signalFailedReadCalibration);
    QVERIFY(connectDevice(&firstOutcome));
    const QString id = deviceId();
    disconnectDevice();

    QList<TScanPreset> presets = scan().presets();
    if (rangeDiffers)
        presets[presets.size() - 1].channels[1].points += 1;
    QString fileId = id;
    if (otherDevice)
        fileId = QStringLiteral("%1%2").arg(kOtherDeviceWord).arg(id);
    const QByteArray bytes = handFile(fileId, presets, qint32(presets.size() + presetCountDelta));
    const QString path = CalibrationManager::calibrationFilePath(id);
    QVERIFY(QDir().mkpath(CalibrationManager::deviceDirPath(id)));
    QVERIFY(writeBytes(path, bytes));
    {
        // The table as a previous run left it.
        QSettings table(CalibrationManager::calibrationTablePath(), QSettings::IniFormat);
        table.setValue(id, path);
    }
    QVERIFY(calib().init());

    QSignalSpy failed(&calib(), &CalibrationManager::signalFailedReadCalibration);
    QSignalSpy processed(&scan(), &DataScanManager::signalProcessedScanData);
    TestSupport::LogCapture log;
    QVERIFY(connectDevice(&failed));
    QVERIFY2(log.contains(logged), qPrintable(log.lines(QtCriticalMsg).join(QLatin1Char('\n'))));
    QCOMPARE(calib().tableEntry(id), QString());
    QVERIFY(processed.wait(kDeviceTimeoutMs) || !processed.isEmpty());
    QVERIFY(!scan().isPaused());
    scan().setUseCalib(true);
    QVERIFY(!scan().useCalib());
}

void TestCalibrationManager::unplugMidCalibration()
{
    QSignalSpy firstOutcome(&calib(), &CalibrationManager::signalFailedReadCalibration);
    QVERIFY(connectDevice(&firstOutcome));
    const QString id = deviceId();
    const QString deviceDir = CalibrationManager::deviceDirPath(id);
    scan().setActivePreset(2, true);
    scan().setPowerIndex(1, true);

    QSignalSpy progress(&calib(), &CalibrationManager::signalReportCalibProcess);
    QSignalSpy finished(&calib(), &CalibrationManager::signalFinishedCalibration);
    calib().startCalibration();
    QVERIFY(progress.wait(kDeviceTimeoutMs) || !progress.isEmpty());
    TestSupport::LogCapture log;
    m_sim->unplug(-1);
    QTRY_VERIFY_WITH_TIMEOUT(!SerialPort::instance().isOpen(), kDeviceTimeoutMs);

    QVERIFY(log.contains(QStringLiteral("CalibrationManager >> calibration abandoned: the device left the link")));
    QVERIFY(!calib().isCalibrating());
    QCOMPARE(finished.count(), 0);
    QCOMPARE(QDir(deviceDir).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(calib().tableEntry(id), QString());
    QCOMPARE(scan().activePreset(), 2);
    QCOMPARE(scan().powerIndex(), 1);

    // Back again: the sweep runs as before, with no trace of the old procedure.
    QVERIFY(m_sim->plugIn());
    progress.clear();
    QSignalSpy started(&calib(), &CalibrationManager::signalStartedCalibration);
    QSignalSpy failed(&calib(), &CalibrationManager::signalFailedReadCalibration);
    QVERIFY(connectDevice(&failed));
    QVERIFY(waitForFullSweeps(3));
    QCOMPARE(progress.count(), 0);
    QCOMPARE(started.count(), 0);
    QCOMPARE(finished.count(), 0);
    QVERIFY(!scan().isPaused());
    QCOMPARE(QDir(deviceDir).entryList(QDir::Files | QDir::Hidden), QStringList());
}

QTEST_GUILESS_MAIN(TestCalibrationManager)
#include "tst_calibrationmanager.moc"
