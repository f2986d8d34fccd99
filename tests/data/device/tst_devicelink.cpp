// The whole device link on the wire: the application's serial port, frame
// layer, command queue, device and connection managers against the MERO
// simulator on a real pseudo-terminal. The simulator frames bytes with its
// own code and records every host frame it accepted, so each test can say
// exactly what the host put on the wire.
#include "core/enumtext.h"
#include "data/device/commandqueue.h"
#include "data/device/connectionmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"
#include "data/server/servermanager.h"

#include "handframes.h"
#include "logcapture.h"
#include "loopbackhttpserver.h"
#include "simulator.h"
#include "updateserver.h"

#include <QDataStream>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace ZData;
using ZData::DM::CommandQueue;
using ZData::DM::SerialPort;
using Cmd = ZData::EDeviceCommands;
using MeroSim::FaultKind;
using MeroSim::FaultRule;

namespace {

// Longest a healthy exchange may take; a reply timeout (2000 ms) and a
// reconnect step (2000 ms) fit several times.
constexpr int kWaitMs = 10000;
constexpr quint16 kMeroTypeState = 0x0016;
constexpr quint16 kTavelTypeState = 0x0008;
const QString kSimId = QStringLiteral("4587553-825774358-875575351");
const QString kSimVersion = QStringLiteral("1.4.12");

DeviceManager &manager()
{
    return DeviceManager::instance();
}

// "D_GET_DEVICE_ID", or "O_RESEND_PACKET_FROM_DEVICE 5" when options are set.
QString frameText(const MeroSim::ReceivedFrame &frame)
{
    const QString name = ZCore::enumKey(static_cast<Cmd>(frame.command));
    return frame.options == 0 ? name : QStringLiteral("%1 %2").arg(name).arg(frame.options);
}

const QStringList kIdentification{"D_GET_DEVICE_ID", "D_GET_DEVICE_FULL_TYPE", "D_GET_FIRMWARE_VERSION"};
constexpr int kImageSize = 3000; // three chunks, the last one 952 bytes
const MeroSim::FirmwareImage::Version kNewVersion{{1u, 5u, 0u}};

} // namespace

class TstDeviceLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void identificationWaitsForEachReply();
    void oneBadReplyCostsOneResend_data();
    void oneBadReplyCostsOneResend();
    void scanRepliesRecover_data();
    void scanRepliesRecover();
    void threeFailuresDisconnect();
    void anotherDeviceTypeIsDisconnected();
    void unplugReconnectsAndIdentifiesAgain();
    void firmwareUpdateFromApplicationToNewVersion();
    void missingUpdateFilesStopBeforeTransfer();

private:
    bool startSimulator(MeroSim::Options options = {});
    // The simulated device together with the simulated update server.
    bool startForUpdate(bool inBootloader);
    QStringList wire() const;
    // Arms a fault for the simulator's answer to the next frame carrying
    // this command: the fault strikes that very reply.
    void armOnRequest(Cmd command, const FaultRule &rule);

    TestSupport::LoopbackHttpServer m_updateServer;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MeroSim::Simulator> m_sim;
    std::unique_ptr<MeroSim::UpdateServer> m_simServer;
};

void TstDeviceLink::initTestCase()
{
    QVERIFY(DeviceMessageManager::init());
    QVERIFY(SerialPort::init());
    QVERIFY(ConnectionManager::init());
    QVERIFY(DeviceManager::init());
    // After identification the version goes to the update server: a loopback
    // one, so no test ever resolves a name or leaves the machine.
    QVERIFY(m_updateServer.isListening());
    m_updateServer.setDefaultResponse(TestSupport::LoopbackHttpServer::Response::text("#OK: accepted"));
    QVERIFY(ServerManager::instance().setBaseUrl(m_updateServer.url().toString()));
}

void TstDeviceLink::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    ConnectionManager::instance().setAutoReconnect(true);
    manager().setDeviceInfo(DeviceInfo());
    QVERIFY(ServerManager::instance().setBaseUrl(m_updateServer.url().toString()));
}

