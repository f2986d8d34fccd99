#include "core/settingsmanager.h"
#include "data/calibration/calibdata.h"
#include "data/device/commandqueue.h"
#include "data/device/devicemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "data/scan/scanpayloads.h"

#include "chartfixture.h"
#include "sweepfeeder.h"
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
using TestSupport::SweepFeeder;
using Cmd = ZData::EDeviceCommands;

namespace {

const quint16 kS21 = quint16(Cmd::DA_GET_SCAN_DATA_S21);
const quint16 kS12 = quint16(Cmd::DA_GET_SCAN_DATA_S12);
const quint16 kAdc = quint16(Cmd::DA_GET_ADC_VALUE);

DataScanManager &dsm() { return DataScanManager::instance(); }

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

// Answers the request at the head of the queue as the device link would:
// the reply signal, then the queue moves on. A NaN count announces the values given.
void answerHead(const QVector<float> &values, float announced = std::nanf(""))
{
    if (CommandQueue::instance().commands().value(0) == kAdc) {
        emit DeviceManager::instance().signalGotADCValue(reply(Cmd::DA_GET_ADC_VALUE, QByteArray::fromHex("0100")));
    } else {
        const float count = std::isnan(announced) ? float(values.size()) : announced;
        emit DeviceManager::instance().signalGotScanData(reply(Cmd::DA_GET_SCAN_DATA_S21, scanReplyPayload(count, values)));
    }
    CommandQueue::instance().processNext(true);
}

int scanRequestsQueued()
{
    const QList<quint16> commands = CommandQueue::instance().commands();
    return int(commands.count(kS21) + commands.count(kS12));
}

// Answers every request up to and including the next count scan requests.
void answerScans(int count, float first = 1.0f)
{
    for (int answered = 0; answered < count;) {
        answered += CommandQueue::instance().commands().value(0) == kAdc ? 0 : 1;
        QVector<float> values;
        for (int i = 0; i < 25; ++i)
            values << first + float(i);
        answerHead(values);
    }
}

// References of count points for one channel at one power.
void setReference(TestSupport::FakeCalibrator &calib, int channel, int power, int count, float reference)
{
    CAL::CalibData &entry = calib.references.entry(channel, power);
    entry.values = QVector<CAL::TCalibValue>(count, CAL::TCalibValue(reference, 0.0f));
    entry.valid = true;
}

} // namespace

class TstDataScanManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void payloads_data();
    void payloads();
    void scanReply_data();
    void scanReply();
    void restoreAndSaveSettings();
    void calibrationDivision_data();
    void calibrationDivision();
    void useCalibNeedsReferences();
    void switchPresetWraps();
    void pauseNeverStallsSweep();
    void excessAtEndOfList();

private:
    void startSweep();

    std::unique_ptr<TestSupport::TempAppDir> m_dir;
    std::unique_ptr<TestSupport::FakeCalibrator> m_calib;
};

void TstDataScanManager::init()
{
    m_dir = std::make_unique<TestSupport::TempAppDir>();
    QVERIFY(SettingsManager::init());
    m_calib = std::make_unique<TestSupport::FakeCalibrator>();
    DeviceInfo info;
    info.deviceState = quint8(EDeviceStates::MAINAPP);
    DeviceManager::instance().setDeviceInfo(info);
}

void TstDataScanManager::cleanup()
{
    CommandQueue::instance().clearQueue();
    dsm().setCalibrationSource(nullptr);
    m_dir.reset();
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
    QTest::newRow("scan 1 and 2 MHz") << ScanPayloads::scanRequest({1000000, 2000000}) << QByteArray::fromHex("000200" "40420f0000000000" "80841e0000000000");
    QTest::newRow("scan 6.2 GHz") << ScanPayloads::scanRequest({6200000000ull}) << QByteArray::fromHex("000100" "007e8c7101000000");
    QTest::newRow("gain -3") << ScanPayloads::gain(-3.0) << QByteArray::fromHex("0000" "00" "000040c0");
    QTest::newRow("sample size 1024") << ScanPayloads::sampleSize(1024) << QByteArray::fromHex("0004");
}

void TstDataScanManager::payloads()
{
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, expected);
    QCOMPARE(payload.toHex(' '), expected.toHex(' '));
}

