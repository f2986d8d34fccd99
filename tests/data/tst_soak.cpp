// The application's whole device and measurement chain sweeping for a long
// while against a simulated device that misbehaves at random: damaged
// headers and payloads, wrong commands, lost replies and requests, replies
// in pieces or behind garbage, reports of a damaged host frame, faults back
// to back, and a cable pulled and put back. Nobody reconnects by hand: the
// link has to come back by itself. The device answers every point with a signature of its channel,
// power and frequency, so every value the sweep stores can be checked
// against the place it was stored at.
//
// MERO_SOAK_SECONDS sets the length of the faulty phase (default 120),
// MERO_SOAK_SEED the seed of the faults (default below; it is printed).
#include "core/settingsmanager.h"
#include "data/calibration/calibrationmanager.h"
#include "data/device/connectionmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "data/scan/scanpayloads.h"
#include "data/server/servermanager.h"

#include "loopbackhttpserver.h"
#include "recordingdialogs.h"
#include "repeatermodel.h"
#include "simulator.h"
#include "tempappdir.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime; not every compiler ships its header.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

#include <map>
#include <memory>

using namespace ZData;
using MeroSim::FaultKind;
using MeroSim::FaultRule;
using Model = MeroSim::RepeaterModel;

namespace {

constexpr int kTickMs = 250;
// Set-up, the fault-free tail and a stall, on top of the faulty phase.
constexpr qint64 kTestOverheadSeconds = 300;
// Longest the sweep may rest: two lost replies, a reconnect step and a
// start-up, several times over. Only a hang takes longer.
constexpr qint64 kStallMs = 30000;
constexpr int kSetupTimeoutMs = 60000;
// Live heap may grow this much, plus a tenth, between a quarter of the run
// and its end: a few hundred bytes lost per reply would exceed it within the
// default run. Each reconnect reports the firmware version to the update
// server, and that exchange keeps some tens of kilobytes.
constexpr qint64 kHeapSlackBytes = 4 * 1024 * 1024;

// Per reply, of which there are several hundred a second. The cheap faults
// are frequent; a lost reply or request costs a reply timeout, and an unplug
// or three failures in a row a reconnect step, so they are rare.
const QVector<FaultRule> kFaultMix{
    FaultRule::random(FaultKind::FlipHeaderBit, 0.01),
    FaultRule::random(FaultKind::FlipLengthBit, 0.002).inRunsOf(2),
    FaultRule::random(FaultKind::FlipPayloadBit, 0.002).inRunsOf(2),
    FaultRule::random(FaultKind::FlipHeaderBit, 0.0001).inRunsOf(3),
    FaultRule::random(FaultKind::LoseRequest, 0.0002),
    FaultRule::random(FaultKind::FlipPayloadBit, 0.01),
    FaultRule::random(FaultKind::WrongCommand, 0.005),
    FaultRule::random(FaultKind::DropReply, 0.0001),
    FaultRule::random(FaultKind::SplitChunks, 0.05),
    FaultRule::random(FaultKind::GarbageBeforeStart, 0.02),
    FaultRule::random(FaultKind::ReportBadHostFrame, 0.005),
    FaultRule::random(FaultKind::Unplug, 0.0001),
};
// Kinds this likely strike in any run.
constexpr double kSurelyStruck = 0.005;

// A real event loop: QTest::qWait sleeps between its rounds of events and
// would slow the link down to a crawl.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

qint64 soakSeconds()
{
    const int seconds = qEnvironmentVariableIntValue("MERO_SOAK_SECONDS");
    return seconds > 0 ? seconds : 120;
}

qint64 liveHeapBytes()
{
#if defined(__SANITIZE_ADDRESS__)
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
#endif
}

std::map<QString, QByteArray> filesUnder(const QStringList &dirs)
{
    std::map<QString, QByteArray> files;
    for (const QString &dir : dirs) {
        for (QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly))
                files[file.fileName()] = file.readAll();
        }
    }
    return files;
}

