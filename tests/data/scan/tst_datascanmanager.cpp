#include "core/settingsmanager.h"
#include "data/calibration/calibdata.h"
#include "data/device/commandqueue.h"
#include "data/device/devicemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "data/scan/icalibrationsource.h"
#include "data/scan/scanpayloads.h"

#include "logcapture.h"
#include "recordingdialogs.h"
#include "tempappdir.h"

#include <QDataStream>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

using namespace ZData;
using ZCore::SettingsManager;
using ZData::DM::CommandQueue;
using Cmd = ZData::EDeviceCommands;

namespace {

DataScanManager &dsm()
{
    return DataScanManager::instance();
}

TScanPreset makePreset(const QString &name, quint32 s21Points, quint32 s12Points)
{
    TScanPreset preset(name);
    preset.channels[0] = TChannelPreset(TScanRange(ZCore::TFrequency(100e6), ZCore::TFrequency(200e6), s21Points));
    preset.channels[1] = TChannelPreset(TScanRange(ZCore::TFrequency(300e6), ZCore::TFrequency(400e6), s12Points));
    return preset;
}

QByteArray scanReplyPayload(float count, const QVector<float> &values)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out << count;
    for (float value : values)
        out << value;
    return payload;
}

TDeviceReply reply(Cmd command, const QByteArray &payload)
{
    TDeviceReply r;
    r.header.command = quint16(command);
    r.data = payload;
    return r;
}

// Answers the scan request at the head of the queue as the device link
// would: the reply signal, then the queue moves on.
void answerScanAnnouncing(float announced, const QVector<float> &values)
{
    emit DeviceManager::instance().signalGotScanData(reply(Cmd::DA_GET_SCAN_DATA_S21, scanReplyPayload(announced, values)));
    CommandQueue::instance().processNext(true);
}

void answerScan(const QVector<float> &values)
{
    answerScanAnnouncing(float(values.size()), values);
}

// Drops ADC reads and start-up items at the head, so the next item is a
// scan request (or nothing).
void skipToScan()
{
    CommandQueue &queue = CommandQueue::instance();
    while (!queue.isEmpty() && queue.commands().first() != quint16(Cmd::DA_GET_SCAN_DATA_S21)
           && queue.commands().first() != quint16(Cmd::DA_GET_SCAN_DATA_S12))
        queue.processNext(true);
}

int scanRequestsQueued()
{
    int count = 0;
    for (quint16 command : CommandQueue::instance().commands())
        count += command == quint16(Cmd::DA_GET_SCAN_DATA_S21) || command == quint16(Cmd::DA_GET_SCAN_DATA_S12);
    return count;
}

QVector<float> ramp(int count, float first)
{
    QVector<float> values;
    for (int i = 0; i < count; ++i)
        values << first + float(i);
    return values;
}

class FakeCalibration : public ICalibrationSource
{
public:
    bool isCalibrating() const override { return calibrating; }
    const CAL::CalibData *calibrationFor(int preset, int channel, int powerIndex) const override
    {
        ++lookups;
        lastPower = powerIndex;
        if (preset != 0 || powerIndex != power)
            return nullptr;
        return &data.entry(channel, powerIndex);
    }

    // Every value of the channel's entry at the fake's power is reference.
    void setReference(int channel, int values, float reference)
    {
        CAL::CalibData &entry = data.entry(channel, power);
        entry.values = QVector<CAL::TCalibValue>(values, CAL::TCalibValue(reference, 0.0f));
        entry.valid = true;
    }

    CAL::CalibPreset data;
    bool calibrating = false;
    int power = 0;
    mutable int lookups = 0;
    mutable int lastPower = -1;
};

} // namespace

class TstDataScanManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void payloads_data();
    void payloads();
    void scanCount_data();
    void scanCount();
    void shortScanReply();

    void restoreAndSaveSettings();
    void attenuation_data();
    void attenuation();

    void rfScale_data();
    void rfScale();
    void calibrationDivision_data();
    void calibrationDivision();
    void useCalib_data();
    void useCalib();
    void progress_data();
    void progress();
    void rfOverload_data();
    void rfOverload();

    void switchPreset_data();
    void switchPreset();
    void noPresets();
    void pauseWithOutstandingRequest_data();
    void pauseWithOutstandingRequest();
    void misfireWhilePaused();
    void adcAfterEverySecondScanRequest();
    void excessReply();
    void excessAtEndOfList();
    void replyAfterRestartIsDropped();

    void deviceStartup_data();
    void deviceStartup();
    void deviceScanRange();
    void copyPoints_data();
    void copyPoints();