// The float count announces the values; the caller's room bounds what is
// read, and values missing from a short reply read as zero.
void TstDataScanManager::scanReply_data()
{
    QTest::addColumn<float>("announced");
    QTest::addColumn<QVector<float>>("expected");
    QTest::newRow("short reply") << 4.0f << QVector<float>{0.5f, 0.25f, 0.0f, 0.0f};
    QTest::newRow("2.9 truncates") << 2.9f << QVector<float>{0.5f, 0.25f};
    QTest::newRow("-1 wraps to 65535, bounded") << -1.0f << QVector<float>{0.5f, 0.25f, 0.0f, 0.0f, 0.0f};
    QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << QVector<float>{};
}

void TstDataScanManager::scanReply()
{
    QFETCH(float, announced);
    QFETCH(QVector<float>, expected);
    QCOMPARE(ScanPayloads::readScanReply(scanReplyPayload(announced, {0.5f, 0.25f}), 5).values, expected);
}

void TstDataScanManager::restoreAndSaveSettings()
{
    SettingsManager::currentSettings()->remove(QStringLiteral("RF/RF_OFFSET"));
    QVERIFY(SweepFeeder::loadProfile({makePreset("A", 60, 60), TScanPreset(), makePreset("B", 10, 10)},
                                     {{"S21_ATT", 3.0}, {"S12_ATT", 4.0}, {"RF_OVERLOAD", 1000}}));
    // The unnamed entry is skipped; an index past the list clamps.
    QCOMPARE(dsm().presetCount(), 2);
    QCOMPARE(dsm().presetAt(7).name, QStringLiteral("B"));

    dsm().setAttenuation(0, -7.5);
    SettingsManager::saveAllSettings();
    QSettings *current = SettingsManager::currentSettings();
    QCOMPARE(current->value(QStringLiteral("RF/S21_ATT")).toDouble(), -7.5);
    QCOMPARE(current->value(QStringLiteral("RF/S12_ATT")).toDouble(), 4.0);
    // Only the attenuations are written back.
    QVERIFY(!current->contains(QStringLiteral("RF/RF_OFFSET")));

    QSignalSpy overload(&dsm(), &DataScanManager::signalRFOverload);
    // 1000 reaches the profile's threshold, 999 not; a reply too short to
    // hold a reading changes nothing.
    for (const char *hex : {"e803", "e703", "05"})
        emit DeviceManager::instance().signalGotADCValue(reply(Cmd::DA_GET_ADC_VALUE, QByteArray::fromHex(hex)));
    QCOMPARE(overload.count(), 2);
    QVERIFY(overload.at(0).at(0).toBool());
    QVERIFY(!overload.at(1).at(0).toBool());
}

void TstDataScanManager::calibrationDivision_data()
{
    QTest::addColumn<double>("rfOffset");
    QTest::addColumn<quint32>("points");
    QTest::addColumn<bool>("calibrating");
    QTest::addColumn<int>("calibPower");
    QTest::addColumn<QVector<float>>("expected");

    const float e = TScanPoint::kEmptyReal;
    // Raw 0.5 and 1.0, scaled by the offset (a negative one divides), divided by references of 0.5.
    QTest::newRow("offset 2 multiplies") << 2.0 << 60u << false << 1 << QVector<float>{2.0f, 4.0f, e};
    QTest::newRow("offset -2 divides") << -2.0 << 60u << false << 1 << QVector<float>{-0.5f, -1.0f, e};
    // No finite float scale: read as 1.
    QTest::newRow("offset 1e300") << 1e300 << 60u << false << 1 << QVector<float>{1.0f, 2.0f, e};
    QTest::newRow("not while calibrating") << 2.0 << 60u << true << 1 << QVector<float>{e, e, e};
    QTest::newRow("no reference at the swept power") << 2.0 << 60u << false << 0 << QVector<float>{e, e, e};
    // A one-point preset is swept with two points, its reference holds one.
    QTest::newRow("reference shorter than the sweep") << 2.0 << 1u << false << 1 << QVector<float>{2.0f, e, e};
}