// A long run logs hundreds of thousands of lines: only criticals are kept,
// they fail the run.
QtMessageHandler g_previousHandler = nullptr;
QStringList g_criticals;

} // namespace

class TstSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void sweepSurvivesRandomFaults();

private:
    void checkWire(const TRFParameters &rf);
    void checkSlice(EScanChannel channel);
    int pointsOutOfPlace(int channel, int first, int count);
    bool waitForSweeps(int more, int timeoutMs);

    TestSupport::RecordingDialogs m_dialogs;
    TestSupport::TempAppDir m_dir;
    TestSupport::LoopbackHttpServer m_updateServer;
    std::unique_ptr<MeroSim::Simulator> m_sim;

    QElapsedTimer m_clock;
    qint64 m_lastSliceAt = 0;
    bool m_switching = false;
    int m_sweeps[kScanChannelCount] = {0, 0};
    int m_misplaced = 0;
    QString m_firstMisplaced;
    QMap<QString, int> m_faults;
    bool m_awaitingResume = false;
};

void TstSoak::initTestCase()
{
    g_previousHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            g_criticals << text;
    });
    m_updateServer.setDefaultResponse(TestSupport::LoopbackHttpServer::Response::text("#OK: accepted"));

    // The managers in start-up order, each wired to the others.
    QVERIFY(ZCore::SettingsManager::init());
    QVERIFY(DeviceMessageManager::init() && DM::SerialPort::init() && ConnectionManager::init()
            && DeviceManager::init());
    QVERIFY(ServerManager::instance().setBaseUrl(m_updateServer.url().toString()));
    QVERIFY(CalibrationManager::instance().init());
    DataScanManager &scan = DataScanManager::instance();
    QVERIFY(scan.init());
    scan.setActivePreset(0, false);
    // Stored values are the device's values unscaled.
    QCOMPARE(scan.rfParameters().rfOffset, 1.0);
    connect(&scan, &DataScanManager::signalProcessedScanData, this, &TstSoak::checkSlice);
    m_clock.start();

    MeroSim::Options options;
    options.linkPath = m_dir.filePath(QStringLiteral("ttyMERO"));
    options.quiet = true;
    options.scanValues = MeroSim::ScanValues::Signature;
    options.unplugDelayMs = 1500; // back before the first reconnect step
    options.chunkMax = 32;
    bool seeded = false;
    options.seed = qEnvironmentVariable("MERO_SOAK_SEED").toULongLong(&seeded);
    if (!seeded)
        options.seed = 20261206;
    g_previousHandler(QtInfoMsg, QMessageLogContext(), QStringLiteral("soak: seed %1").arg(options.seed));
    m_sim = std::make_unique<MeroSim::Simulator>(options);
    connect(m_sim.get(), &MeroSim::Simulator::replySent, this, [this](const MeroSim::SentReply &reply) {
        m_awaitingResume = m_awaitingResume || !reply.faults.isEmpty();
        for (FaultKind kind : reply.faults)
            ++m_faults[FaultRule::kindName(kind)];
    });
    QVERIFY2(m_sim->start(), qPrintable(m_sim->lastError()));

    // A healthy start: connect, calibrate every preset, use the calibration.
    QSignalSpy started(&scan, &DataScanManager::signalFinishedDeviceStartup);
    QVERIFY(DM::SerialPort::instance().openPort(m_sim->linkPath()));
    QVERIFY(started.wait(kSetupTimeoutMs));
    QVERIFY(waitForSweeps(1, kSetupTimeoutMs));
    checkWire(scan.rfParameters());
    // Every preset at both powers, a step each; the user's preset is back after.
    const int presets = scan.presetCount();
    scan.setActivePreset(presets - 1, true);
    QSignalSpy progress(&CalibrationManager::instance(), &CalibrationManager::signalReportCalibProcess);
    QSignalSpy calibrated(&CalibrationManager::instance(), &CalibrationManager::signalFinishedCalibration);
    CalibrationManager::instance().startCalibration();
    QVERIFY(calibrated.wait(kSetupTimeoutMs));
    QCOMPARE(progress.count(), 2 * presets);
    QCOMPARE((QList<int>{progress.at(presets - 1).at(0).toInt(), progress.last().at(0).toInt()}), (QList<int>{50, 100}));
    QCOMPARE(scan.activePreset(), presets - 1);
    QVERIFY(QFileInfo::exists(CalibrationManager::calibrationFilePath(DeviceManager::instance().deviceInfo().id)));
    scan.setUseCalib(true);
    QVERIFY(scan.useCalib());
    QVERIFY(waitForSweeps(1, kSetupTimeoutMs));
}