void TstDeviceLink::cleanup()
{
    // The host lets go first, so the simulator's exit is no lost device.
    SerialPort::instance().close(true);
    QVERIFY(!ConnectionManager::instance().isWaitingToReconnect());
    m_sim.reset();
    m_simServer.reset();
    m_dir.reset();
    manager().disconnect(this);
}

bool TstDeviceLink::startSimulator(MeroSim::Options options)
{
    options.linkPath = m_dir->filePath(QStringLiteral("ttyMERO"));
    options.quiet = true;
    m_sim = std::make_unique<MeroSim::Simulator>(options);
    return m_sim->start();
}

QStringList TstDeviceLink::wire() const
{
    QStringList frames;
    for (const MeroSim::ReceivedFrame &frame : m_sim->receivedFrames())
        frames << frameText(frame);
    return frames;
}

void TstDeviceLink::armOnRequest(Cmd command, const FaultRule &rule)
{
    auto armed = std::make_shared<bool>(false);
    connect(m_sim.get(), &MeroSim::Simulator::frameReceived, this,
            [this, command, rule, armed](const MeroSim::ReceivedFrame &frame) {
                if (*armed || frame.command != quint16(command))
                    return;
                *armed = true;
                m_sim->addFault(rule);
            });
}

void TstDeviceLink::identificationWaitsForEachReply()
{
    MeroSim::Options options;
    // Replies leave a moment after the request, so a host that did not wait
    // would show a second request before the first reply.
    options.timing = MeroSim::Timing::Realistic;
    QVERIFY(startSimulator(options));
    QStringList timeline;
    connect(m_sim.get(), &MeroSim::Simulator::frameReceived, this, [&](const MeroSim::ReceivedFrame &frame) {
        timeline << QStringLiteral("request ") + frameText(frame);
    });
    connect(m_sim.get(), &MeroSim::Simulator::bytesWritten, this, [&](const QByteArray &bytes) {
        timeline << QStringLiteral("reply %1 bytes").arg(bytes.size());
    });
    QSignalSpy finished(&manager(), &DeviceManager::signalStartupFinished);
    const int serverRequestsBefore = m_updateServer.requests().size();
    TestSupport::LogCapture log;

    QVERIFY(SerialPort::instance().openPort(m_sim->linkPath()));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(timeline, (QStringList{"request D_GET_DEVICE_ID", "reply 29 bytes", "request D_GET_DEVICE_FULL_TYPE",
                                    "reply 17 bytes", "request D_GET_FIRMWARE_VERSION", "reply 29 bytes"}));
    // The first frame after opening counts 0; each request that waits for a
    // reply advances the counter twice.
    QList<quint16> counts;
    for (const MeroSim::ReceivedFrame &frame : m_sim->receivedFrames())
        counts << frame.frameCount;
    QCOMPARE(counts, (QList<quint16>{0, 2, 4}));
    QCOMPARE(m_sim->receivedFrames().first().typeState, quint16(0x80FF));
    QCOMPARE(m_sim->receivedFrames().last().typeState, kMeroTypeState);

    const DeviceInfo &info = manager().deviceInfo();
    QCOMPARE(info.id, kSimId);
    QCOMPARE(info.firmwareVersion.toString(), kSimVersion);
    QVERIFY(log.contains(QStringLiteral("DeviceManager >> device info:\nID:      %1\nType:    EDeviceTypes::OSKIRO_MERO\n"
                                        "State:   EDeviceStates::MAINAPP\nVersion: %2\n").arg(kSimId, kSimVersion)));
    // The version reached the update server before start-up finished.
    QCOMPARE(m_updateServer.requests().size(), serverRequestsBefore + 1);
    const auto fields = m_updateServer.requests().last().formFields();
    QCOMPARE(fields, (QList<QPair<QString, QString>>{{"device_number", kSimId}, {"device_soft_version", kSimVersion}}));
    QVERIFY(CommandQueue::instance().isEmpty());
    QVERIFY(log.lines(QtWarningMsg).isEmpty());
}