private:
    void loadProfile(const QList<TScanPreset> &presets, const QVariantMap &rf = {});
    void startSweep();

    std::unique_ptr<TestSupport::TempAppDir> m_dir;
    std::unique_ptr<TestSupport::RecordingDialogs> m_dialogs;
    std::unique_ptr<TestSupport::LogCapture> m_log;
    FakeCalibration m_calib;
};

void TstDataScanManager::init()
{
    m_log = std::make_unique<TestSupport::LogCapture>();
    m_dialogs = std::make_unique<TestSupport::RecordingDialogs>();
    m_dir = std::make_unique<TestSupport::TempAppDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(SettingsManager::init());
    m_calib = FakeCalibration();
    dsm().setCalibrationSource(nullptr);
    DeviceInfo info;
    info.deviceState = quint8(EDeviceStates::MAINAPP);
    DeviceManager::instance().setDeviceInfo(info);
    QVERIFY(dsm().init());
}

void TstDataScanManager::cleanup()
{
    CommandQueue::instance().clearQueue();
    dsm().setCalibrationSource(nullptr);
    dsm().disconnect(this);
    if (QSettings *current = SettingsManager::currentSettings())
        current->sync();
    if (QSettings *user = SettingsManager::userSettings())
        user->sync();
    m_dir.reset();
    m_dialogs.reset();
    m_log.reset();
}

void TstDataScanManager::loadProfile(const QList<TScanPreset> &presets, const QVariantMap &rf)
{
    QSettings *user = SettingsManager::userSettings();
    QVERIFY(user);
    user->remove(QStringLiteral("Range_Presets"));
    PresetSettings::writeScanPresets(*user, presets);
    user->sync();
    QSettings *current = SettingsManager::currentSettings();
    QVERIFY(current);
    current->beginGroup(QStringLiteral("RF"));
    for (auto it = rf.cbegin(); it != rf.cend(); ++it) {
        if (it.value().isNull())
            current->remove(it.key());
        else
            current->setValue(it.key(), it.value());
    }
    current->endGroup();
    current->sync();
    QVERIFY(dsm().init());
}

// Activates preset 0 and lets the first scan request go out.
void TstDataScanManager::startSweep()
{
    dsm().setActivePreset(0, false);
    dsm().setScanPause(false, false);
    QCOMPARE(scanRequestsQueued(), 1);
}

void TstDataScanManager::payloads_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("scan 1 and 2 MHz") << ScanPayloads::scanRequest({1000000, 2000000})
                                      << QByteArray::fromHex("000200" "40420f0000000000" "80841e0000000000");
    QTest::newRow("scan 6.2 GHz") << ScanPayloads::scanRequest({6200000000ull})
                                  << QByteArray::fromHex("000100" "007e8c7101000000");
    QTest::newRow("scan nothing") << ScanPayloads::scanRequest({}) << QByteArray::fromHex("000000");
    QTest::newRow("gain 1.5") << ScanPayloads::gain(1.5) << QByteArray::fromHex("0000" "00" "0000c03f");
    QTest::newRow("gain -3") << ScanPayloads::gain(-3.0) << QByteArray::fromHex("0000" "00" "000040c0");
    QTest::newRow("sample size 256") << ScanPayloads::sampleSize(256) << QByteArray::fromHex("0001");
    QTest::newRow("sample size 1024") << ScanPayloads::sampleSize(1024) << QByteArray::fromHex("0004");
}

void TstDataScanManager::payloads()
{
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, expected);
    QCOMPARE(payload.toHex(' '), expected.toHex(' '));
}

void TstDataScanManager::scanCount_data()
{
    QTest::addColumn<float>("announced");
    QTest::addColumn<int>("count");

    QTest::newRow("3") << 3.0f << 3;
    QTest::newRow("2.9 truncates") << 2.9f << 2;
    QTest::newRow("-1 wraps") << -1.0f << 65535;
    QTest::newRow("-2.5 truncates toward zero") << -2.5f << 65534;
    QTest::newRow("65537 keeps low bits") << 65537.0f << 1;
    QTest::newRow("3e9 indefinite") << 3e9f << 0;
    QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << 0;
    QTest::newRow("infinity") << std::numeric_limits<float>::infinity() << 0;
}

void TstDataScanManager::scanCount()
{
    QFETCH(float, announced);
    QFETCH(int, count);
    QCOMPARE(int(ScanPayloads::scanCount(announced)), count);
}