void TstSoak::cleanupTestCase()
{
    DM::SerialPort::instance().close(true);
    m_sim.reset();
    qInstallMessageHandler(g_previousHandler);
}

// The profile's sample size and gain reach the device before the first scan
// request, and the input level is read after every second one.
void TstSoak::checkWire(const TRFParameters &rf)
{
    const QVector<MeroSim::ReceivedFrame> &frames = m_sim->receivedFrames();
    int first = 0;
    while (first < frames.size() && frames.at(first).command != quint16(EDeviceCommands::DA_GET_SCAN_DATA_S21))
        ++first;
    QVERIFY(first >= 2 && first < frames.size());
    QCOMPARE(frames.at(first - 2).payload, ScanPayloads::sampleSize(rf.sampleSize));
    QCOMPARE(frames.at(first - 1).payload, ScanPayloads::gain(rf.gain));
    QString adcReads, expected;
    for (int i = first; i < frames.size(); ++i)
        adcReads += frames.at(i).command == quint16(EDeviceCommands::DA_GET_ADC_VALUE) ? 'A' : 's';
    for (int scan = 0; expected.size() < adcReads.size(); ++scan)
        expected += scan > 0 && scan % 2 == 0 ? QStringLiteral("As") : QStringLiteral("s");
    QCOMPARE(adcReads, expected.left(adcReads.size()));
}

// Every value of the slice just stored is the one the device measured at
// the frequency stored beside it; the calibrated value divides it by its
// own reference. The user picks another preset now and then, and another
// source power: later, while a reply is in flight.
void TstSoak::checkSlice(EScanChannel channel)
{
    const DS::RangeSliced &range = DataScanManager::instance().channelRange(channel);
    m_lastSliceAt = m_clock.elapsed();
    if (range.sliceCount() == 0)
        return; // a reply for a sweep restarted meanwhile, ignored
    m_awaitingResume = false;
    m_misplaced += pointsOutOfPlace(channel, int(range.sliceStart()), int(range.sliceCount()));
    if (range.sliceStart() + range.sliceCount() < range.points())
        return;
    const int sweep = ++m_sweeps[channel];
    if (channel != EScanChannel::S12 || !m_switching)
        return;
    QTimer::singleShot(kTickMs / 5, this, [sweep] {
        DataScanManager &scan = DataScanManager::instance();
        if (sweep % 3 == 0)
            scan.switchActivePreset(1);
        if (sweep % 7 == 0)
            scan.setPowerIndex(DataScanManager::kPowerHigh - scan.powerIndex(), true);
    });
}

int TstSoak::pointsOutOfPlace(int channel, int first, int count)
{
    const DataScanManager &scan = DataScanManager::instance();
    const QVector<TScanPoint> &raw = scan.rawPoints(channel);
    const QVector<TScanPoint> &calibrated = scan.calibratedPoints(channel);
    int wrong = 0;
    for (int i = first; i < first + count; ++i) {
        const float expected = Model::signature(channel == EScanChannel::S12 ? Model::Channel::S12 : Model::Channel::S21, raw.at(i).frequency,
                                                scan.powerIndex() == DataScanManager::kPowerHigh ? Model::Power::High : Model::Power::Low);
        if (raw.at(i).real == expected
            && (!scan.useCalib() || (calibrated.at(i).real == 1.0f && calibrated.at(i).frequency == raw.at(i).frequency)))
            continue;
        if (m_firstMisplaced.isEmpty())
            m_firstMisplaced = QStringLiteral("channel %1 point %2 at %3 Hz: raw %4 (expected %5), calibrated %6")
                                   .arg(channel).arg(i).arg(raw.at(i).frequency)
                                   .arg(double(raw.at(i).real), 0, 'g', 9).arg(double(expected), 0, 'g', 9)
                                   .arg(double(calibrated.at(i).real), 0, 'g', 9);
        ++wrong;
    }
    return wrong;
}

