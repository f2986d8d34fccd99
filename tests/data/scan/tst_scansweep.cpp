// The sweep end to end: the managers as start-up builds them, the
// application's serial port on the link of a simulated device.
#include "core/settingsmanager.h"
#include "data/device/commandqueue.h"
#include "data/device/connectionmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "data/scan/scanpayloads.h"

#include "logcapture.h"
#include "recordingdialogs.h"
#include "simulator.h"
#include "tempappdir.h"

#include <QDataStream>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace ZData;
using ZCore::SettingsManager;
using Cmd = ZData::EDeviceCommands;

namespace {

constexpr int kSweepTimeoutMs = 30000;
constexpr int kSweepsToWatch = 3;

DataScanManager &dsm()
{
    return DataScanManager::instance();
}

bool isScan(quint16 command)
{
    return command == quint16(Cmd::DA_GET_SCAN_DATA_S21) || command == quint16(Cmd::DA_GET_SCAN_DATA_S12);
}

// The frequencies a scan request carries.
QVector<quint64> requestedFrequencies(const QByteArray &payload)
{
    QDataStream in(payload);
    in.setByteOrder(QDataStream::LittleEndian);
    qint8 reserved = 0;
    qint16 count = 0;
    in >> reserved >> count;
    QVector<quint64> frequencies;
    for (int i = 0; i < count; ++i) {
        qint64 frequency = 0;
        in >> frequency;
        frequencies << quint64(frequency);
    }
    return frequencies;
}

// A channel's frequencies as the device is to be asked for them: slices of
// 25 points, each slice counted from its own first point.
QVector<quint64> expectedFrequencies(const TChannelPreset &channel)
{
    const quint32 points = qMax<quint32>(channel.points, 2);
    const double step = qMax((channel.stop.hz() - channel.start.hz()) / double(points - 1), 0.001);
    QVector<quint64> frequencies;
    for (quint32 first = 0; first < points; first += 25) {
        const double f0 = channel.start.hz() + double(first) * step;
        for (quint32 i = 0; i < 25 && first + i < points; ++i)
            frequencies << quint64(f0 + double(i) * step);
    }
    return frequencies;
}

} // namespace

class TstScanSweep : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void endlessSweep_data();
    void endlessSweep();

private:
    bool initManagersAsAtStartup(int preset, int power);

    std::unique_ptr<TestSupport::TempAppDir> m_dir;
    std::unique_ptr<TestSupport::RecordingDialogs> m_dialogs;
    std::unique_ptr<TestSupport::LogCapture> m_log;
    std::unique_ptr<MeroSim::Simulator> m_sim;
};

void TstScanSweep::init()
{
    m_log = std::make_unique<TestSupport::LogCapture>();
    m_dialogs = std::make_unique<TestSupport::RecordingDialogs>();
    m_dir = std::make_unique<TestSupport::TempAppDir>();
    QVERIFY(m_dir->isValid());
}

void TstScanSweep::cleanup()
{
    DM::SerialPort::instance().close(true);
    DM::CommandQueue::instance().clearQueue();
    DeviceMessageManager::instance().reset();
    m_sim.reset();
    if (QSettings *current = SettingsManager::currentSettings())
        current->sync();
    m_dir.reset();
    m_dialogs.reset();
    m_log.reset();
}