void TstDataScanManager::shortScanReply()
{
    const QByteArray payload = scanReplyPayload(4.0f, {0.5f, 0.25f});
    const ScanPayloads::TScanReply read = ScanPayloads::readScanReply(payload, 25);
    QCOMPARE(int(read.announced), 4);
    QCOMPARE(read.values, (QVector<float>{0.5f, 0.25f, 0.0f, 0.0f}));
    // The caller's room bounds what is read, whatever the count says.
    QCOMPARE(ScanPayloads::readScanReply(scanReplyPayload(-1.0f, {}), 3).values.size(), 3);
}

void TstDataScanManager::restoreAndSaveSettings()
{
    loadProfile({makePreset("A", 60, 60), TScanPreset(), makePreset("B", 10, 10)},
                {{"AMP_OFFSET", 1.5}, {"RF_OFFSET", QVariant()}, {"S21_AMP_ORIGIN", 12.0}, {"S12_AMP_ORIGIN", 13.0},
                 {"GAIN", 2.5}, {"ADC_OVERFLOW_LEVEL", -4.0}, {"SAMPLE_SIZE", 70000}, {"RF_OVERLOAD", 1500},
                 {"S21_ATT", 3.0}, {"S12_ATT", 4.0}});
    // The unnamed entry is skipped.
    QCOMPARE(dsm().presetCount(), 2);
    QCOMPARE(dsm().presetAt(1).name, QStringLiteral("B"));
    QCOMPARE(dsm().presetAt(7).name, QStringLiteral("B"));
    const TRFParameters &rf = dsm().rfParameters();
    QCOMPARE(rf.ampOffset, 1.5);
    QCOMPARE(rf.rfOffset, 1.0);
    QCOMPARE(rf.s21AmpOrigin, 12.0);
    QCOMPARE(rf.s12AmpOrigin, 13.0);
    QCOMPARE(rf.gain, 2.5);
    QCOMPARE(rf.adcOverflowLevel, -4.0);
    QCOMPARE(int(rf.sampleSize), 70000 & 0xFFFF);
    QCOMPARE(int(rf.rfOverload), 1500);
    QCOMPARE(rf.s21Att, 3.0);
    QCOMPARE(rf.s12Att, 4.0);
    QCOMPARE(rf.calibPasses, 1);
    QVERIFY(dsm().isPaused());

    dsm().setAttenuation(0, -7.5);
    SettingsManager::saveAllSettings();
    QSettings *current = SettingsManager::currentSettings();
    current->sync();
    QCOMPARE(current->value(QStringLiteral("RF/S21_ATT")).toDouble(), -7.5);
    QCOMPARE(current->value(QStringLiteral("RF/S12_ATT")).toDouble(), 4.0);
    // Only the attenuations are written back.
    QVERIFY(!current->contains(QStringLiteral("RF/RF_OFFSET")));
    // Re-init enrols the manager once only.
    const int enrolled = SettingsManager::restorableCount();
    QVERIFY(dsm().init());
    QCOMPARE(SettingsManager::restorableCount(), enrolled);
}

void TstDataScanManager::attenuation_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<double>("s21");
    QTest::addColumn<double>("s12");

    QTest::newRow("S21") << 0 << 6.5 << 0.0;
    QTest::newRow("S12") << 1 << 0.0 << 6.5;
    QTest::newRow("unknown channel") << 2 << 0.0 << 0.0;
    QTest::newRow("negative channel") << -1 << 0.0 << 0.0;
}

void TstDataScanManager::attenuation()
{
    QFETCH(int, channel);
    QFETCH(double, s21);
    QFETCH(double, s12);
    loadProfile({makePreset("A", 60, 60)}, {{"S21_ATT", 0.0}, {"S12_ATT", 0.0}});
    QSignalSpy updated(&dsm(), &DataScanManager::signalRFDataAttUpdated);
    dsm().setAttenuation(qint8(channel), 6.5);
    QCOMPARE(updated.count(), 1);
    QCOMPARE(dsm().rfParameters().s21Att, s21);
    QCOMPARE(dsm().rfParameters().s12Att, s12);
}