void TstDeviceLink::oneBadReplyCostsOneResend_data()
{
    QTest::addColumn<FaultKind>("fault");
    QTest::addColumn<QStringList>("expectedWire");
    QTest::addColumn<QString>("hostWarning");

    const auto withResend = [](const QString &request) {
        return QStringList{"D_GET_DEVICE_ID", "D_GET_DEVICE_FULL_TYPE", request, "D_GET_FIRMWARE_VERSION"};
    };
    QTest::newRow("header bit flipped") << FaultKind::FlipHeaderBit << withResend("O_RESEND_PACKET_FROM_DEVICE 5")
                                        << "error in received packet: DMM::EStates::E_HEADER_FAILED";
    QTest::newRow("crc bit flipped") << FaultKind::FlipPayloadBit << withResend("O_RESEND_PACKET_FROM_DEVICE 6")
                                     << "error in received packet: DMM::EStates::E_PACKET_FAILED";
    QTest::newRow("wrong command") << FaultKind::WrongCommand << withResend("O_RESEND_PACKET_FROM_DEVICE 1")
                                   << "error in received packet: DMM::EStates::E_COMMAND_MISMATCH";
    QTest::newRow("reply dropped") << FaultKind::DropReply << withResend("O_RESEND_PACKET_FROM_DEVICE 2")
                                   << "error in received packet: DMM::EStates::E_REPLY_TIMEOUT";
    QTest::newRow("device reports a bad host frame")
        << FaultKind::ReportBadHostFrame << withResend("D_GET_DEVICE_FULL_TYPE") << "error in sent packet. Resending..";
    QTest::newRow("single-byte chunks") << FaultKind::SplitChunks << kIdentification << QString();
    QTest::newRow("garbage before the start") << FaultKind::GarbageBeforeStart << kIdentification << QString();
}

void TstDeviceLink::oneBadReplyCostsOneResend()
{
    QFETCH(FaultKind, fault);
    QFETCH(QStringList, expectedWire);
    QFETCH(QString, hostWarning);
    MeroSim::Options options;
    options.chunkMax = 1;
    QVERIFY(startSimulator(options));
    // The type reply is the one that goes wrong: the identifier has been
    // taken already and the version is still to come.
    armOnRequest(Cmd::D_GET_DEVICE_FULL_TYPE, FaultRule::once(fault));
    QSignalSpy finished(&manager(), &DeviceManager::signalStartupFinished);
    QSignalSpy replies(m_sim.get(), &MeroSim::Simulator::replySent);
    TestSupport::LogCapture log;

    QVERIFY(SerialPort::instance().openPort(m_sim->linkPath()));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(wire(), expectedWire);
    // The fault struck the type reply and nothing else.
    int struck = 0;
    for (const QList<QVariant> &call : qAsConst(replies))
        struck += call.first().value<MeroSim::SentReply>().faults.contains(fault) ? 1 : 0;
    QCOMPARE(struck, 1);

    const DeviceInfo &info = manager().deviceInfo();
    QCOMPARE(info.id, kSimId);
    QCOMPARE(info.deviceType, quint8(EDeviceTypes::OSKIRO_MERO));
    QCOMPARE(info.deviceState, quint8(EDeviceStates::MAINAPP));
    QCOMPARE(info.firmwareVersion.toString(), kSimVersion);
    QCOMPARE(DeviceMessageManager::instance().resendBudget(), DeviceMessageManager::kResendBudget);
    QVERIFY(SerialPort::instance().isOpen());
    if (hostWarning.isEmpty())
        QVERIFY2(log.lines(QtWarningMsg).isEmpty(), qPrintable(log.lines(QtWarningMsg).join('\n')));
    else
        QCOMPARE(log.count(hostWarning), 1);
}

void TstDeviceLink::scanRepliesRecover_data()
{
    QTest::addColumn<FaultKind>("fault");
    QTest::addColumn<int>("resendOptions");
    QTest::newRow("payload bit flipped") << FaultKind::FlipPayloadBit << 6;
    QTest::newRow("header bit flipped") << FaultKind::FlipHeaderBit << 5;
    QTest::newRow("single-byte chunks") << FaultKind::SplitChunks << 0;
}