bool TstScanSweep::initManagersAsAtStartup(int preset, int power)
{
    if (!SettingsManager::init())
        return false;
    QSettings *current = SettingsManager::currentSettings();
    current->setValue(QStringLiteral("Default/selected_scan_preset"), preset);
    current->setValue(QStringLiteral("Default/selected_source_power"), power);
    current->sync();
    const bool ok = DeviceMessageManager::init() && DM::SerialPort::init() && ConnectionManager::init()
                    && DeviceManager::init() && dsm().init();
    dsm().activateStoredSelection();
    return ok;
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
    QVERIFY(initManagersAsAtStartup(preset, power));
    QCOMPARE(dsm().activePreset(), preset);
    QCOMPARE(dsm().powerIndex(), power);

    MeroSim::Options options;
    options.linkPath = m_dir->filePath(QStringLiteral("ttyMERO"));
    options.quiet = true;
    m_sim = std::make_unique<MeroSim::Simulator>(options);
    QVERIFY2(m_sim->start(), qPrintable(m_sim->lastError()));

    QSignalSpy reachedEnd(&dsm(), &DataScanManager::signalActiveScanPresetReachedEnd);
    QVERIFY(DM::SerialPort::instance().openPort(m_sim->linkPath()));
    QTRY_VERIFY_WITH_TIMEOUT(reachedEnd.count() >= kSweepsToWatch, kSweepTimeoutMs);

    // Start-up: the sample size and the gain of the profile reached the device.
    QCOMPARE(int(m_sim->sampleSize()), int(dsm().rfParameters().sampleSize));
    const QVector<MeroSim::ReceivedFrame> &frames = m_sim->receivedFrames();
    int firstScan = 0;
    while (firstScan < frames.size() && !isScan(frames.at(firstScan).command))
        ++firstScan;
    QVERIFY(firstScan >= 2);
    QCOMPARE(frames.at(firstScan - 2).command, quint16(Cmd::DA_SET_SAMPLE_SIZE));
    QCOMPARE(frames.at(firstScan - 2).payload, ScanPayloads::sampleSize(dsm().rfParameters().sampleSize));
    QCOMPARE(frames.at(firstScan - 1).command, quint16(Cmd::DA_SET_GAIN_VALUE));
    QCOMPARE(frames.at(firstScan - 1).payload, ScanPayloads::gain(dsm().rfParameters().gain));

    const TScanPreset &active = dsm().presetAt(preset);
    const QVector<quint64> s21 = expectedFrequencies(active.channel(0));
    const QVector<quint64> s12 = expectedFrequencies(active.channel(1));
    const int slicesPerSweep = (s21.size() + 24) / 25 + (s12.size() + 24) / 25;

    // Two full sweeps on the wire: S21 slices, then S12 slices, with an ADC
    // read after every second scan request.
    QVector<quint64> swept[2];
    int scans = 0;
    for (int i = firstScan; scans < 2 * slicesPerSweep; ++i) {
        QVERIFY(i < frames.size());
        const MeroSim::ReceivedFrame &frame = frames.at(i);
        if (scans > 0 && scans % 2 == 0 && isScan(frames.at(i - 1).command)) {
            QCOMPARE(frame.command, quint16(Cmd::DA_GET_ADC_VALUE));
            continue;
        }
        QVERIFY2(isScan(frame.command), qPrintable(QString::number(frame.command, 16)));
        QCOMPARE(int(frame.options), power);
        const int sweepSlice = scans % slicesPerSweep;
        const int channel = frame.command == quint16(Cmd::DA_GET_SCAN_DATA_S21) ? 0 : 1;
        QCOMPARE(channel, sweepSlice < (s21.size() + 24) / 25 ? 0 : 1);
        if (sweepSlice == 0) {
            swept[0].clear();
            swept[1].clear();
        }
        swept[channel] << requestedFrequencies(frame.payload);
        ++scans;
        if (sweepSlice == slicesPerSweep - 1) {
            QCOMPARE(swept[0], s21);
            QCOMPARE(swept[1], s12);
        }
    }

    // Every point of both channels was measured at its frequency.
    for (int c = 0; c < 2; ++c) {
        const QVector<quint64> &expected = c == 0 ? s21 : s12;
        QCOMPARE(dsm().channelPointCount(c), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            const TScanPoint point = dsm().rawPoints(c).at(i);
            QCOMPARE(point.frequency, expected.at(i));
            QVERIFY2(point.real < 99999.0f && point.real > 0.0f, qPrintable(QString::number(point.real)));
        }
    }
    QVERIFY(m_log->lines(QtCriticalMsg).isEmpty());
}

QTEST_GUILESS_MAIN(TstScanSweep)
#include "tst_scansweep.moc"