bool TstSoak::waitForSweeps(int more, int timeoutMs)
{
    const int wanted[] = {m_sweeps[0] + more, m_sweeps[1] + more};
    QElapsedTimer waited;
    waited.start();
    while (m_sweeps[0] < wanted[0] || m_sweeps[1] < wanted[1]) {
        if (waited.elapsed() > timeoutMs)
            return false;
        runFor(kTickMs);
    }
    return true;
}

void TstSoak::sweepSurvivesRandomFaults()
{
    const qint64 soakMs = soakSeconds() * 1000;
    const QStringList stored{ZCore::SettingsManager::profilesDirPath(), CalibrationManager::calibrationDirPath()};
    const std::map<QString, QByteArray> filesBefore = filesUnder(stored);
    QVERIFY(filesBefore.size() >= 4); // three profiles, the table, a calibration

    for (const FaultRule &rule : kFaultMix)
        m_sim->addFault(rule);
    m_switching = true;
    m_lastSliceAt = m_clock.elapsed();
    const qint64 start = m_clock.elapsed();
    qint64 heapStart = 0;
    while (m_clock.elapsed() - start < soakMs) {
        runFor(kTickMs);
        // The device's own record of every frame would grow for ever.
        m_sim->clearStatistics();
        QVERIFY2(m_clock.elapsed() - m_lastSliceAt < kStallMs,
                 qPrintable(QStringLiteral("no slice stored for %1 ms").arg(m_clock.elapsed() - m_lastSliceAt)));
        if (heapStart == 0 && m_clock.elapsed() - start >= soakMs / 4)
            heapStart = liveHeapBytes();
    }
    const qint64 heapEnd = liveHeapBytes();

    // Faults off: both channels are swept through again, from the place the
    // last fault left them.
    m_sim->clearFaults();
    m_switching = false;
    QVERIFY2(waitForSweeps(2, int(kStallMs)), "the sweep did not resume after the last fault");
    QVERIFY(!m_awaitingResume);
    QStringList faults;
    for (auto it = m_faults.cbegin(); it != m_faults.cend(); ++it)
        faults << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    g_previousHandler(QtInfoMsg, QMessageLogContext(), QStringLiteral("soak: %1 s, faults: %2, live heap %3 -> %4 bytes")
              .arg(soakMs / 1000).arg(faults.join(QStringLiteral(", "))).arg(heapStart).arg(heapEnd));

    QVERIFY2(m_misplaced == 0, qPrintable(QStringLiteral("%1 points out of place, first: %2").arg(m_misplaced).arg(m_firstMisplaced)));
    // Every point of the last sweep of both channels is in its place.
    for (int c = 0; c < kScanChannelCount; ++c)
        QCOMPARE(pointsOutOfPlace(c, 0, DataScanManager::instance().channelPointCount(c)), 0);
    QVERIFY2(g_criticals.isEmpty(), qPrintable(g_criticals.join('\n')));
    for (const FaultRule &rule : kFaultMix)
        QVERIFY(rule.probability < kSurelyStruck || m_faults.contains(FaultRule::kindName(rule.kind)));
    QVERIFY(heapEnd - heapStart < kHeapSlackBytes + heapStart / 10);
    QVERIFY(filesUnder(stored) == filesBefore);
}

int main(int argc, char *argv[])
{
    // QtTest ends a test function after five minutes unless told otherwise.
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number((soakSeconds() + kTestOverheadSeconds) * 1000));
    QCoreApplication app(argc, argv);
    TstSoak test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_soak.moc"
