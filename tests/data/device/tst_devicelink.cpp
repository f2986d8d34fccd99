// The whole device link on the wire: the application's serial port, its
// reconnection, frame layer, command queue, device and connection managers
// against the MERO simulator on a real pseudo-terminal. The simulator frames
// bytes with its own code and records every host frame it accepted, so each
// test can say exactly what the host put on the wire.
#include "core/enumtext.h"
#include "data/device/commandqueue.h"
#include "data/device/connectionmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"
#include "data/scan/scanpayloads.h"
#include "data/server/servermanager.h"

#include "handframes.h"
#include "logcapture.h"
#include "loopbackhttpserver.h"
#include "repeatermodel.h"
#include "simulator.h"

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
const QString kSimId = QStringLiteral("4587553-825774358-875575351");
const QString kSimVersion = QStringLiteral("1.4.12");

DeviceManager &manager() { return DeviceManager::instance(); }

const QStringList kIdentification{"D_GET_DEVICE_ID", "D_GET_DEVICE_FULL_TYPE", "D_GET_FIRMWARE_VERSION"};

float signature(qint64 frequency)
{
    using Model = MeroSim::RepeaterModel;
    return Model::signature(Model::Channel::S21, quint64(frequency), Model::Power::Low);
}

// The first frequency from this one whose value holds the frame start byte
// (in either byte order).
qint64 frequencyWithStartByte(qint64 frequency)
{
    for (;; ++frequency) {
        const float value = signature(frequency);
        if (QByteArray(reinterpret_cast<const char *>(&value), sizeof value).contains(char(DeviceMessageManager::kFrameStart)))
            return frequency;
    }
}

} // namespace

class TstDeviceLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void identification_data();
    void identification();
    void scanRepliesRecover_data();
    void scanRepliesRecover();
    void linkGivesUp_data();
    void linkGivesUp();
    void lateServerReplyAfterUnplug();
    void openAndReopenSequence();
    void portErrors_data();
    void portErrors();
    void reconnectTries();
    void timerReopensPort();

private:
    bool startSimulator(MeroSim::Options options = {});
    QStringList wire() const;
    // Arms a fault for the simulator's answer to the next frame carrying
    // this command: the fault strikes that very reply.
    void armOnRequest(Cmd command, const FaultRule &rule);
    void recordSignals();

    QStringList m_events;
    TestSupport::LoopbackHttpServer m_updateServer;
    QTemporaryDir m_dir;
    std::unique_ptr<MeroSim::Simulator> m_sim;
};

void TstDeviceLink::initTestCase()
{
    QVERIFY(DeviceMessageManager::init() && SerialPort::init() && ConnectionManager::init() && DeviceManager::init());
    // After identification the version goes to the update server: a loopback
    // one, so no test ever resolves a name or leaves the machine.
    m_updateServer.setDefaultResponse(TestSupport::LoopbackHttpServer::Response::text("#OK: accepted"));
    QVERIFY(ServerManager::instance().setBaseUrl(m_updateServer.url().toString()));
}

void TstDeviceLink::cleanup()
{
    // The host lets go first, so the simulator's exit is no lost device.
    SerialPort::instance().close(true);
    m_sim.reset();
    SerialPort::instance().disconnect(this);
    manager().disconnect(this);
    manager().setDeviceInfo(DeviceInfo());
    m_events.clear();
    // Off ends a retry still waiting after a test's loss.
    ConnectionManager::instance().setAutoReconnect(false);
    ConnectionManager::instance().setAutoReconnect(true);
}

void TstDeviceLink::recordSignals()
{
    SerialPort &port = SerialPort::instance();
    connect(&port, &SerialPort::signalOpening, this, [this] { m_events << QStringLiteral("opening"); });
    connect(&port, &SerialPort::signalOpened, this, [this] { m_events << QStringLiteral("opened"); });
    connect(&port, &SerialPort::signalClosing, this, [this] { m_events << QStringLiteral("closing"); });
    connect(&port, &SerialPort::signalClosed, this, [this] { m_events << QStringLiteral("closed"); });
    connect(&port, &SerialPort::signalLost, this, [this] { m_events << QStringLiteral("lost"); });
}

bool TstDeviceLink::startSimulator(MeroSim::Options options)
{
    options.linkPath = m_dir.filePath(QStringLiteral("ttyMERO"));
    options.quiet = true;
    m_sim = std::make_unique<MeroSim::Simulator>(options);
    return m_sim->start();
}