void TstDataScanManager::rfScale_data()
{
    QTest::addColumn<QVariant>("offset");
    QTest::addColumn<QVector<float>>("expected");

    QTest::newRow("2.0 multiplies") << QVariant(2.0) << QVector<float>{1.0f, 2.0f, 4.0f};
    QTest::newRow("-2.0 divides") << QVariant(-2.0) << QVector<float>{-0.25f, -0.5f, -1.0f};
    QTest::newRow("0 means unscaled") << QVariant(0.0) << QVector<float>{0.5f, 1.0f, 2.0f};
    QTest::newRow("tiny means unscaled") << QVariant(1e-9) << QVector<float>{0.5f, 1.0f, 2.0f};
    QTest::newRow("missing means unscaled") << QVariant() << QVector<float>{0.5f, 1.0f, 2.0f};
}

void TstDataScanManager::rfScale()
{
    QFETCH(QVariant, offset);
    QFETCH(QVector<float>, expected);
    loadProfile({makePreset("A", 60, 60)}, {{"RF_OFFSET", offset}});
    startSweep();
    answerScan({0.5f, 1.0f, 2.0f});
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(dsm().rawPoints(0).at(i).real, expected.at(i));
        QCOMPARE(dsm().rawPoints(0).at(i).imag, 0.0f);
    }
    QCOMPARE(dsm().rawPoints(0).at(3).real, TScanPoint::kEmptyReal);
    QVERIFY(dsm().channelReceived(0));
    QVERIFY(!dsm().channelReceived(1));
}

void TstDataScanManager::calibrationDivision_data()
{
    QTest::addColumn<quint32>("points");
    QTest::addColumn<int>("referenceValues");
    QTest::addColumn<bool>("calibrating");
    QTest::addColumn<int>("sweepPower");
    QTest::addColumn<int>("calibPower");
    QTest::addColumn<QVector<float>>("expected");
    QTest::addColumn<bool>("warned");

    const float e = TScanPoint::kEmptyReal;
    // Raw 0.5 and 1.0, scaled by 2.0, divided by references of 0.5.
    QTest::newRow("divides by 0.5") << 60u << 60 << false << 0 << 0 << QVector<float>{2.0f, 4.0f, e} << false;
    QTest::newRow("reference of the swept power") << 60u << 60 << false << 1 << 1 << QVector<float>{2.0f, 4.0f, e}
                                                  << false;
    QTest::newRow("not while calibrating") << 60u << 60 << true << 0 << 0 << QVector<float>{e, e, e} << false;
    QTest::newRow("no reference at the swept power") << 60u << 60 << false << 0 << 1 << QVector<float>{e, e, e}
                                                     << false;
    // A one-point preset is swept with two points, its reference holds one.
    QTest::newRow("reference shorter than the sweep") << 1u << 1 << false << 0 << 0
                                                      << QVector<float>{2.0f, e, e} << true;
}

void TstDataScanManager::calibrationDivision()
{
    QFETCH(quint32, points);
    QFETCH(int, referenceValues);
    QFETCH(bool, calibrating);
    QFETCH(int, sweepPower);
    QFETCH(int, calibPower);
    QFETCH(QVector<float>, expected);
    QFETCH(bool, warned);
    loadProfile({makePreset("A", points, points)}, {{"RF_OFFSET", 2.0}});
    m_calib.power = calibPower;
    m_calib.calibrating = calibrating;
    m_calib.setReference(0, referenceValues, 0.5f);
    dsm().setCalibrationSource(&m_calib);
    dsm().setPowerIndex(sweepPower, false);
    startSweep();
    answerScan({0.5f, 1.0f});

    const QVector<TScanPoint> &raw = dsm().rawPoints(0);
    const QVector<TScanPoint> &calibrated = dsm().calibratedPoints(0);
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(calibrated.at(i).real, expected.at(i));
    if (expected.first() != TScanPoint::kEmptyReal) {
        QCOMPARE(calibrated.first().frequency, raw.first().frequency);
        QCOMPARE(calibrated.first().imag, 0.0f);
        QCOMPARE(m_calib.lastPower, sweepPower);
    }
    QCOMPARE(m_log->contains(QStringLiteral("point 1 stays uncalibrated")), warned);
}

void TstDataScanManager::useCalib_data()
{
    QTest::addColumn<bool>("s21");
    QTest::addColumn<bool>("s12");
    QTest::addColumn<bool>("use");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("lookups");

    QTest::newRow("both channels") << true << true << true << true << 2;
    QTest::newRow("S21 only") << true << false << true << false << 2;
    QTest::newRow("S12 only: stops at S21") << false << true << true << false << 1;
    QTest::newRow("switched off") << true << true << false << false << 2;
}