// Scan replies carry the longest payloads; a fault in the middle of a run of
// them costs one resend and every slice still arrives, in order.
void TstDeviceLink::scanRepliesRecover()
{
    QFETCH(FaultKind, fault);
    QFETCH(int, resendOptions);
    MeroSim::Options options;
    options.chunkMax = 1;
    QVERIFY(startSimulator(options));
    QSignalSpy finished(&manager(), &DeviceManager::signalStartupFinished);
    QVERIFY(SerialPort::instance().openPort(m_sim->linkPath()));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    m_sim->clearStatistics();

    const QList<QVector<qint64>> slices{{700000000, 710000000}, {720000000, 730000000, 740000000}, {750000000}};
    QList<int> pointsReceived;
    connect(&manager(), &DeviceManager::signalGotScanData, this, [&](const TDeviceReply &reply) {
        QDataStream in(reply.data);
        in.setByteOrder(QDataStream::LittleEndian);
        in.setFloatingPointPrecision(QDataStream::SinglePrecision);
        float count = 0;
        in >> count;
        pointsReceived << int(count);
    });
    // The reply to the second slice goes wrong: armed once the first is in,
    // before the second is asked for.
    connect(&manager(), &DeviceManager::signalGotScanData, this, [&] {
        if (pointsReceived.size() == 1)
            m_sim->addFault(FaultRule::once(fault));
    });
    for (const QVector<qint64> &slice : slices) {
        const QByteArray payload = TestSupport::HandFrames::scanPayload(slice);
        CommandQueue::instance().enqueue(Cmd::DA_GET_SCAN_DATA_S21, [payload](const TCommandHeader &header) {
            DeviceManager::instance().sendRequest(Cmd::DA_GET_SCAN_DATA_S21, payload, header.options);
        });
    }
    QTRY_COMPARE_WITH_TIMEOUT(pointsReceived.size(), slices.size(), kWaitMs);
    QCOMPARE(pointsReceived, (QList<int>{2, 3, 1}));

    QStringList expected{"DA_GET_SCAN_DATA_S21", "DA_GET_SCAN_DATA_S21"};
    if (resendOptions != 0)
        expected << QStringLiteral("O_RESEND_PACKET_FROM_DEVICE %1").arg(resendOptions);
    expected << "DA_GET_SCAN_DATA_S21";
    QCOMPARE(wire(), expected);
    QTRY_VERIFY(CommandQueue::instance().isEmpty());
}

void TstDeviceLink::threeFailuresDisconnect()
{
    QVERIFY(startSimulator());
    armOnRequest(Cmd::D_GET_DEVICE_FULL_TYPE, FaultRule::everyNth(FaultKind::FlipHeaderBit, 1));
    QSignalSpy closed(&SerialPort::instance(), &SerialPort::signalClosed);
    QSignalSpy lost(&SerialPort::instance(), &SerialPort::signalLost);
    QSignalSpy finished(&manager(), &DeviceManager::signalStartupFinished);
    TestSupport::LogCapture log;

    QVERIFY(SerialPort::instance().openPort(m_sim->linkPath()));
    QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, kWaitMs);
    QVERIFY(!SerialPort::instance().isOpen());
    // Two requests to resend, then the third failure gives up.
    QCOMPARE(wire(), (QStringList{"D_GET_DEVICE_ID", "D_GET_DEVICE_FULL_TYPE", "O_RESEND_PACKET_FROM_DEVICE 5",
                                  "O_RESEND_PACKET_FROM_DEVICE 5"}));
    QCOMPARE(log.count(QStringLiteral("] >> DMM::EStates::E_HEADER_FAILED")), 3);
    QCOMPARE(log.count(QStringLiteral("DeviceManager >> limit of resends is exceeded. Disconnecting..")), 1);
    QVERIFY(log.contains(QStringLiteral("SerialPort >> closed")));
    // Giving up is a decision, not a lost device: nothing reconnects.
    QCOMPARE(lost.count(), 0);
    QVERIFY(!ConnectionManager::instance().isWaitingToReconnect());
    QCOMPARE(finished.count(), 0);
    QVERIFY(CommandQueue::instance().isEmpty());
    QCOMPARE(DeviceMessageManager::instance().resendBudget(), DeviceMessageManager::kResendBudget);
}