// "D_GET_DEVICE_ID", or "O_RESEND_PACKET_FROM_DEVICE 5" when options are set.
QStringList TstDeviceLink::wire() const
{
    QStringList frames;
    for (const MeroSim::ReceivedFrame &frame : m_sim->receivedFrames())
        frames << (ZCore::enumKey(static_cast<Cmd>(frame.command)) + (frame.options ? QStringLiteral(" %1").arg(frame.options) : QString()));
    return frames;
}

void TstDeviceLink::armOnRequest(Cmd command, const FaultRule &rule)
{
    auto armed = std::make_shared<bool>(false);
    connect(m_sim.get(), &MeroSim::Simulator::frameReceived, this, [=](const MeroSim::ReceivedFrame &frame) {
        if (*armed || frame.command != quint16(command))
            return;
        *armed = true;
        m_sim->addFault(rule);
    });
}

void TstDeviceLink::identification_data()
{
    QTest::addColumn<FaultKind>("fault");
    QTest::addColumn<QString>("resend"); // what the host sends between type and version; empty: no fault
    QTest::newRow("header bit flipped") << FaultKind::FlipHeaderBit << "O_RESEND_PACKET_FROM_DEVICE 5";
    QTest::newRow("crc bit flipped") << FaultKind::FlipPayloadBit << "O_RESEND_PACKET_FROM_DEVICE 6";
    QTest::newRow("reply dropped") << FaultKind::DropReply << "O_RESEND_PACKET_FROM_DEVICE 2";
    QTest::newRow("device reports a bad host frame") << FaultKind::ReportBadHostFrame << "D_GET_DEVICE_FULL_TYPE";
    // Last, so the frame count shows a new session counting afresh.
    QTest::newRow("clean") << FaultKind::DropReply << "";
}

void TstDeviceLink::identification()
{
    QFETCH(FaultKind, fault);
    QFETCH(QString, resend);
    MeroSim::Options options;
    // Replies leave a moment after the request, so a host that did not wait
    // would show a second request before the first reply.
    options.timing = MeroSim::Timing::Realistic;
    options.chunkMax = 1;
    QVERIFY(startSimulator(options));
    QStringList timeline;
    connect(m_sim.get(), &MeroSim::Simulator::frameReceived, this, [&] { timeline << "request"; });
    connect(m_sim.get(), &MeroSim::Simulator::bytesWritten, this, [&] {
        // A reply may leave in several writes; it counts once.
        if (timeline.value(timeline.size() - 1) != "reply")
            timeline << "reply";
    });
    // The type reply is the one that goes wrong: the identifier has been
    // taken already and the version is still to come.
    if (!resend.isEmpty())
        armOnRequest(Cmd::D_GET_DEVICE_FULL_TYPE, FaultRule::once(fault));
    TestSupport::LogCapture log;
    QSignalSpy finished(&manager(), &DeviceManager::signalStartupFinished);
    QVERIFY(SerialPort::instance().openPort(m_sim->linkPath()) && finished.wait(kWaitMs));
    if (resend.isEmpty()) {
        QCOMPARE(timeline.join(' '), QStringLiteral("request reply request reply request reply"));
        // Frames count by two, request and reply; once the device has told its
        // type-state word, requests carry it.
        QStringList counts;
        for (const MeroSim::ReceivedFrame &frame : m_sim->receivedFrames())
            counts << QStringLiteral("%1 %2").arg(frame.frameCount).arg(frame.typeState, 0, 16);
        QCOMPARE(counts, (QStringList{"0 80ff", "2 80ff", "4 16"}));
    }
    QCOMPARE(wire(), (QStringList{"D_GET_DEVICE_ID", "D_GET_DEVICE_FULL_TYPE", resend, "D_GET_FIRMWARE_VERSION"}.filter(QRegularExpression(".+"))));
    QCOMPARE(manager().deviceInfo().id, kSimId);
    QCOMPARE(manager().deviceInfo().firmwareVersion.toString(), kSimVersion);
    // The version reached the update server before start-up finished.
    QCOMPARE(m_updateServer.requests().last().formFields(),
             (QList<QPair<QString, QString>>{{"device_number", kSimId}, {"device_soft_version", kSimVersion}}));
}