void TstDataScanManager::useCalib()
{
    QFETCH(bool, s21);
    QFETCH(bool, s12);
    QFETCH(bool, use);
    QFETCH(bool, result);
    QFETCH(int, lookups);
    loadProfile({makePreset("A", 60, 60)});
    dsm().setActivePreset(0, false);
    if (s21)
        m_calib.setReference(0, 60, 1.0f);
    if (s12)
        m_calib.setReference(1, 60, 1.0f);
    dsm().setCalibrationSource(&m_calib);
    QSignalSpy updated(&dsm(), &DataScanManager::signalUseCalibUpdated);
    dsm().setUseCalib(use);
    QCOMPARE(dsm().useCalib(), result);
    QCOMPARE(updated.count(), 1);
    QCOMPARE(m_calib.lookups, lookups);
}

void TstDataScanManager::progress_data()
{
    QTest::addColumn<bool>("clear");
    QTest::addColumn<QList<int>>("reports");

    // 50 points per channel: two slices each, four in a sweep.
    QTest::newRow("after a keeping reset") << false << QList<int>{0, 33, 66, 100, 0};
    QTest::newRow("after a clearing reset") << true << QList<int>{-33, 0, 33, 66, 0};
}

void TstDataScanManager::progress()
{
    QFETCH(bool, clear);
    QFETCH(QList<int>, reports);
    loadProfile({makePreset("A", 50, 50)});
    QSignalSpy progress(&dsm(), &DataScanManager::signalReportScanProcess);
    QSignalSpy reachedEnd(&dsm(), &DataScanManager::signalActiveScanPresetReachedEnd);
    dsm().setActivePreset(0, clear);
    dsm().setScanPause(false, false);
    for (int i = 0; i < reports.size(); ++i) {
        skipToScan();
        answerScan(ramp(25, 1.0f));
    }
    QList<int> seen;
    for (const QList<QVariant> &args : progress)
        seen << args.at(0).toInt();
    QCOMPARE(seen, reports);
    QCOMPARE(reachedEnd.count(), 1);

    // No progress while a calibration is being taken.
    m_calib.calibrating = true;
    dsm().setCalibrationSource(&m_calib);
    progress.clear();
    skipToScan();
    answerScan(ramp(25, 1.0f));
    QCOMPARE(progress.count(), 0);
}

void TstDataScanManager::rfOverload_data()
{
    QTest::addColumn<int>("threshold");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QList<bool>>("overloads");

    QTest::newRow("threshold 0, value 0") << 0 << QByteArray::fromHex("0000") << QList<bool>{true};
    QTest::newRow("1000 at 1000") << 1000 << QByteArray::fromHex("e803") << QList<bool>{true};
    QTest::newRow("1000 at 65535") << 1000 << QByteArray::fromHex("ffff") << QList<bool>{true};
    QTest::newRow("1000 at 999") << 1000 << QByteArray::fromHex("e703") << QList<bool>{false};
    QTest::newRow("short reply") << 0 << QByteArray::fromHex("05") << QList<bool>{};
}

void TstDataScanManager::rfOverload()
{
    QFETCH(int, threshold);
    QFETCH(QByteArray, payload);
    QFETCH(QList<bool>, overloads);
    loadProfile({makePreset("A", 60, 60)}, {{"RF_OVERLOAD", threshold}});
    QSignalSpy overload(&dsm(), &DataScanManager::signalRFOverload);
    emit DeviceManager::instance().signalGotADCValue(reply(Cmd::DA_GET_ADC_VALUE, payload));
    QList<bool> seen;
    for (const QList<QVariant> &args : overload)
        seen << args.at(0).toBool();
    QCOMPARE(seen, overloads);
}

void TstDataScanManager::switchPreset_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("expected");

    QTest::newRow("+5 from the last wraps to the first") << 1 << 5 << 0;
    QTest::newRow("-1 from the first wraps to the last") << 0 << -1 << 1;
    QTest::newRow("-7 is one step back") << 1 << -7 << 0;
    QTest::newRow("0 re-applies") << 1 << 0 << 1;
}