void TstDeviceLink::anotherDeviceTypeIsDisconnected()
{
    MeroSim::Options options;
    options.typeState = kTavelTypeState;
    QVERIFY(startSimulator(options));
    QSignalSpy closed(&SerialPort::instance(), &SerialPort::signalClosed);
    QSignalSpy finished(&manager(), &DeviceManager::signalStartupFinished);
    const int serverRequestsBefore = m_updateServer.requests().size();
    TestSupport::LogCapture log;

    QVERIFY(SerialPort::instance().openPort(m_sim->linkPath()));
    QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, kWaitMs);
    QCOMPARE(log.lines(QtCriticalMsg),
             QStringList{"DeviceManager >> dw_err_connected_not_mero_device" "EDeviceTypes::OSKIRO_TAVEL"});
    QVERIFY(log.contains(QStringLiteral("DeviceManager >> limit of resends is exceeded. Disconnecting..")));
    // The disconnect waits behind the version request that was queued
    // before the type was known; nothing is asked after it.
    QCOMPARE(wire(), kIdentification);
    QCOMPARE(finished.count(), 0);
    QCOMPARE(m_updateServer.requests().size(), serverRequestsBefore);
    QVERIFY(!ConnectionManager::instance().isWaitingToReconnect());
}

// The one test that waits for the real reconnect interval.
void TstDeviceLink::unplugReconnectsAndIdentifiesAgain()
{
    MeroSim::Options options;
    options.unplugDelayMs = 300;
    QVERIFY(startSimulator(options));
    QSignalSpy finished(&manager(), &DeviceManager::signalStartupFinished);
    QSignalSpy lost(&SerialPort::instance(), &SerialPort::signalLost);
    QSignalSpy reconnecting(&ConnectionManager::instance(), &ConnectionManager::signalReconnecting);
    QSignalSpy pluggedIn(m_sim.get(), &MeroSim::Simulator::pluggedIn);
    TestSupport::LogCapture log;
    QVERIFY(SerialPort::instance().openPort(m_sim->linkPath()));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);

    // The cable is pulled while the host waits for a reply.
    m_sim->addFault(FaultRule::once(FaultKind::Unplug));
    CommandQueue::instance().enqueue(Cmd::D_GET_OPTIONS);
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, kWaitMs);
    QVERIFY(!SerialPort::instance().isOpen());
    QCOMPARE(reconnecting.count(), 1);
    QVERIFY(log.contains(QStringLiteral("ConnectionManager >> reconnect try #0")));
    QVERIFY(CommandQueue::instance().isEmpty());
    m_sim->clearStatistics();

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, kWaitMs);
    QCOMPARE(pluggedIn.count(), 1);
    QCOMPARE(lost.count(), 1);
    QCOMPARE(wire(), kIdentification);
    QCOMPARE(ConnectionManager::instance().triesLeft(), ConnectionManager::kMaxTries);
    QCOMPARE(log.count(QStringLiteral("DeviceManager >> device info:\nID:      ") + kSimId), 2);
    // The request that was in flight died with the link; nothing replays it.
    QVERIFY(!log.contains(QStringLiteral("reconnect try #1")));
}

bool TstDeviceLink::startForUpdate(bool inBootloader)
{
    MeroSim::Options options;
    options.linkPath = m_dir->filePath(QStringLiteral("ttyMERO"));
    options.quiet = true;
    options.rebootDelayMs = 100;
    options.startInBootloader = inBootloader;
    options.serverVersion = kNewVersion;
    options.serverImageSize = kImageSize;
    m_simServer = std::make_unique<MeroSim::UpdateServer>(options);
    if (!m_simServer->listen() || !ServerManager::instance().setBaseUrl(m_simServer->baseUrl().toString()))
        return false;
    m_sim = std::make_unique<MeroSim::Simulator>(options);
    return m_sim->start() && SerialPort::instance().openPort(m_sim->linkPath());
}