void TstDeviceLink::scanRepliesRecover_data()
{
    QTest::addColumn<QVector<FaultRule>>("faults");
    QTest::addColumn<QStringList>("resends");
    QTest::newRow("payload bit flipped") << QVector<FaultRule>{FaultRule::once(FaultKind::FlipPayloadBit)}
                                         << QStringList{"O_RESEND_PACKET_FROM_DEVICE 6"};
    // The header fails after 13 bytes; the rest of the broken frame follows
    // byte by byte and carries a start byte. Taken for a new frame it would
    // fail as well and ask the device twice, and the second copy would be
    // taken for the next slice.
    QTest::newRow("header bit flipped, start byte in the rest")
        << QVector<FaultRule>{FaultRule::once(FaultKind::FlipHeaderBit), FaultRule::everyNth(FaultKind::SplitChunks, 1)}
        << QStringList{"O_RESEND_PACKET_FROM_DEVICE 5"};
    // The damaged field is the length: skipping all it announced would also
    // skip the copy sent on the resend request, broken again, and wait for
    // the reply timeout.
    QTest::newRow("length damaged in two replies in a row")
        << QVector<FaultRule>{FaultRule::once(FaultKind::FlipLengthBit).inRunsOf(2)}
        << QStringList{"O_RESEND_PACKET_FROM_DEVICE 5", "O_RESEND_PACKET_FROM_DEVICE 5"};
    // The device never saw the request: its last reply is the previous
    // slice's, which nothing tells apart from this one's. The request goes
    // again instead.
    QTest::newRow("request lost on its way")
        << QVector<FaultRule>{FaultRule::once(FaultKind::LoseRequest)} << QStringList{"DA_GET_SCAN_DATA_S21"};
}

// Scan replies carry the longest payloads; a fault in the middle of a run of
// them costs a resend and every slice still arrives, in order, once.
void TstDeviceLink::scanRepliesRecover()
{
    QFETCH(QVector<FaultRule>, faults);
    QFETCH(QStringList, resends);
    MeroSim::Options options;
    options.chunkMax = 1;
    options.scanValues = MeroSim::ScanValues::Signature;
    QVERIFY(startSimulator(options));
    QSignalSpy finished(&manager(), &DeviceManager::signalStartupFinished);
    QVERIFY(SerialPort::instance().openPort(m_sim->linkPath()) && finished.wait(kWaitMs));
    m_sim->clearStatistics();
    const QList<QVector<qint64>> slices{
        {700000000, 710000000}, {frequencyWithStartByte(720000000), 730000000, 740000000}, {750000000}};
    QList<QVector<float>> expected, received;
    for (const QVector<qint64> &slice : slices) {
        expected << QVector<float>();
        for (qint64 frequency : slice)
            expected.last() << signature(frequency);
    }
    connect(&manager(), &DeviceManager::signalGotScanData, this, [&](const TDeviceReply &reply) {
        received << ScanPayloads::readScanReply(reply.data, 25).values;
        // The reply to the second slice goes wrong: armed once the first is
        // in, before the second is asked for.
        if (received.size() == 1)
            for (const FaultRule &fault : faults)
                m_sim->addFault(fault);
    });
    for (const QVector<qint64> &slice : slices)
        CommandQueue::instance().enqueue(Cmd::DA_GET_SCAN_DATA_S21, [payload = TestSupport::HandFrames::scanPayload(slice)](const TCommandHeader &header) {
            DeviceManager::instance().sendRequest(Cmd::DA_GET_SCAN_DATA_S21, payload, header.options);
        });
    QTRY_VERIFY_WITH_TIMEOUT(CommandQueue::instance().isEmpty(), kWaitMs);
    QCOMPARE(received, expected);
    QCOMPARE(wire(), QStringList({"DA_GET_SCAN_DATA_S21", "DA_GET_SCAN_DATA_S21"}) + resends + QStringList{"DA_GET_SCAN_DATA_S21"});
}

void TstDeviceLink::linkGivesUp_data()
{
    QTest::addColumn<quint16>("typeState");
    QTest::addColumn<bool>("userDisconnects");
    QTest::addColumn<QStringList>("expectedWire");
    QTest::addColumn<QStringList>("userErrors");
    const QStringList lost{"D_GET_DEVICE_ID", "D_GET_DEVICE_FULL_TYPE", "O_RESEND_PACKET_FROM_DEVICE 2", "O_RESEND_PACKET_FROM_DEVICE 1"};
    // The device never hears the type request and, asked to resend, repeats
    // its last reply: a timeout, two mismatches, and the link gives up on the
    // device, but not for good. This waits for the real reconnect interval.
    QTest::newRow("request lost") << kMeroTypeState << false << lost << QStringList{};
    // The user disconnects meanwhile; the link gives up on the request too,
    // and the user's choice holds.
    QTest::newRow("user disconnects while a request is lost") << kMeroTypeState << true << lost << QStringList{};
    // The disconnect waits behind the version request that was queued before
    // the type was known; nothing is asked after it.
    QTest::newRow("another device type") << quint16(0x0008) << false << kIdentification << QStringList{"DeviceManager >> dw_err_connected_not_mero_device" "EDeviceTypes::OSKIRO_TAVEL"};
}