void TstDataScanManager::switchPreset()
{
    QFETCH(int, start);
    QFETCH(int, step);
    QFETCH(int, expected);
    const QList<TScanPreset> presets = {makePreset("A", 60, 70), makePreset("B", 80, 90)};
    loadProfile(presets);
    dsm().setActivePreset(start, false);
    dsm().setScanPause(false, false);
    answerScan({0.5f});
    QVERIFY(dsm().rawPoints(0).at(0).real < TScanPoint::kEmptyReal);

    QSignalSpy updated(&dsm(), &DataScanManager::signalActiveScanPresetUpdated);
    dsm().switchActivePreset(step);
    QCOMPARE(dsm().activePreset(), expected);
    QCOMPARE(updated.count(), 1);
    QCOMPARE(dsm().channelPointCount(0), qint32(presets.at(expected).channel(0).points));
    QCOMPARE(dsm().channelPointCount(1), qint32(presets.at(expected).channel(1).points));
    // Switching always starts over on cleared points.
    QCOMPARE(dsm().rawPoints(0).at(0).real, TScanPoint::kEmptyReal);
    QCOMPARE(dsm().channelRange(0).nextIndex(), 0u);

    // Ignored while a calibration is being taken.
    m_calib.calibrating = true;
    dsm().setCalibrationSource(&m_calib);
    dsm().switchActivePreset(1);
    QCOMPARE(dsm().activePreset(), expected);
    QCOMPARE(updated.count(), 1);
}

void TstDataScanManager::noPresets()
{
    loadProfile({});
    QCOMPARE(dsm().presetCount(), 0);
    m_calib.setReference(0, 60, 1.0f);
    m_calib.setReference(1, 60, 1.0f);
    dsm().setCalibrationSource(&m_calib);
    QSignalSpy updated(&dsm(), &DataScanManager::signalActiveScanPresetUpdated);

    dsm().setActivePreset(2, true);
    dsm().switchActivePreset(-1);
    QCOMPARE(updated.count(), 0);
    QCOMPARE(dsm().activePreset(), 0);
    QVERIFY(m_log->contains(QStringLiteral("DataScanManager >> no scan presets loaded => preset 2 not activated")));
    QVERIFY(m_log->contains(QStringLiteral("DataScanManager >> no scan presets loaded => nothing to switch to")));

    dsm().setUseCalib(true);
    QVERIFY(!dsm().useCalib());
    QCOMPARE(m_calib.lookups, 0);
    QVERIFY(dsm().presetAt(0).name.isEmpty());

    dsm().setScanPause(false, true);
    QCOMPARE(scanRequestsQueued(), 0);
    QVERIFY(m_log->contains(QStringLiteral("DataScanManager >> no scan presets loaded => sweep not started")));
}

void TstDataScanManager::pauseWithOutstandingRequest_data()
{
    QTest::addColumn<QString>("how");

    QTest::newRow("system pause") << "system";
    QTest::newRow("user pause") << "user";
    QTest::newRow("calibration removed") << "removed";
    QTest::newRow("calibration read failed") << "failed";
}

void TstDataScanManager::pauseWithOutstandingRequest()
{
    QFETCH(QString, how);
    loadProfile({makePreset("A", 60, 60)});
    startSweep();
    if (how == QLatin1String("user"))
        dsm().setUserScanPause(true);
    else
        dsm().setScanPause(true, true);

    if (how == QLatin1String("system"))
        dsm().setScanPause(false, true);
    else if (how == QLatin1String("user"))
        dsm().setUserScanPause(false);
    else if (how == QLatin1String("removed"))
        dsm().slotRemovedCalibration();
    else
        dsm().slotFailedReadCalibration();
    QVERIFY(!dsm().isPaused());
    QCOMPARE(scanRequestsQueued(), 1);
    QVERIFY(dsm().isScanRequestOutstanding());

    // The outstanding reply continues the one chain.
    answerScan(ramp(25, 1.0f));
    QCOMPARE(scanRequestsQueued(), 1);
    QCOMPARE(dsm().channelRange(0).sliceStart(), how == QLatin1String("failed") ? 0u : 25u);
}

void TstDataScanManager::misfireWhilePaused()
{
    loadProfile({makePreset("A", 60, 60)});
    dsm().setActivePreset(0, false);
    QSignalSpy misfired(&dsm(), &DataScanManager::signalMisfiredRequestScanData);
    QSignalSpy paused(&dsm(), &DataScanManager::signalScanPause);
    dsm().requestScanData();
    QCOMPARE(misfired.count(), 1);
    QCOMPARE(scanRequestsQueued(), 0);
    dsm().setScanPause(false, false);
    QCOMPARE(scanRequestsQueued(), 1);
    QCOMPARE(paused.count(), 0);

    // A reply that arrives while paused is stored; the loop then rests.
    dsm().setScanPause(true, true);
    QCOMPARE(paused.count(), 1);
    answerScan({0.5f});
    QCOMPARE(dsm().rawPoints(0).at(0).real, 0.5f);
    QCOMPARE(misfired.count(), 2);
    QCOMPARE(scanRequestsQueued(), 0);

    // A closing port drops the request in flight: the next start is free.
    dsm().setScanPause(false, false);
    QCOMPARE(scanRequestsQueued(), 1);
    emit DM::SerialPort::instance().signalClosing();
    // Once, however often the manager was initialised.
    QCOMPARE(paused.count(), 2);
    QVERIFY(dsm().isPaused());
    QVERIFY(!dsm().isScanRequestOutstanding());
}