void TstDataScanManager::calibrationDivision()
{
    QFETCH(double, rfOffset);
    QFETCH(quint32, points);
    QFETCH(bool, calibrating);
    QFETCH(int, calibPower);
    QFETCH(QVector<float>, expected);
    QVERIFY(SweepFeeder::loadProfile({makePreset("A", points, points)}, {{"RF_OFFSET", rfOffset}}));
    m_calib->calibrating = calibrating;
    setReference(*m_calib, 0, calibPower, int(points), 0.5f);
    dsm().setCalibrationSource(m_calib.get());
    dsm().setPowerIndex(1, false);
    startSweep();
    answerHead({0.5f, 1.0f});
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(dsm().calibratedPoints(0).at(i).real, expected.at(i));
}

// Both channels need references; a profile without presets must neither
// crash nor start a sweep.
void TstDataScanManager::useCalibNeedsReferences()
{
    QVERIFY(SweepFeeder::loadProfile({makePreset("A", 60, 60)}));
    dsm().setActivePreset(0, false);
    setReference(*m_calib, 0, 0, 60, 1.0f);
    dsm().setCalibrationSource(m_calib.get());
    dsm().setUseCalib(true);
    QVERIFY(!dsm().useCalib());
    setReference(*m_calib, 1, 0, 60, 1.0f);
    dsm().setUseCalib(true);
    QVERIFY(dsm().useCalib());
    QVERIFY(SweepFeeder::loadProfile({}));
    dsm().setActivePreset(2, true);
    dsm().switchActivePreset(-1);
    dsm().setUseCalib(true);
    QVERIFY(!dsm().useCalib());
    QVERIFY(dsm().presetAt(0).name.isEmpty());
    dsm().setScanPause(false, true);
    QCOMPARE(scanRequestsQueued(), 0);
}

// The window's keys check the wrapping both ways; here the new preset's
// ranges and the cleared points.
void TstDataScanManager::switchPresetWraps()
{
    QVERIFY(SweepFeeder::loadProfile({makePreset("A", 60, 70), makePreset("B", 80, 90)}));
    startSweep();
    answerHead({0.5f});
    dsm().switchActivePreset(-1);
    QCOMPARE(dsm().activePreset(), 1);
    QCOMPARE(dsm().channelPointCount(1), 90);
    // Switching always starts over on cleared points.
    QCOMPARE(dsm().rawPoints(0).at(0).real, TScanPoint::kEmptyReal);
}

// Resuming before the reply came must neither send a second request nor
// stall; a closing port drops the request in flight so the next start is free.
// Copies of the points clamp to the list.
void TstDataScanManager::pauseNeverStallsSweep()
{
    QVERIFY(SweepFeeder::loadProfile({makePreset("A", 60, 60)}));
    startSweep();
    dsm().setUserScanPause(true);
    dsm().setUserScanPause(false);
    QCOMPARE(scanRequestsQueued(), 1);
    answerScans(1);
    QCOMPARE(dsm().channelRange(0).sliceStart(), 25u);
    QVector<TScanPoint> output;
    dsm().copyPoints(0, 10, 3, output, false);
    QCOMPARE(output.value(2).real, 13.0f);
    dsm().copyPoints(0, 0, 61, output, false);
    QCOMPARE(output.size(), 3);
    dsm().copyPoints(0, 2000, 2, output, false);
    QCOMPARE(output.value(1).real, TScanPoint::kEmptyReal);
    emit DM::SerialPort::instance().signalClosing();
    CommandQueue::instance().clearQueue();
    QVERIFY(dsm().isPaused());
    dsm().setScanPause(false, false);
    QCOMPARE(scanRequestsQueued(), 1);
}

// An oversized reply to the last slice must not run past the point list.
void TstDataScanManager::excessAtEndOfList()
{
    QVERIFY(SweepFeeder::loadProfile({makePreset("A", 1024, 2)}));
    startSweep();
    // 41 slices: 40 of 25 points, then 24.
    answerScans(40);
    while (CommandQueue::instance().commands().value(0) == kAdc)
        answerHead({});
    QCOMPARE(dsm().channelRange(0).sliceCount(), 24u);
    answerHead(QVector<float>(40, 7.0f), -1.0f);
    QCOMPARE(dsm().rawPoints(0).size(), DataScanManager::kPointListSize);
    QCOMPARE(dsm().rawPoints(0).last().real, 7.0f);
}

QTEST_GUILESS_MAIN(TstDataScanManager)
#include "tst_datascanmanager.moc"