void TstDeviceLink::linkGivesUp()
{
    QFETCH(quint16, typeState);
    QFETCH(bool, userDisconnects);
    QFETCH(QStringList, expectedWire);
    QFETCH(QStringList, userErrors);
    MeroSim::Options options;
    options.typeState = typeState;
    QVERIFY(startSimulator(options));
    if (typeState == kMeroTypeState)
        armOnRequest(Cmd::D_GET_DEVICE_FULL_TYPE, FaultRule::once(FaultKind::LoseRequest));
    if (userDisconnects) {
        connect(m_sim.get(), &MeroSim::Simulator::frameReceived, this, [](const MeroSim::ReceivedFrame &frame) {
            if (frame.command == quint16(Cmd::D_GET_DEVICE_FULL_TYPE))
                manager().requestDisconnect();
        });
    }
    QSignalSpy closed(&SerialPort::instance(), &SerialPort::signalClosed);
    QSignalSpy finished(&manager(), &DeviceManager::signalStartupFinished);
    TestSupport::LogCapture log;
    QVERIFY(SerialPort::instance().openPort(m_sim->linkPath()));
    QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, kWaitMs);
    QCOMPARE(wire(), expectedWire);
    QCOMPARE(log.lines(QtCriticalMsg), userErrors);
    QCOMPARE(finished.count(), 0);
    QVERIFY(CommandQueue::instance().isEmpty());
    const bool reconnects = typeState == kMeroTypeState && !userDisconnects;
    QCOMPARE(ConnectionManager::instance().isWaitingToReconnect(), reconnects);
    if (!reconnects)
        return;
    QVERIFY(log.contains(QStringLiteral(">> limit of resends is exceeded. Disconnecting..")));
    m_sim->clearStatistics();
    // The request that was in flight died with the link; nothing replays it.
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(wire(), kIdentification);
    QCOMPARE(ConnectionManager::instance().triesLeft(), ConnectionManager::kMaxTries);
}

// The version report still waits for the server when the cable is pulled,
// and another device comes back. The server's answer, or the client's
// giving up on it, comes while that device's identifier is arriving; it
// must not finish anything of the new connection.
void TstDeviceLink::lateServerReplyAfterUnplug()
{
    MeroSim::Options options;
    options.chunkMax = 1;
    options.chunkGapMs = 100;
    QVERIFY(startSimulator(options));
    TestSupport::LoopbackHttpServer::Response silent;
    silent.mode = TestSupport::LoopbackHttpServer::EMode::Silent;
    m_updateServer.enqueue(silent);
    QSignalSpy finished(&manager(), &DeviceManager::signalStartupFinished);
    QVERIFY(SerialPort::instance().openPort(m_sim->linkPath()));
    QTRY_VERIFY_WITH_TIMEOUT(ServerManager::instance().isBusy(), kWaitMs);

    const QString newId = QStringLiteral("7-8-9");
    m_sim->setDeviceId({7, 8, 9});
    m_sim->unplug(300);
    m_sim->clearStatistics();
    // A byte at a time, the identifier takes longer to arrive than the
    // report had left before its time limit.
    armOnRequest(Cmd::D_GET_DEVICE_ID, FaultRule::once(FaultKind::SplitChunks));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(wire(), kIdentification);
    QCOMPARE(manager().deviceInfo().id, newId);
    QCOMPARE(m_updateServer.requests().last().formFields(),
             (QList<QPair<QString, QString>>{{"device_number", newId}, {"device_soft_version", kSimVersion}}));
}

void TstDeviceLink::openAndReopenSequence()
{
    QVERIFY(startSimulator());
    recordSignals();
    QVERIFY(SerialPort::instance().openPort(m_sim->linkPath()));
    QCOMPARE(m_events, (QStringList{"closing", "opening", "opened"}));
    m_events.clear();
    QVERIFY(SerialPort::instance().open(false));
    QCOMPARE(m_events, (QStringList{"closing", "closed", "opening", "opened"}));
}