void TstDataScanManager::adcAfterEverySecondScanRequest()
{
    loadProfile({makePreset("A", 60, 60)});
    startSweep();
    QList<quint16> sent;
    CommandQueue &queue = CommandQueue::instance();
    for (int i = 0; i < 8; ++i) {
        sent << queue.commands().first();
        if (queue.commands().first() == quint16(Cmd::DA_GET_ADC_VALUE)) {
            emit DeviceManager::instance().signalGotADCValue(reply(Cmd::DA_GET_ADC_VALUE, QByteArray::fromHex("0100")));
            queue.processNext(true);
        } else {
            answerScan(ramp(25, 1.0f));
        }
    }
    const quint16 s21 = quint16(Cmd::DA_GET_SCAN_DATA_S21);
    const quint16 s12 = quint16(Cmd::DA_GET_SCAN_DATA_S12);
    const quint16 adc = quint16(Cmd::DA_GET_ADC_VALUE);
    QCOMPARE(sent, (QList<quint16>{s21, s21, adc, s21, s12, adc, s12, s12}));
}

void TstDataScanManager::excessReply()
{
    loadProfile({makePreset("A", 100, 100)});
    startSweep();
    answerScan(ramp(30, 1.0f));
    const QVector<TScanPoint> &raw = dsm().rawPoints(0);
    QCOMPARE(raw.at(24).real, 25.0f);
    QCOMPARE(raw.at(25).real, TScanPoint::kEmptyReal);
    QVERIFY(m_log->contains(
        QStringLiteral("DataScanManager >> scan reply carries 30 values for a slice of 25 at point 0 => the excess is ignored")));
}

void TstDataScanManager::excessAtEndOfList()
{
    loadProfile({makePreset("A", 1024, 2)});
    startSweep();
    // 41 slices: 40 of 25 points, then 24.
    for (int i = 0; i < 40; ++i) {
        answerScan(ramp(25, 1.0f));
        skipToScan();
    }
    QCOMPARE(dsm().channelRange(0).sliceStart(), 1000u);
    QCOMPARE(dsm().channelRange(0).sliceCount(), 24u);
    // -1 announces 65535 values.
    answerScanAnnouncing(-1.0f, ramp(40, 1.0f));
    QCOMPARE(dsm().rawPoints(0).size(), DataScanManager::kPointListSize);
    QCOMPARE(dsm().rawPoints(0).last().real, 24.0f);
    QVERIFY(m_log->contains(QStringLiteral("scan reply carries 65535 values for a slice of 24 at point 1000")));
}

void TstDataScanManager::replyAfterRestartIsDropped()
{
    loadProfile({makePreset("A", 60, 60)});
    startSweep();
    dsm().setActivePreset(0, true);
    // The reply to the old request must not land in the fresh sweep.
    QCOMPARE(scanRequestsQueued(), 1);
    answerScan({0.5f, 0.5f});
    QCOMPARE(dsm().rawPoints(0).at(0).real, TScanPoint::kEmptyReal);
    QVERIFY(m_log->contains(QStringLiteral("scan reply for a sweep that was restarted => 2 values ignored")));
    // ... and the sweep goes on from its start.
    QCOMPARE(dsm().channelRange(0).sliceStart(), 0u);
    QCOMPARE(scanRequestsQueued(), 1);
}

void TstDataScanManager::deviceStartup_data()
{
    QTest::addColumn<quint8>("state");
    QTest::addColumn<bool>("withSource");
    QTest::addColumn<QList<quint16>>("queued");
    QTest::addColumn<bool>("paused");

    const quint16 sample = quint16(Cmd::DA_SET_SAMPLE_SIZE);
    const quint16 gain = quint16(Cmd::DA_SET_GAIN_VALUE);
    const quint16 s21 = quint16(Cmd::DA_GET_SCAN_DATA_S21);
    QTest::newRow("main application, no calibration source")
        << quint8(EDeviceStates::MAINAPP) << false << QList<quint16>{sample, gain, s21} << false;
    QTest::newRow("main application, calibration source")
        << quint8(EDeviceStates::MAINAPP) << true << QList<quint16>{sample, gain} << true;
    QTest::newRow("bootloader") << quint8(EDeviceStates::BOOTLOADER) << false << QList<quint16>{} << true;
}

