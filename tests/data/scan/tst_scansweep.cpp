// The sweep end to end: the managers as start-up builds them, the
// application's serial port on the link of a simulated device.
#include "core/settingsmanager.h"
#include "data/calibration/calibrationmanager.h"
#include "data/device/commandqueue.h"
#include "data/device/connectionmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "data/scan/scanpayloads.h"

#include "recordingdialogs.h"
#include "simulator.h"
#include "tempappdir.h"

#include <QtEndian>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace ZData;
using ZCore::SettingsManager;
using Cmd = ZData::EDeviceCommands;

namespace {

constexpr int kSweepTimeoutMs = 30000;

const quint16 kS21 = quint16(Cmd::DA_GET_SCAN_DATA_S21), kS12 = quint16(Cmd::DA_GET_SCAN_DATA_S12);

// A channel's frequencies as the device is to be asked for them: slices of
// 25 points, each slice counted from its own first point.
QVector<quint64> expectedFrequencies(const TChannelPreset &channel)
{
    const quint32 points = qMax<quint32>(channel.points, 2);
    const double step = qMax((channel.stop.hz() - channel.start.hz()) / double(points - 1), 0.001);
    QVector<quint64> frequencies;
    for (quint32 i = 0; i < points; ++i)
        frequencies << quint64(channel.start.hz() + double(i - i % 25) * step + double(i % 25) * step);
    return frequencies;
}

} // namespace

class TstScanSweep : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void endlessSweep_data();
    void endlessSweep();

private:
    std::unique_ptr<TestSupport::TempAppDir> m_dir;
    std::unique_ptr<TestSupport::RecordingDialogs> m_dialogs;
    std::unique_ptr<MeroSim::Simulator> m_sim;
};

void TstScanSweep::cleanup()
{
    DM::SerialPort::instance().close(true);
    DM::CommandQueue::instance().clearQueue();
    DeviceMessageManager::instance().reset();
    m_sim.reset();
}

void TstScanSweep::endlessSweep_data()
{
    QTest::addColumn<int>("preset");
    QTest::addColumn<int>("power");
    QTest::newRow("first preset, low power") << 0 << 0;
    QTest::newRow("fourth preset, high power") << 3 << 1;
}

void TstScanSweep::endlessSweep()
{
    QFETCH(int, preset);
    QFETCH(int, power);
    m_dialogs = std::make_unique<TestSupport::RecordingDialogs>();
    m_dir = std::make_unique<TestSupport::TempAppDir>();
    // The managers as start-up builds them, with the user's selection.
    QVERIFY(SettingsManager::init());
    QVERIFY(DeviceMessageManager::init() && DM::SerialPort::init() && ConnectionManager::init() && DeviceManager::init());
    DataScanManager &dsm = DataScanManager::instance();
    // Without a calibration file on the device, reading it fails, and that
    // is what ends the start-up pause.
    QVERIFY(CalibrationManager::instance().init());
    QVERIFY(dsm.init());
    dsm.setActivePreset(preset, false);
    dsm.setPowerIndex(power, false);

    MeroSim::Options options;
    options.linkPath = m_dir->filePath(QStringLiteral("ttyMERO"));
    options.quiet = true;
    m_sim = std::make_unique<MeroSim::Simulator>(options);
    QVERIFY2(m_sim->start(), qPrintable(m_sim->lastError()));
    QSignalSpy reachedEnd(&dsm, &DataScanManager::signalActiveScanPresetReachedEnd);
    QVERIFY(DM::SerialPort::instance().openPort(m_sim->linkPath()));
    QTRY_VERIFY_WITH_TIMEOUT(reachedEnd.count() >= 3, kSweepTimeoutMs);

    // Start-up: the sample size and the gain of the profile reach the device first.
    const QVector<MeroSim::ReceivedFrame> &frames = m_sim->receivedFrames();
    int firstScan = 0;
    while (firstScan < frames.size() && frames.at(firstScan).command != kS21)
        ++firstScan;
    QCOMPARE(frames.at(firstScan - 2).payload, ScanPayloads::sampleSize(dsm.rfParameters().sampleSize));
    QCOMPARE(frames.at(firstScan - 1).payload, ScanPayloads::gain(dsm.rfParameters().gain));

    // Two sweeps on the wire: S21 slices, then S12 slices, with an ADC read
    // after every second scan request.
    const TScanPreset &active = dsm.presetAt(preset);
    const QVector<quint64> s21 = expectedFrequencies(active.channel(0)), s12 = expectedFrequencies(active.channel(1));
    const int s21Slices = (s21.size() + 24) / 25, slicesPerSweep = s21Slices + (s12.size() + 24) / 25;
    QList<quint16> commands, expectedCommands;
    QVector<quint64> swept[2];
    for (int k = 0; k < 2 * slicesPerSweep; ++k)
        expectedCommands << (k > 0 && k % 2 == 0 ? QList<quint16>{quint16(Cmd::DA_GET_ADC_VALUE)} : QList<quint16>{})
                         << (k % slicesPerSweep < s21Slices ? kS21 : kS12);
    for (int i = firstScan; commands.size() < expectedCommands.size() && i < frames.size(); ++i) {
        const MeroSim::ReceivedFrame &frame = frames.at(i);
        commands << frame.command;
        if (frame.command != kS21 && frame.command != kS12)
            continue;
        QCOMPARE(int(frame.options), power);
        // The frequencies follow the reserved byte and the count.
        for (int at = 3; at + 8 <= frame.payload.size(); at += 8)
            swept[frame.command == kS21 ? 0 : 1] << qFromLittleEndian<quint64>(frame.payload.constData() + at);
    }
    QCOMPARE(commands, expectedCommands);
    QCOMPARE(swept[0], s21 + s21);
    QCOMPARE(swept[1], s12 + s12);

    // Every point of both channels was measured at its frequency.
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < (c ? s12 : s21).size(); ++i)
            QVERIFY(dsm.rawPoints(c).at(i).frequency == (c ? s12 : s21).at(i) && dsm.rawPoints(c).at(i).real < TScanPoint::kEmptyReal);
}

QTEST_GUILESS_MAIN(TstScanSweep)
#include "tst_scansweep.moc"