void TstDeviceLink::portErrors_data()
{
    QTest::addColumn<QString>("missingPort"); // empty: the simulator's, which then fails
    QTest::addColumn<QSerialPort::SerialPortError>("error"); // NoError: the cable pulled
    QTest::addColumn<QString>("events");
    QTest::newRow("resource") << QString() << QSerialPort::ResourceError << "closing closed lost";
    QTest::newRow("write") << QString() << QSerialPort::WriteError << "closing closed";
    QTest::newRow("timeout") << QString() << QSerialPort::TimeoutError << "closing closed";
    QTest::newRow("unplugged") << QString() << QSerialPort::NoError << "closing closed lost";
    // The configuration line names the port exactly as given.
    QTest::newRow("missing port") << "/dev/mero-no-such-port" << QSerialPort::NoError << "closing opening closing lost";
    QTest::newRow("placeholder in name") << "/dev/mero-%2-no-such-port" << QSerialPort::NoError << "closing opening closing lost";
}

void TstDeviceLink::portErrors()
{
    QFETCH(QString, missingPort);
    QFETCH(QSerialPort::SerialPortError, error);
    QFETCH(QString, events);
    TestSupport::LogCapture log;
    if (!missingPort.isEmpty()) {
        recordSignals();
        QVERIFY(!SerialPort::instance().openPort(missingPort));
        QVERIFY2(log.contains(QStringLiteral(">> updated config: \nPort name: %1\nBaud rate: 115200\n").arg(missingPort)),
                 qPrintable(log.lines().join('\n')));
    } else {
        QVERIFY(startSimulator());
        QVERIFY(SerialPort::instance().openPort(m_sim->linkPath()));
        recordSignals();
        if (error != QSerialPort::NoError)
            SerialPort::instance().slotErrorOccurred(error);
        else
            m_sim->unplug(-1);
        QTRY_VERIFY(!SerialPort::instance().isOpen());
        // Whatever else the port reports on the way, the loss counts once.
        QTest::qWait(50);
    }
    QVERIFY(!SerialPort::instance().isOpen());
    QCOMPARE(m_events.join(QLatin1Char(' ')), events);
}

// Thirty tries, then the user is told; turned off, a loss starts none, and
// turned on again the count starts afresh.
void TstDeviceLink::reconnectTries()
{
    TestSupport::LogCapture log;
    QSignalSpy reconnecting(&ConnectionManager::instance(), &ConnectionManager::signalReconnecting);
    QSignalSpy failed(&ConnectionManager::instance(), &ConnectionManager::signalFailedToReconnect);
    for (int loss = 0; loss < 30; ++loss)
        emit SerialPort::instance().signalLost();
    QStringList expected;
    for (int attempt = 0; attempt < 30; ++attempt)
        expected << QStringLiteral("ConnectionManager >> reconnect try #%1").arg(attempt);
    QCOMPARE(log.lines(QtInfoMsg), expected);
    QCOMPARE(reconnecting.count(), 29);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(log.lines(QtCriticalMsg), QStringList{"ConnectionManager >> dw_err_autoreconnect_failed"});

    log.clear();
    ConnectionManager::instance().setAutoReconnect(true);
    emit SerialPort::instance().signalLost();
    ConnectionManager::instance().setAutoReconnect(false);
    QVERIFY(!ConnectionManager::instance().isWaitingToReconnect());
    QCOMPARE(ConnectionManager::instance().triesLeft(), qint16(30));
    emit SerialPort::instance().signalLost();
    ConnectionManager::instance().setAutoReconnect(true);
    emit SerialPort::instance().signalLost();
    QCOMPARE(log.lines(QtInfoMsg), QStringList({"ConnectionManager >> reconnect try #0", "ConnectionManager >> reconnect try #0"}));
}

void TstDeviceLink::timerReopensPort()
{
    // The one test that waits for the real interval: the retry must reopen
    // with the settings already in force, and a port still missing must lead
    // to the next try.
    DM::PortSettings settings;
    settings.portName = QStringLiteral("/dev/mero-no-such-port");
    SerialPort::instance().setSettings(settings);
    SerialPort::instance().port().setPortName(settings.portName);
    TestSupport::LogCapture log;
    emit SerialPort::instance().signalLost();
    QTRY_VERIFY_WITH_TIMEOUT(log.contains(QStringLiteral("ConnectionManager >> reconnect try #1")),
                             ConnectionManager::kReconnectIntervalMs * 2);
    QVERIFY(log.contains(QStringLiteral("SerialPort >> error: DeviceNotFoundError")));
    QVERIFY(!log.contains(QStringLiteral("updated config")));
}

QTEST_GUILESS_MAIN(TstDeviceLink)
#include "tst_devicelink.moc"