void TstDataScanManager::deviceStartup()
{
    QFETCH(quint8, state);
    QFETCH(bool, withSource);
    QFETCH(QList<quint16>, queued);
    QFETCH(bool, paused);
    loadProfile({makePreset("A", 60, 60)});
    dsm().setActivePreset(0, false);
    DeviceInfo info;
    info.deviceState = state;
    DeviceManager::instance().setDeviceInfo(info);
    if (withSource)
        dsm().setCalibrationSource(&m_calib);
    QSignalSpy finished(&dsm(), &DataScanManager::signalFinishedDeviceStartup);
    emit DeviceManager::instance().signalStartupFinished();
    QCOMPARE(CommandQueue::instance().commands(), queued);
    QCOMPARE(finished.count(), queued.isEmpty() ? 0 : 1);
    QCOMPARE(dsm().isPaused(), paused);
}

void TstDataScanManager::deviceScanRange()
{
    loadProfile({makePreset("A", 60, 60)});
    DeviceInfo info;
    info.scanRangeLow = 600000000;
    info.scanRangeHigh = 3000000000;
    DeviceManager::instance().setDeviceInfo(info);
    QSignalSpy processed(&dsm(), &DataScanManager::signalProcessedScanRange);

    emit DeviceManager::instance().signalGotDeviceParams(EDeviceOptions::BANDWIDTH);
    QCOMPARE(processed.count(), 0);
    QVERIFY(m_log->contains(QStringLiteral("DataScanManager >> ignored option: EDeviceOptions::BANDWIDTH")));

    dsm().setActivePreset(0, false);
    emit DeviceManager::instance().signalGotDeviceParams(EDeviceOptions::SCAN_RANGE);
    QCOMPARE(processed.count(), 1);
    for (int c = 0; c < 2; ++c) {
        QCOMPARE(dsm().channelRange(c).limitMin().hz(), 600e6);
        QCOMPARE(dsm().channelRange(c).limitMax().hz(), 3000e6);
    }
    // Not re-clamped until the next preset load.
    QCOMPARE(dsm().channelRange(0).start().hz(), 100e6);
    dsm().setActivePreset(0, false);
    QCOMPARE(dsm().channelRange(0).start().hz(), 600e6);
}

void TstDataScanManager::copyPoints_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("count");
    QTest::addColumn<QVector<float>>("expected");

    const QVector<float> untouched{-1.0f};
    QTest::newRow("window") << 10 << 3 << QVector<float>{11.0f, 12.0f, 13.0f};
    QTest::newRow("whole channel") << 0 << 60 << ramp(60, 1.0f);
    QTest::newRow("count 0 leaves output") << 0 << 0 << untouched;
    QTest::newRow("count above points leaves output") << 0 << 61 << untouched;
    QTest::newRow("negative offset clamps") << -5 << 2 << QVector<float>{1.0f, 2.0f};
    QTest::newRow("offset past the list clamps")
        << 2000 << 2 << QVector<float>{TScanPoint::kEmptyReal, TScanPoint::kEmptyReal};
}

void TstDataScanManager::copyPoints()
{
    QFETCH(int, offset);
    QFETCH(int, count);
    QFETCH(QVector<float>, expected);
    loadProfile({makePreset("A", 60, 60)});
    startSweep();
    for (int first = 1; first <= 60; first += 25) {
        skipToScan();
        answerScan(ramp(25, float(first)));
    }
    QVector<TScanPoint> output{TScanPoint{0, -1.0f, 0.0f}};
    dsm().copyPoints(0, offset, quint32(count), output, false);
    QVector<float> reals;
    for (const TScanPoint &point : output)
        reals << point.real;
    QCOMPARE(reals, expected);

    QCOMPARE(dsm().pointAt(0, 5).real, 6.0f);
    QCOMPARE(dsm().pointAt(0, 500).real, 60.0f);
    QCOMPARE(dsm().pointAt(7, 0).real, dsm().processedPoints(1).at(0).real);
}

QTEST_GUILESS_MAIN(TstDataScanManager)
#include "tst_datascanmanager.moc"