// A whole firmware update, in-process against the simulated device and
// update server: reboot into the bootloader, re-identification, download,
// every chunk on the wire, and the device back in its application with the
// version the image carries.
void TstDeviceLink::firmwareUpdateFromApplicationToNewVersion()
{
    QSignalSpy finished(&manager(), &DeviceManager::signalStartupFinished);
    QVERIFY(startForUpdate(false));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(manager().deviceInfo().firmwareVersion.toString(), QStringLiteral("1.4.12"));
    m_sim->clearStatistics();

    QSignalSpy started(&manager(), &DeviceManager::signalUpdateStarted);
    QList<int> progress;
    connect(&manager(), &DeviceManager::signalUpdateProgress, this, [&progress](int value) {
        progress << value;
        // What the update page does once the last chunk is out.
        if (value == DeviceManager::kFullProgress)
            ConnectionManager::instance().setAutoReconnect(true);
    });
    TestSupport::LogCapture log;
    manager().queueRebootToUpdate();

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 3, kWaitMs);
    const QStringList transfer{"B_INIT_UPDATE 3", "B_SEND_MAINAPP_CHUNK", "B_SEND_MAINAPP_CHUNK 1",
                               "B_SEND_MAINAPP_CHUNK 2"};
    QCOMPARE(wire(), QStringList{"A_REBOOT_TO_UPDATE_MODE"} + kIdentification + transfer + kIdentification);
    const QVector<MeroSim::ReceivedFrame> &frames = m_sim->receivedFrames();
    QCOMPARE(frames[4].payload.toHex(' '), QByteArray("b8 0b 00 00"));
    QCOMPARE(frames[5].payload + frames[6].payload + frames[7].payload, m_simServer->image());
    QCOMPARE(started.count(), 1);
    QCOMPARE(progress, (QList<int>{33, 66, 100}));

    // Re-identification shows the firmware the image carried.
    const DeviceInfo &info = manager().deviceInfo();
    QCOMPARE(info.firmwareVersion.toString(), QStringLiteral("1.5.0"));
    QCOMPARE(info.deviceState, quint8(EDeviceStates::MAINAPP));
    QVERIFY(!info.updatePending);
    QVERIFY(manager().updateData().isEmpty());
    const QPair<QString, QString> report{"device_soft_version", "1.5.0"};
    QCOMPARE(m_simServer->requests().last().last(), report);
    QVERIFY(log.contains(QStringLiteral("ServerManager >> cleared update cache")));
}

void TstDeviceLink::missingUpdateFilesStopBeforeTransfer()
{
    QSignalSpy finished(&manager(), &DeviceManager::signalStartupFinished);
    QVERIFY(startForUpdate(true));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    m_simServer->setError(6);
    m_sim->clearStatistics();
    QSignalSpy started(&manager(), &DeviceManager::signalUpdateStarted);
    QSignalSpy progress(&manager(), &DeviceManager::signalUpdateProgress);
    TestSupport::LogCapture log;

    // The device is in its bootloader already: the image is asked for at once.
    manager().queueUpdateDownload();
    QTRY_VERIFY_WITH_TIMEOUT(CommandQueue::instance().isEmpty(), kWaitMs);
    QCOMPARE(log.lines(QtCriticalMsg), QStringList{"ServerManager >> dw_err_update_files_lost"});
    QVERIFY(log.contains(QStringLiteral("DeviceManager <== ServerManager >> nothing to do with command: "
                                        "EServerCommands::E_BIN_NOT_FOUND")));
    QCOMPARE(started.count(), 0);
    QCOMPARE(progress.count(), 0);
    QCOMPARE(wire(), QStringList());
    QVERIFY(ConnectionManager::instance().autoReconnect());
}

QTEST_GUILESS_MAIN(TstDeviceLink)
#include "tst_devicelink.moc"
